#include "downloadmanagertest.h"

#include "archiveunpacker.h"
#include "cardfiles.h"
#include "cardidentity.h"
#include "cardroom.h"
#include "cardspace.h"
#include "chip.h"
#include "downloadarea.h"
#include "errorcodes.h"
#include "filedownloadaction.h"
#include "fileobject.h"
#include "installation.h"
#include "manifest.h"
#include "manifestreader.h"
#include "partialdownloads.h"
#include "runlog.h"
#include "trackcollector.h"
#include "updateplan.h"
#include "veldownloadmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QSet>

#include <memory>

DownloadManagerTest::DownloadManagerTest(VelDownloadManager *manager, const CardUpdateOptions &options,
                                         QObject *parent)
    : QThread(parent)
    , mManager(manager)
    , mOptions(options)
{
}

DownloadManagerTest::~DownloadManagerTest()
{
    wait();
    qDeleteAll(mManifest);
}

void DownloadManagerTest::setApplicationDir(const QDir &directory)
{
    mApplicationDir = directory;
}

void DownloadManagerTest::setManifestText(const QString &text)
{
    mManifestText = text;
    mUseManifestUrl = false;
}

void DownloadManagerTest::setManifestRetryPause(int milliseconds)
{
    mManifestRetryPause = milliseconds;
}

void DownloadManagerTest::setToolDir(const QDir &directory)
{
    mToolDir = directory;
}

void DownloadManagerTest::setTrackServices(const TrackServices &services)
{
    mTrackServices = services;
}

void DownloadManagerTest::setSonarTimings(const SonarTimings &timings)
{
    mSonarTimings = timings;
}

void DownloadManagerTest::run()
{
    connect(this, &DownloadManagerTest::enqueueUrl, mManager, &VelDownloadManager::enqueueUrl);
    connect(this, &DownloadManagerTest::waitingSignal, mManager, &VelDownloadManager::waitingSlot);
    newtideDataProcess();
}

// The Newtide Data Process: every step of one card update, in order. It
// ends with exactly one of processCompleted(), newtideDataError() or
// notEnoughSpace().
bool DownloadManagerTest::newtideDataProcess()
{
    logRunHeader(mOptions);
    Outcome outcome;
    outcome.downloadStart = outcome.downloadEnd = QDateTime::currentSecsSinceEpoch();
    outcome.errorCode = ErrorManifestNotObtained;
    mProgress.reset();
    emit preparingForDownload();

    DownloadArea area(mOptions.downloadDirPath);
    CardIdentity card;
    if (!claimDownloadArea(area, outcome) || !captureCard(card, outcome))
        return finishRun(outcome);
    clearDownloadArea(QDir(mOptions.downloadDirPath));

    if (readManifest(outcome) && manifestIsSafe(outcome)) {
        const quint32 clusterSize = cardClusterSize(mOptions.cardRootPath);
        const UpdatePlan plan =
            planUpdate(mManifest, mOptions.newtideEnabled, mOptions.communityEnabled, clusterSize);
        for (int number = 0; number < mManifest.size(); ++number)
            logManifestEntry(number, *mManifest.at(number), plan.accepted.at(number));
        Installation installation(mOptions.newtideEnabled, mOptions.communityEnabled, mOptions.cardRootPath,
                                  mOptions.additionalPath);
        installation.setCard(&card);
        installation.setProgressHooks([this] { mProgress.allowReport(); },
                                      [this] {
                                          mProgress.addFile();
                                          actionProgress(0);
                                      });
        if (!placesAreOnCard(installation, plan.installList, outcome) || !fitsCardFormat(plan.installList, outcome))
            return finishRun(outcome);
        const quint64 removedBytes =
            bytesFreedOnCard(installation, plan.installList, mOptions.cardRootPath, clusterSize);
        if (!checkSpace(plan, removedBytes, clusterSize)) {
            releaseManifest();
            return false;
        }
        const int tracksToConvert = mOptions.sonarEnabled ? prepareSonarTracks() : 0;
        calculateProgressBarParameter(qint64(plan.downloadBytes), tracksToConvert, plan.filesToProcess);
        carryOut(plan.installList, installation, area, clusterSize, outcome);
    }
    return finishRun(outcome);
}

bool DownloadManagerTest::readManifest(Outcome &outcome)
{
    releaseManifest();
    if (!mOptions.newtideEnabled && !mOptions.communityEnabled)
        return true;
    ManifestReader reader = manifestReader();
    const ManifestReader::Result result = mUseManifestUrl ? reader.readFromUrl(mOptions.manifestUrl, mManifest)
                                                          : reader.readText(mManifestText.toLatin1(), mManifest);
    if (result == ManifestReader::Result::Refused) {
        outcome.errorCode = ErrorManifestRefused;
        outcome.errorMessage = reader.reason();
    }
    return result == ManifestReader::Result::Read;
}

ManifestReader DownloadManagerTest::manifestReader()
{
    auto fetch = [this](VelDownloadAction *action) {
        if (action->thread() != mManager->thread())
            action->moveToThread(mManager->thread());
        emit enqueueUrl(action);
        waitForManager();
    };
    return ManifestReader(fetch, [this] { return isInterruptionRequested(); }, mManifestRetryPause);
}

bool DownloadManagerTest::getManifest()
{
    return manifestReader().readFromUrl(mOptions.manifestUrl, mManifest) == ManifestReader::Result::Read;
}

// Sonar upload, download, preparation and installation, each only when
// the one before succeeded.
void DownloadManagerTest::carryOut(const QList<FileObject *> &installList, Installation &installation,
                                   const DownloadArea &area, quint32 clusterSize, Outcome &outcome)
{
    outcome.success = true;
    outcome.errorCode = 0;
    if (mOptions.sonarEnabled && !mOptions.userId.isEmpty() && !uploadSonarTracks()) {
        outcome.success = false;
        outcome.errorCode = ErrorUploadingSonarTrack;
        return;
    }
    if (cancelled(outcome))
        return;
    if (installList.isEmpty())
        return;
    // Archives come first, so that each is unpacked while the others download.
    auto unpacker = std::make_shared<ArchiveUnpacker>(installation, QDir(mOptions.downloadDirPath), installList);
    emit startDownloadingChart();
    outcome.downloadStart = QDateTime::currentSecsSinceEpoch();
    outcome.success = downloadFiles(downloadOrder(installList), area, outcome.errorCode, outcome.errorMessage,
                                    [unpacker](const QString &localPath) { unpacker->fileArrived(localPath); });
    outcome.downloadEnd = QDateTime::currentSecsSinceEpoch();
    if (!outcome.success || cancelled(outcome)) {
        unpacker->stop();
        return;
    }
    installDownloaded(installList, installation, *unpacker, clusterSize, outcome);
}

// The program is leaving: the run stops between two steps.
bool DownloadManagerTest::cancelled(Outcome &outcome) const
{
    if (!isInterruptionRequested())
        return false;
    outcome.success = false;
    outcome.errorCode = QNetworkReply::OperationCanceledError;
    return true;
}

bool DownloadManagerTest::downloadFiles(const QList<FileObject *> &installList, const DownloadArea &area,
                                        int &errorCode, QString &errorMessage,
                                        const std::function<void(const QString &)> &fileArrived)
{
    QList<FileDownloadAction *> actions;
    const DownloadObserver observer(this, &DownloadManagerTest::actionProgress, &DownloadManagerTest::started,
                                    &DownloadManagerTest::finished);
    for (const FileObject *entry : installList) {
        // Only below the download folder, links in it included.
        const QString localPath = area.resolve(Installation::targetPath(*entry));
        if (localPath.isEmpty()) {
            qDebug() << "*** Download place leads out of the download area:" << Installation::targetPath(*entry);
            errorCode = ErrorDownloadAreaUnsafe;
            errorMessage = Installation::targetPath(*entry);
            qDeleteAll(actions);
            return false;
        }
        QDir().mkpath(QFileInfo(localPath).absolutePath());
        auto *action = new FileDownloadAction(QUrl::fromEncoded(entry->url().toLatin1()), localPath, observer);
        action->setExpectedSize(entry->size());
        action->setExpectedMd5(checkableMd5(*entry));
        if (fileArrived)
            connect(action, &VelDownloadAction::finished, action, [fileArrived, localPath](VelDownloadAction *done) {
                if (done->getActionError() == 0 && done->statusAccepted())
                    fileArrived(localPath);
            }, Qt::DirectConnection);
        actions.append(action);
    }
    // Partial files of an earlier run that this one does not take up.
    QSet<QString> partials;
    for (const FileDownloadAction *action : qAsConst(actions))
        partials.insert(action->temporaryPath());
    removePartialDownloadsExcept(QDir(mOptions.downloadDirPath), partials);
    for (FileDownloadAction *action : qAsConst(actions)) {
        action->moveToThread(mManager->thread());
        emit enqueueUrl(action);
    }
    waitForManager();

    bool ok = true;
    for (FileDownloadAction *action : qAsConst(actions)) {
        if (!action->statusAccepted() || action->getActionError() != 0) {
            errorCode = action->getActionError();
            errorMessage = action->url().toString();
            ok = false;
            break;
        }
    }
    for (FileDownloadAction *action : qAsConst(actions))
        action->deleteLater();
    if (!ok)
        qDebug() << "*** ERROR during download!!!";
    return ok;
}

bool DownloadManagerTest::finishRun(const Outcome &outcome)
{
    if (outcome.notEnoughSpace)
        emit notEnoughSpace();
    else if (!outcome.success)
        emit newtideDataError(outcome.errorCode, outcome.errorMessage);

    logRunEnd(outcome.success, outcome.downloadStart, outcome.downloadEnd, QDateTime::currentSecsSinceEpoch());

    mProgress.allowReport();
    if (outcome.success) {
        mProgress.complete();
        actionProgress(0);
        emit processCompleted();
    }
    releaseManifest();
    return outcome.success;
}

void DownloadManagerTest::releaseManifest()
{
    qDeleteAll(mManifest);
    mManifest.clear();
}

void DownloadManagerTest::waitForManager()
{
    emit waitingSignal();
    mManager->waitForAll();
}

float DownloadManagerTest::progress() const
{
    return mProgress.percent();
}

void DownloadManagerTest::actionProgress(qint64 bytesReceived)
{
    mProgress.addBytes(bytesReceived);
    if (mProgress.takeReport(quint32(QDateTime::currentSecsSinceEpoch())))
        emit updateProcessStatus(progress());
}

void DownloadManagerTest::started(VelDownloadAction *)
{
}

void DownloadManagerTest::finished(VelDownloadAction *)
{
    qDebug() << "= Total Downloaded " << mProgress.bytesDownloaded() << " bytes";
    emit updateProcessStatus(progress());
}

void DownloadManagerTest::calculateProgressBarParameter(qint64 totalBytes, int tracks, int files)
{
    const ProgressWeights weights = progressWeights(totalBytes, tracks, files);
    mProgress.setWeights(weights);
    qDebug() << "TotalMBytesToProcess " << weights.megabytes;
    qDebug() << "TotalFilesToConvert " << weights.tracks;
    qDebug() << "TotalFileToProcess " << weights.files;
}
