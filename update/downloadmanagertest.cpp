#include "downloadmanagertest.h"

#include "bufferdownloadaction.h"
#include "cardfiles.h"
#include "cardspace.h"
#include "chip.h"
#include "errorcodes.h"
#include "filedownloadaction.h"
#include "fileobject.h"
#include "installation.h"
#include "manifest.h"
#include "runlog.h"
#include "updateplan.h"
#include "veldownloadmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>

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
    clearDownloadArea(QDir(mOptions.downloadDirPath));

    if (readManifest() && manifestIsSafe(outcome)) {
        const quint32 clusterSize = cardClusterSize(mOptions.cardRootPath);
        const UpdatePlan plan =
            planUpdate(mManifest, mOptions.newtideEnabled, mOptions.communityEnabled, clusterSize);
        for (int number = 0; number < mManifest.size(); ++number)
            logManifestEntry(number, *mManifest.at(number), plan.accepted.at(number));
        if (!checkSpace(plan, clusterSize)) {
            releaseManifest();
            return false;
        }
        const int tracksToConvert = mOptions.sonarEnabled ? prepareSonarTracks() : 0;
        calculateProgressBarParameter(qint64(plan.downloadBytes), tracksToConvert, plan.filesToProcess);
        carryOut(plan.installList, outcome);
    }
    return finishRun(outcome);
}

bool DownloadManagerTest::readManifest()
{
    releaseManifest();
    if (!mOptions.newtideEnabled && !mOptions.communityEnabled)
        return true;
    if (mUseManifestUrl)
        return getManifest();
    parseManifest(mManifestText.toLatin1(), mManifest);
    return true;
}

bool DownloadManagerTest::getManifest()
{
    auto *action = new BufferDownloadAction(QUrl::fromEncoded(mOptions.manifestUrl.toLatin1()));
    for (int attempt = 0; attempt < 5 && !isInterruptionRequested(); ++attempt) {
        qDebug() << "getManifest";
        if (action->thread() != mManager->thread())
            action->moveToThread(mManager->thread());
        emit enqueueUrl(action);
        waitForManager();
        if (action->getActionError() == 0 && !action->buffer().isEmpty())
            break;
        // The pause ends early when the program leaves.
        for (int waited = 0; waited < mManifestRetryPause && !isInterruptionRequested(); waited += 50)
            QThread::msleep(ulong(qMin(50, mManifestRetryPause - waited)));
    }

    bool accepted = false;
    const QByteArray body = action->buffer();
    if (action->httpStatus().toInt() == 200 && action->getActionError() == 0 && !body.isEmpty()
        && action->contentType().toString().contains(QLatin1String("application/json"))) {
        qDebug() << body;
        parseManifest(body, mManifest);
        accepted = true;
    }
    action->deleteLater();
    return accepted;
}

// Nothing is downloaded or removed for a manifest that would reach outside the card.
bool DownloadManagerTest::manifestIsSafe(Outcome &outcome) const
{
    outcome.errorMessage = unsafeManifestReason(mManifest);
    if (outcome.errorMessage.isEmpty())
        return true;
    qDebug() << "*** Manifest refused:" << outcome.errorMessage;
    return false;
}

bool DownloadManagerTest::checkSpace(const UpdatePlan &plan, quint32 clusterSize)
{
    Chip chip;
    chip.open(mOptions.cardRootPath);
    QStringList filters;
    buildRemovalFilters(mOptions.newtideEnabled, mOptions.communityEnabled, true, filters);
    const quint64 sizeToRemove = sizeOfReplacedFiles(chip, filters, clusterSize);
    const quint64 freeSpace = freeSpaceOfCard(&chip);
    logSpaceFigures(plan.downloadBytes, plan.diskSize, sizeToRemove, freeSpace);

    // Without the card's allocation unit no size can be trusted.
    if (clusterSize == 0)
        qDebug() << "*** ERROR: Not able to retrive the cluster size of the chip";
    if (!hasRoomFor(plan.diskSize, freeSpace, sizeToRemove, clusterSize)) {
        qDebug() << "You don't have enought space on chip!!";
        emit notEnoughSpace();
        return false;
    }
    qDebug() << "Space enough, so we can start the newtide data process";
    mProgress.clearTracks();
    return true;
}

quint64 DownloadManagerTest::freeSpaceOfCard(const Chip *chip) const
{
    if (!chip || !chip->rootDir())
        return 0;
    quint64 freeBytes = 0;
    if (!cardFreeSpace(chip->rootDir()->absolutePath(), freeBytes)) {
        qDebug() << "*** ERROR: Not able to retrive free Space";
        return 0;
    }
    return freeBytes;
}

// Sonar logs are not collected by this build; the step keeps its place in
// the run, between the space rule and the download.
int DownloadManagerTest::prepareSonarTracks()
{
    return 0;
}

bool DownloadManagerTest::uploadSonarTracks()
{
    return true;
}

// Sonar upload, download, preparation and installation, each only when
// the one before succeeded.
void DownloadManagerTest::carryOut(const QList<FileObject *> &installList, Outcome &outcome)
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
    if (!installList.isEmpty()) {
        emit startDownloadingChart();
        outcome.downloadStart = QDateTime::currentSecsSinceEpoch();
        outcome.success = downloadFiles(installList, outcome.errorCode, outcome.errorMessage);
        outcome.downloadEnd = QDateTime::currentSecsSinceEpoch();
        if (!outcome.success)
            return;
    }
    if (cancelled(outcome) || installList.isEmpty())
        return;

    Installation installation(mOptions.newtideEnabled, mOptions.communityEnabled, mOptions.cardRootPath,
                              mOptions.additionalPath);
    installation.setProgressHooks([this] { mProgress.allowReport(); },
                                  [this] {
                                      mProgress.addFile();
                                      actionProgress(0);
                                  });
    const QDir downloadDir(mOptions.downloadDirPath);
    const QDir cardRootDir(mOptions.cardRootPath);
    const QDir chartsDir(cardRootDir.filePath(Chip::ChartsFolder));
    auto fail = [&outcome](int code) {
        outcome.success = false;
        outcome.errorCode = code;
    };

    emit preparingInstallation();
    if (!installation.prepareInstallation(installList, downloadDir, cardRootDir, chartsDir))
        return fail(ErrorPreparingInstallation);
    if (mOptions.newtideEnabled)
        emit startInstallingChart();
    else
        emit startInstallingUGC();
    if (!installation.installFiles(installList, downloadDir, cardRootDir))
        return fail(ErrorInstallChart);
    if (!mOptions.communityEnabled)
        return;
    emit startInstallingUGC();
    if (!installation.installArchiveContents(installList, downloadDir, cardRootDir))
        fail(ErrorInstallingUgc);
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

bool DownloadManagerTest::downloadFiles(const QList<FileObject *> &installList, int &errorCode, QString &errorMessage)
{
    const QDir downloadDir(mOptions.downloadDirPath);
    QList<FileDownloadAction *> actions;
    const DownloadObserver observer(this, &DownloadManagerTest::actionProgress, &DownloadManagerTest::started,
                                    &DownloadManagerTest::finished);
    for (const FileObject *entry : installList) {
        const QString localPath = downloadDir.filePath(Installation::targetPath(*entry));
        QDir().mkpath(QFileInfo(localPath).absolutePath());
        auto *action = new FileDownloadAction(QUrl::fromEncoded(entry->url().toLatin1()), localPath, observer);
        action->setExpectedSize(entry->size());
        action->moveToThread(mManager->thread());
        emit enqueueUrl(action);
        actions.append(action);
    }
    waitForManager();

    bool ok = true;
    for (FileDownloadAction *action : qAsConst(actions)) {
        if (action->httpStatus().toInt() != 200 || action->getActionError() != 0) {
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
    if (!outcome.success)
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

void DownloadManagerTest::uploadProgress(qint64 bytesSent, qint64 bytesTotal)
{
    qDebug() << "Upload in progress.. " << QStringLiteral("%1/%2").arg(bytesSent).arg(bytesTotal);
}

void DownloadManagerTest::uploadFinished(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
}

void DownloadManagerTest::uploadError(QNetworkReply::NetworkError code)
{
    qDebug() << "***** Upload Error: " << int(code);
}

void DownloadManagerTest::utcFinished(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
}

void DownloadManagerTest::utcError(QNetworkReply::NetworkError)
{
}
