#include "mainwindow.h"

#include "autoupdater.h"
#include "browsercontrol.h"
#include "chip.h"
#include "downloadmanagertest.h"
#include "environment.h"
#include "messageboxes.h"
#include "serverhosts.h"
#include "sharedcookiejar.h"
#include "startupconfig.h"
#include "errorcodes.h"
#include "titles.h"
#include "updatedialog.h"
#include "velamarisclientbridge.h"
#include "veldownloadmanager.h"
#include "velnetworkmanager.h"
#include "webpage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>

namespace {
const qint64 UpdateCheckInterval = 14400; // seconds: four hours

void writeRunning(unsigned value)
{
    QSettings().setValue(QStringLiteral("Running"), value);
}
} // namespace

MainWindow::MainWindow(const QString &serverHost, const QString &cardPath, QWidget *parent)
    : QMainWindow(parent)
    , mCardPath(cardPath)
    , mLastUpdateCheck(QDateTime::fromString(QStringLiteral("01/01/1970 00:00:00"), QStringLiteral("dd/MM/yyyy hh:mm:ss")))
    , mServerHost(serverHost)
{
    if (!QFileInfo(mCardPath).isDir())
        mCardPath.clear();
    hide();
    writeRunning(1);

    mHomeUrl = QUrl(QStringLiteral("http://") + mServerHost + QStringLiteral("/home"));
    mEditionLabel = serverEditionLabel(mServerHost);
    Environment::instance()->setServerAddress(mServerHost);
    qDebug() << "- Connecting to server: " << mServerHost;

    if (objectName().isEmpty())
        setObjectName(QStringLiteral("MainWindow"));
    resize(1024, 700);
    setMinimumSize(1024, 700);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(status);

    setApplicationTitle();
    showMaximized();
    cleanTemporaryFolder();

    connect(&mUpdateChecker, &UpdateChecker::updateReady, this, &MainWindow::updateResponse);
    if (!verifyUpdateIni())
        return;

    mProbeManager = new QNetworkAccessManager(this);
    QNetworkRequest probe(mHomeUrl);
    probe.setRawHeader("QtTidemart", "VelBrowser");
    connect(mProbeManager, &QNetworkAccessManager::finished, this, &MainWindow::replyFinished);
    connect(mProbeManager, &QNetworkAccessManager::sslErrors, this, &MainWindow::regSslError);
    mProbeManager->get(probe);
}

MainWindow::~MainWindow()
{
    stopProcess();
    delete mView; // the page and its network manager go with it
    mView = nullptr;
    delete mBridge;
    mBridge = nullptr;
    delete mDownloadManager;
    mDownloadManager = nullptr;
    writeRunning(0);
}

void MainWindow::stopProcess()
{
    if (!mProcessThread)
        return;
    for (const QMetaObject::Connection &connection : qAsConst(mProcessConnections))
        disconnect(connection);
    mProcessConnections.clear();
    if (mProcessThread->isRunning()) {
        // Unblock a run that waits for downloads, then let it end on its own.
        mProcessThread->requestInterruption();
        if (mDownloadManager)
            mDownloadManager->abandonBatch();
        while (!mProcessThread->wait(50))
            QCoreApplication::processEvents();
    }
    mProcessThread->quit();
    delete mProcessThread;
    mProcessThread = nullptr;
}

QString MainWindow::javaScriptStringLiteral(const QString &text)
{
    QString literal;
    literal.reserve(text.size() + 2);
    literal += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': literal += QLatin1String("\\\""); break;
        case '\\': literal += QLatin1String("\\\\"); break;
        case '\n': literal += QLatin1String("\\n"); break;
        case '\r': literal += QLatin1String("\\r"); break;
        case '\t': literal += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029 || c == QLatin1Char('<'))
                literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                literal += c;
        }
    }
    literal += QLatin1Char('"');
    return literal;
}

void MainWindow::evaluate(const QString &script)
{
    if (mPage)
        mPage->mainFrame()->evaluateJavaScript(script);
}

void MainWindow::gotoLink(QUrl url)
{
    QString text = url.toString();
    if (!text.contains(QLatin1String("http://")))
        text.prepend(QLatin1String("http://"));
    QDesktopServices::openUrl(QUrl(text));
}

void MainWindow::initJavascript()
{
    if (!mPage || !mBridge)
        return;
    // Only the store's own pages may reach the card.
    const QUrl url = mPage->mainFrame()->url();
    if (ServerHosts::hostAndPort(url) != Environment::instance()->serverAddress())
        return;
    mPage->mainFrame()->addToJavaScriptWindowObject(QStringLiteral("qtBridge"), mBridge);
}

void MainWindow::replyFinished(QNetworkReply *qReply)
{
    qReply->deleteLater();
    if (qReply->error() != QNetworkReply::NoError) {
        criticalError(QStringLiteral("Problem connecting to Velamaris Tidemart"),
                      QStringLiteral("We are un able to connect with the Velamaris Tidemart. Check internet "
                                     "connection and restart the application."));
        return;
    }
    if (mBridge)
        return; // one probe per window

    mBridge = new VelamarisClientBridge(mServerHost, mCardPath);
    mView = new browserControl(this);
    mPage = new webPage(mView);
    mView->setPage(mPage);

    auto *networkManager = new VelNetworkManager(QString::number(Environment::buildNumber()),
                                                 Environment::instance()->platformName(), mPage);
    mPage->setNetworkAccessManager(networkManager);
    mDownloadManager = new VelDownloadManager(networkManager);
    connect(mPage, &webPage::returnToStore, this, &MainWindow::returnToTidemart);
    stateResetSlot();

    QWebSettings *settings = mView->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebSettings::AutoLoadImages, true);
    settings->setAttribute(QWebSettings::PluginsEnabled, true);
    settings->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);

    mCookieJar = std::make_unique<SharedCookieJar>();
    mBridge->setCookieJar(mCookieJar.get());

    mView->setContextMenuPolicy(Qt::NoContextMenu);
    if (developerMode()) {
        mView->setContextMenuPolicy(Qt::DefaultContextMenu);
        settings->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
    }

    QWebSettings::clearIconDatabase();
    QWebSettings::clearMemoryCaches();
    QWebSettings::setMaximumPagesInCache(0);

    networkManager->setCookieJar(mCookieJar.get());
    mCookieJar->setParent(nullptr);

    connect(mPage->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this, &MainWindow::initJavascript);
    mView->load(mHomeUrl);

    connect(mView, &QWebView::loadProgress, this, &MainWindow::setProgress);
    connect(mView, &QWebView::loadFinished, this, &MainWindow::finishLoading);
    connect(mBridge, &VelamarisClientBridge::printLinkClicked, this, &MainWindow::gotoLink);
    connect(mBridge, &VelamarisClientBridge::reinitializeState, this, &MainWindow::stateResetSlot);
    connect(mBridge, qOverload<QString>(&VelamarisClientBridge::newtideDataFromManifest), this,
            qOverload<QString>(&MainWindow::doNewtideDataFromManifest));
    connect(mBridge, qOverload<QString, bool, bool, bool>(&VelamarisClientBridge::newtideDataFromManifest), this,
            qOverload<QString, bool, bool, bool>(&MainWindow::doNewtideDataFromManifest));
    connect(mBridge, &VelamarisClientBridge::goBack, this, &MainWindow::goBack);

    setCentralWidget(mView);
}

void MainWindow::goBack()
{
    if (mView)
        mView->load(mView->url());
}

void MainWindow::stateResetSlot()
{
    const QDateTime now = mClock();
    if (mLastUpdateCheck.secsTo(now) > UpdateCheckInterval) {
        mLastUpdateCheck = now;
        mUpdateChecker.checkForUpdate();
    }
}

void MainWindow::updateResponse(bool value, QString dwUrl)
{
    qDebug() << "------------------------------------------------------------";
    qDebug() << "---";
    qDebug() << "--";
    qDebug() << "-   Software Update Response";
    qDebug() << "-   available: " << value;
    qDebug() << "-         url: " << dwUrl;
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << "------------------------------------------------------------";
    qDebug("%s", "");
    if (!value)
        return;

    UpdateDialog dialog;
    dialog.setVersionText(mUpdateChecker.latestVersion());
    if (dialog.exec() == QDialog::Accepted)
        launchAutoUpdater();
    else
        leaveWithoutAsking();
}

void MainWindow::problemDuringSoftwareUpdate()
{
    leaveWithoutAsking();
}

void MainWindow::setApplicationTitle(int percentage)
{
    setWindowTitle(applicationTitle(mEditionLabel, percentage));
}

void MainWindow::setApplicationTitle()
{
    setApplicationTitle(-1);
}

void MainWindow::setProgress(int p)
{
    setApplicationTitle(p);
}

void MainWindow::finishLoading(bool)
{
    setApplicationTitle(-1);
}

void MainWindow::regSslError(QNetworkReply *reply, const QList<QSslError> &errors)
{
    for (const QSslError &error : errors)
        qDebug() << error.errorString();
    reply->ignoreSslErrors();
}

void MainWindow::returnToTidemart()
{
    const QString url = mBridge ? mBridge->returnUrl() : QString();
    qDebug() << "returnToTidemart: " << url;
    if (mView)
        mView->load(QUrl(url));
}

void MainWindow::downloadChart(QString manifestUrl, QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled)
{
    if (!mBridge || !mDownloadManager)
        return;
    const QString cardPath = mBridge->cardPath();
    Chip chip;
    chip.open(cardPath);
    if (!chip.isWritable()) {
        noWriteble();
        return;
    }
    if (mProcessThread && mProcessThread->isRunning()) {
        qDebug() << "*** Error on MainWindow::downloadChart: We are already downloading the chart!";
        return;
    }
    if (mProcessThread) {
        qDebug() << "- Cleaning download thread!";
        stopProcess();
    }
    qDebug() << "- Create/Run download thread!";

    Environment *environment = Environment::instance();
    const bool sonar = mBridge->sonarBeta() && environment->sonarTracksSupported() && stEnabled;
    mProcessThread = new DownloadManagerTest(mDownloadManager, manifestUrl, environment->downloadDir().absolutePath(),
                                             QDir(cardPath).absolutePath(), mBridge->pewterFolderPath(),
                                             mBridge->currentUserId(), ntEnabled, clEnabled, sonar);
    mProcessThread->setApplicationDir(environment->applicationDir());
    if (!manifest.isEmpty())
        mProcessThread->setManifestText(manifest);
    connectProcess();
    mProcessThread->start(QThread::InheritPriority);
}

void MainWindow::connectProcess()
{
    DownloadManagerTest *p = mProcessThread;
    mProcessConnections = {
        connect(p, &DownloadManagerTest::preparingForDownload, this, &MainWindow::preparingForDownload),
        connect(p, &DownloadManagerTest::startDownloadingChart, this, &MainWindow::startDownloadingChart),
        connect(p, &DownloadManagerTest::preparingInstallation, this, &MainWindow::preparingInstallation),
        connect(p, &DownloadManagerTest::startInstallingChart, this, &MainWindow::startInstallingChart),
        connect(p, &DownloadManagerTest::startInstallingUGC, this, &MainWindow::startInstallingUGC),
        connect(p, &DownloadManagerTest::updateProcessStatus, this, &MainWindow::updateProcessStatus),
        connect(p, &DownloadManagerTest::processCompleted, this, &MainWindow::processCompleted),
        connect(p, &DownloadManagerTest::newtideDataError, this, &MainWindow::receivedNewtideDataError),
        connect(p, &DownloadManagerTest::notEnoughSpace, this, &MainWindow::notEnoughSpaceSlot),
        connect(p, &DownloadManagerTest::searchingUGDTracks, this, &MainWindow::searchSonarTracks),
        connect(p, &DownloadManagerTest::convertingUGDTracks, this, &MainWindow::convertSonarTrack),
        connect(p, &DownloadManagerTest::uploadingUGDTracks, this, &MainWindow::uploadSonarTrack),
        connect(p, &DownloadManagerTest::sonarTrackReport, this, &MainWindow::sonarTrackReport),
    };
}

void MainWindow::doNewtideDataFromManifest(QString manifest)
{
    downloadChart(QString(), manifest, true, true, true);
}

void MainWindow::doNewtideDataFromManifest(QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled)
{
    downloadChart(QString(), manifest, ntEnabled, clEnabled, stEnabled);
}

void MainWindow::notEnoughSpaceSlot()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"nospace\");"));
}

void MainWindow::preparingForDownload()
{
    evaluate(QStringLiteral("progressBarUpdateHandler(0);notifyStatusHandler(\"init\");"));
}

void MainWindow::startDownloadingChart()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"download\");"));
}

void MainWindow::preparingInstallation()
{
}

void MainWindow::startInstallingChart()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"install\");"));
}

void MainWindow::startInstallingUGC()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"ugc\");"));
}

void MainWindow::updateProcessStatus(float status)
{
    evaluate(QStringLiteral("progressBarUpdateHandler(%1);").arg(QString::number(double(status), 'g', 6)));
}

void MainWindow::processCompleted()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"completed\");"));
}

void MainWindow::receivedNewtideDataError(int code, QString message)
{
    const QString text = errorCodeName(code) + QStringLiteral("; ") + message;
    evaluate(QStringLiteral("errorOnDownload(%1, %2);").arg(code).arg(javaScriptStringLiteral(text)));
}

void MainWindow::noWriteble()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"nowritable\");"));
}

void MainWindow::searchSonarTracks()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"searchingtrack\");"));
}

void MainWindow::convertSonarTrack()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"trackconversion\");"));
}

void MainWindow::uploadSonarTrack()
{
    evaluate(QStringLiteral("notifyStatusHandler(\"uploadtrack\");"));
}

void MainWindow::sonarTrackReport(int uploaded, int alreadyUploaded, int corrupted)
{
    if (mBridge)
        mBridge->setSonarCounts(uploaded, alreadyUploaded, corrupted);
}

void MainWindow::takeHandedOverCard(const QString &cardPath)
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    if (cardPath.isEmpty())
        return;
    if (mProcessThread && mProcessThread->isRunning()) {
        qDebug() << "- Card handed over during a card update, not taken: " << cardPath;
        return;
    }
    qDebug() << "- Card handed over: " << cardPath;
    mCardPath = cardPath;
    if (mBridge)
        mBridge->setCardPath(cardPath);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (mLeaving) {
        event->accept();
        return;
    }
    MessageBoxRequest request;
    request.icon = QMessageBox::Question;
    request.title = windowTitle();
    request.text = QStringLiteral("Do you really want to exit from Velamaris Tide Mart?");
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.defaultButton = QMessageBox::Yes;
    if (MessageBoxes::show(request, this) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    mLeaving = true;
    emit leaving();
    cleanTemporaryFolder();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::criticalError(const QString &text, const QString &informativeText)
{
    qDebug() << "*** Critical Error, Application will be closed ***";
    MessageBoxRequest request;
    request.icon = QMessageBox::Critical;
    request.title = windowTitle();
    request.text = text;
    request.informativeText = informativeText;
    request.buttons = QMessageBox::Close;
    request.defaultButton = QMessageBox::Close;
    MessageBoxes::show(request, this);
    leaveWithoutAsking();
}

void MainWindow::leaveWithoutAsking()
{
    if (mLeaving)
        return;
    mLeaving = true;
    emit leaving();
    cleanTemporaryFolder();
    writeRunning(0);
    // Queued, so that leaving during construction ends the event loop as soon as it starts.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::cleanTemporaryFolder()
{
    std::function<bool(const QDir &)> clean = [&clean](const QDir &folder) {
        if (!folder.exists())
            return false;
        const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            const bool failed = (entry.isDir() && !entry.isSymLink()) ? clean(QDir(entry.absoluteFilePath()))
                                                                     : !QFile::remove(entry.absoluteFilePath());
            if (failed)
                return true;
        }
        return !QDir().rmdir(folder.absolutePath());
    };
    clean(Environment::instance()->installerTempDir());
}

bool MainWindow::verifyUpdateIni()
{
    Environment *environment = Environment::instance();
    if (::verifyUpdateIni(mUpdateChecker, environment->updateIniPath(), mServerHost, environment->platformName(),
                          Environment::buildNumber(), developerMode()))
        return true;
    criticalError(QStringLiteral("Problems restoring Autoupdate file"),
                  QStringLiteral("Please, try to reinstall the application. The Tidemart will be closed!"));
    return false;
}

void MainWindow::launchAutoUpdater()
{
    const QString path = Environment::instance()->autoUpdaterPath();
    qDebug() << "- Auto update executable path: " << path;
    if (startAutoUpdater(path)) {
        QTimer::singleShot(500, this, &MainWindow::problemDuringSoftwareUpdate);
        return;
    }
    criticalError(QStringLiteral("Error Velamaris Tidemart"),
                  QStringLiteral("We can't install the update automatically. The Tidemart will be closed. Please "
                                 "uninstall manually the application and reinstall it again from ")
                      + ServerHosts::companySite());
}
