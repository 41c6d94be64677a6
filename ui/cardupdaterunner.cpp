#include "cardupdaterunner.h"

#include "chip.h"
#include "downloadmanagertest.h"
#include "environment.h"
#include "pagenotifier.h"
#include "startupconfig.h"
#include "velamarisclientbridge.h"
#include "veldownloadmanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

CardUpdateRunner::CardUpdateRunner(VelDownloadManager *manager, VelamarisClientBridge *bridge,
                                   PageNotifier *notifier, QObject *parent)
    : QObject(parent)
    , mManager(manager)
    , mBridge(bridge)
    , mNotifier(notifier)
{
}

CardUpdateRunner::~CardUpdateRunner()
{
    stopProcess();
}

void CardUpdateRunner::start(const QString &manifestUrl, const QString &manifest, bool ntEnabled, bool clEnabled,
                             bool stEnabled)
{
    const QString cardPath = mBridge->cardPath();
    Chip chip;
    chip.open(cardPath);
    if (!chip.isWritable()) {
        mNotifier->noWriteble();
        return;
    }
    if (mProcess && mProcess->isRunning()) {
        qDebug() << "*** Error on MainWindow::downloadChart: We are already downloading the chart!";
        return;
    }
    if (mProcess) {
        qDebug() << "- Cleaning download thread!";
        stopProcess();
    }
    qDebug() << "- Create/Run download thread!";

    Environment *environment = Environment::instance();
    const bool sonar = mBridge->sonarBeta() && environment->sonarTracksSupported() && stEnabled;
    mProcess = createProcess(manifestUrl, cardPath, ntEnabled, clEnabled, sonar);
    mProcess->setApplicationDir(environment->applicationDir());
    if (!manifest.isEmpty())
        mProcess->setManifestText(manifest);
    connectProcess();
    mProcess->start(QThread::InheritPriority);
}

DownloadManagerTest *CardUpdateRunner::createProcess(const QString &manifestUrl, const QString &cardPath,
                                                     bool ntEnabled, bool clEnabled, bool sonarEnabled) const
{
    CardUpdateOptions options;
    options.manifestUrl = manifestUrl;
    options.downloadDirPath = Environment::instance()->downloadDir().absolutePath();
    options.cardRootPath = QDir(cardPath).absolutePath();
    options.additionalPath = mBridge->pewterFolderPath();
    options.userId = mBridge->currentUserId();
    options.newtideEnabled = ntEnabled;
    options.communityEnabled = clEnabled;
    options.sonarEnabled = sonarEnabled;
    options.readBack = cardReadBackSetting();
    return new DownloadManagerTest(mManager, options);
}

void CardUpdateRunner::connectProcess()
{
    DownloadManagerTest *p = mProcess;
    PageNotifier *n = mNotifier;
    mConnections = {
        connect(p, &DownloadManagerTest::preparingForDownload, n, &PageNotifier::preparingForDownload),
        connect(p, &DownloadManagerTest::startDownloadingChart, n, &PageNotifier::startDownloadingChart),
        connect(p, &DownloadManagerTest::preparingInstallation, n, &PageNotifier::preparingInstallation),
        connect(p, &DownloadManagerTest::startInstallingChart, n, &PageNotifier::startInstallingChart),
        connect(p, &DownloadManagerTest::startInstallingUGC, n, &PageNotifier::startInstallingUGC),
        connect(p, &DownloadManagerTest::updateProcessStatus, n, &PageNotifier::updateProcessStatus),
        connect(p, &DownloadManagerTest::processCompleted, n, &PageNotifier::processCompleted),
        connect(p, &DownloadManagerTest::newtideDataError, n, &PageNotifier::receivedNewtideDataError),
        connect(p, &DownloadManagerTest::notEnoughSpace, n, &PageNotifier::notEnoughSpaceSlot),
        connect(p, &DownloadManagerTest::searchingUGDTracks, n, &PageNotifier::searchSonarTracks),
        connect(p, &DownloadManagerTest::convertingUGDTracks, n, &PageNotifier::convertSonarTrack),
        connect(p, &DownloadManagerTest::uploadingUGDTracks, n, &PageNotifier::uploadSonarTrack),
        connect(p, &DownloadManagerTest::sonarTrackReport, n, &PageNotifier::sonarTrackReport),
    };
}

void CardUpdateRunner::stopProcess()
{
    if (!mProcess)
        return;
    for (const QMetaObject::Connection &connection : qAsConst(mConnections))
        disconnect(connection);
    mConnections.clear();
    if (mProcess->isRunning()) {
        // Unblock a run that waits for downloads, then let it end on its own.
        mProcess->requestInterruption();
        mManager->abandonBatch();
        while (!mProcess->wait(50))
            QCoreApplication::processEvents();
    }
    mProcess->quit();
    delete mProcess;
    mProcess = nullptr;
}
