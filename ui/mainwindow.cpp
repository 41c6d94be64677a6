#include "mainwindow.h"

#include "browsercontrol.h"
#include "cardfiles.h"
#include "cardupdaterunner.h"
#include "downloadarea.h"
#include "downloadmanagertest.h"
#include "environment.h"
#include "messageboxes.h"
#include "pagenotifier.h"
#include "partialdownloads.h"
#include "pluginhosting.h"
#include "serverhosts.h"
#include "sharedcookiejar.h"
#include "softwareupdate.h"
#include "startupconfig.h"
#include "titles.h"
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
#include <QWebFrame>
#include <QWebSettings>

namespace {
void writeRunning(unsigned value)
{
    QSettings().setValue(QStringLiteral("Running"), value);
}
} // namespace

MainWindow::MainWindow(const QString &serverHost, const QString &cardPath, QWidget *parent)
    : QMainWindow(parent)
    , mCardPath(cardPath)
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

    mSoftwareUpdate = new SoftwareUpdate(mServerHost, this);
    connect(&mSoftwareUpdate->checker(), &UpdateChecker::updateReady, this, &MainWindow::updateResponse);
    connect(mSoftwareUpdate, &SoftwareUpdate::updateDeclined, this, &MainWindow::problemDuringSoftwareUpdate);
    connect(mSoftwareUpdate, &SoftwareUpdate::updaterTookOver, this, &MainWindow::problemDuringSoftwareUpdate);
    connect(mSoftwareUpdate, &SoftwareUpdate::updateImpossible, this, &MainWindow::criticalError);
    if (!mSoftwareUpdate->verifyUpdateIni())
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
    delete mCardUpdates; // ends a busy run while the download manager still exists
    mCardUpdates = nullptr;
    delete mView; // the page and its network manager go with it
    mView = nullptr;
    delete mBridge;
    mBridge = nullptr;
    delete mDownloadManager;
    mDownloadManager = nullptr;
    writeRunning(0);
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
    if (!ServerHosts::isServerUrl(url, Environment::instance()->serverAddress())) {
        // Once per site: a server address written oddly shows up here.
        const QString site = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery
                                          | QUrl::RemoveFragment).toString();
        if (!url.host().isEmpty() && !mSitesWithoutBridge.contains(site)) {
            mSitesWithoutBridge.insert(site);
            qDebug() << "- No qtBridge for a page of another site: " << site;
        }
        return;
    }
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
    mPageNotifier = new PageNotifier(mPage, mBridge, this);
    mCardUpdates = new CardUpdateRunner(mDownloadManager, mBridge, mPageNotifier, this);
    connect(mPage, &webPage::returnToStore, this, &MainWindow::returnToTidemart);
    stateResetSlot();

    QWebSettings *settings = mView->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebSettings::AutoLoadImages, true);
    hostPlugins(settings, QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
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
    mSoftwareUpdate->checkWhenDue();
}

void MainWindow::updateResponse(bool value, QString dwUrl)
{
    mSoftwareUpdate->respond(value, dwUrl);
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
    if (mCardUpdates)
        mCardUpdates->start(manifestUrl, manifest, ntEnabled, clEnabled, stEnabled);
}

void MainWindow::doNewtideDataFromManifest(QString manifest)
{
    downloadChart(QString(), manifest, true, true, true);
}

void MainWindow::doNewtideDataFromManifest(QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled)
{
    downloadChart(QString(), manifest, ntEnabled, clEnabled, stEnabled);
}

void MainWindow::takeHandedOverCard(const QString &cardPath)
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    if (cardPath.isEmpty())
        return;
    if (mCardUpdates && mCardUpdates->process() && mCardUpdates->process()->isRunning()) {
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
    // Not while a card update (of this or another store client) holds it.
    DownloadArea area(Environment::instance()->downloadDir().absolutePath());
    if (area.claim() == DownloadArea::Claim::Taken)
        removeAllButPartialDownloads(Environment::instance()->installerTempDir());
}
