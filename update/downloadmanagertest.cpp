#include "downloadmanagertest.h"

#include "bufferdownloadaction.h"
#include "cardfiles.h"
#include "cardspace.h"
#include "chip.h"
#include "filedownloadaction.h"
#include "fileobject.h"
#include "installation.h"
#include "manifest.h"
#include "errorcodes.h"
#include "veldownloadmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>

#include <cmath>

namespace {
quint32 secondsSinceEpoch()
{
    return quint32(QDateTime::currentSecsSinceEpoch());
}

bool isUgcName(const QString &lowerName)
{
    return lowerName.endsWith(QLatin1String(".uk")) || lowerName.endsWith(QLatin1String(".ugc"))
        || lowerName.endsWith(QLatin1String(".zip")) || lowerName.endsWith(QLatin1String(".vl3"));
}
} // namespace

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

void DownloadManagerTest::waitForManager()
{
    emit waitingSignal();
    mManager->waitForAll();
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

bool DownloadManagerTest::newtideDataProcess()
{
    qDebug() << "---------------------";
    qDebug() << "-- Starting Newtide Data Process";
    qDebug() << "-           User id: " << mOptions.userId;
    qDebug() << "-     Newtide data: " << mOptions.newtideEnabled;
    qDebug() << "-   Community layer: " << mOptions.communityEnabled;
    qDebug() << "-       Sonar track: " << mOptions.sonarEnabled;
    qDebug() << "--";
    qDebug() << "---------------------";
    qDebug("%s", "");

    const qint64 runStart = QDateTime::currentSecsSinceEpoch();
    mLastProgressTime = 0;
    mBytesDownloaded = 0;
    mFilesProcessed = 0;
    mTracksConvertedCount = 0;
    mTracksUploadedCount = 0;
    mCompleted = false;
    Chip chip;

    emit preparingForDownload();

    const QDir downloadDir(mOptions.downloadDirPath);
    const QDir ugdDir(downloadDir.absoluteFilePath(QStringLiteral("../ugd")));
    QDir().mkpath(ugdDir.absolutePath());
    removeDirectoryTree(downloadDir);
    removeDirectoryTree(ugdDir);

    qDeleteAll(mManifest);
    mManifest.clear();
    bool manifestOk = true;
    if (mOptions.newtideEnabled || mOptions.communityEnabled) {
        if (mUseManifestUrl)
            manifestOk = getManifest();
        else
            parseManifest(mManifestText.toLatin1(), mManifest);
    }

    int errorCode = 0;
    QString errorMessage;
    bool success = false;
    qint64 downloadStart = runStart;
    qint64 downloadEnd = runStart;

    if (!manifestOk) {
        errorCode = ErrorManifestNotObtained;
    } else {
        // Nothing is downloaded or removed for a manifest that would reach outside the card.
        for (const FileObject *entry : qAsConst(mManifest)) {
            const QString reason = unsafeManifestEntryReason(*entry);
            if (!reason.isEmpty()) {
                qDebug() << "*** Manifest refused:" << reason;
                errorCode = ErrorManifestNotObtained;
                errorMessage = reason;
                manifestOk = false;
                break;
            }
        }
    }

    if (manifestOk) {
        const quint32 clusterSize = cardClusterSize(mOptions.cardRootPath);

        QList<FileObject *> installList;
        QList<FileObject *> archives;
        quint64 downloadByteTotal = 0;
        quint64 diskSizeOfNewFiles = 0;
        int filesToProcess = 0;
        for (int number = 0; number < mManifest.size(); ++number) {
            FileObject *entry = mManifest.at(number);
            const QString lowerName = entry->name().toLower();
            const bool ugcType = isUgcName(lowerName);
            const quint64 size = quint64(qMax(0, entry->size()));
            bool accepted = false;
            quint64 diskSize = 0;
            if (mOptions.communityEnabled && ugcType) {
                accepted = true;
                downloadByteTotal += size;
                if (lowerName.endsWith(QLatin1String(".zip"))) {
                    archives.append(entry);
                    filesToProcess += int(entry->totalFiles());
                    const quint64 average = entry->totalFiles() == 0
                        ? 0
                        : quint64(std::ceil(double(entry->unzippedSize()) / double(entry->totalFiles())));
                    if (clusterSize == 0)
                        diskSize = 0;
                    else if (average != 0)
                        diskSize = roundUpToCluster(average, clusterSize) * entry->totalFiles();
                    else
                        diskSize = roundUpToCluster(size, clusterSize);
                } else {
                    installList.append(entry);
                    filesToProcess += 1;
                    diskSize = clusterSize == 0 ? 0 : roundUpToCluster(size, clusterSize);
                }
            } else if (mOptions.newtideEnabled && !ugcType) {
                accepted = true;
                installList.append(entry);
                downloadByteTotal += size;
                filesToProcess += 1;
                diskSize = clusterSize == 0 ? 0 : roundUpToCluster(size, clusterSize);
            }
            if (accepted)
                diskSizeOfNewFiles += diskSize;

            qDebug() << "---------------------";
            qDebug() << "--      File number: " << number;
            qDebug() << "-     File accepted: " << accepted;
            qDebug() << "-         File name: " << entry->name();
            qDebug() << "-          File url: " << entry->url();
            qDebug() << "-  Destination path: " << entry->destinationPath();
            qDebug() << "-         File size: " << entry->size();
            qDebug() << "-    Unzipped files: " << entry->totalFiles();
            qDebug() << "-     Unzipped size: " << entry->unzippedSize();
            qDebug() << "--";
            qDebug() << "---------------------";
            qDebug("%s", "");
        }
        installList.append(archives);

        QStringList filters;
        buildRemovalFilters(mOptions.newtideEnabled, mOptions.communityEnabled, true, filters);

        chip.open(mOptions.cardRootPath);
        quint64 sizeToRemove = 0;
        if (chip.hasOldChartFiles() && chip.chartsDir()) {
            sizeToRemove = sizeOfFilesToRemove(*chip.chartsDir(), filters, clusterSize)
                + sizeOfFilesToRemove(*chip.ugcDir(), filters, clusterSize);
        } else if (chip.hasPewterEntry() && chip.pewterEntry() && chip.velamariDir()) {
            sizeToRemove = sizeOfFilesToRemove(QDir(chip.velamariDir()->filePath(chip.pewterEntry()->directory)),
                                               filters, clusterSize);
        }
        const quint64 freeSpace = freeSpaceOfCard(&chip);

        qDebug() << "===        Byte To Download: " << downloadByteTotal;
        qDebug() << "===  Disk Size Of New Chart: " << diskSizeOfNewFiles;
        qDebug() << "=== Size Of Files To Remove: " << sizeToRemove;
        qDebug() << "===         Chip Free Space: " << freeSpace;
        qDebug("%s", "");

        // Without the card's allocation unit no size can be trusted.
        if (clusterSize == 0)
            qDebug() << "*** ERROR: Not able to retrive the cluster size of the chip";
        if (clusterSize == 0 || freeSpace + sizeToRemove < diskSizeOfNewFiles) {
            qDebug() << "You don't have enought space on chip!!";
            emit notEnoughSpace();
            qDeleteAll(mManifest);
            mManifest.clear();
            return false;
        }
        qDebug() << "Space enough, so we can start the newtide data process";
        mWeightPerConvertedTrack = 0;
        mWeightPerUploadedTrack = 0;
        mTracksConvertedCount = 0;
        mTracksUploadedCount = 0;

        const int tracksToConvert = mOptions.sonarEnabled ? prepareSonarTracks() : 0;
        calculateProgressBarParameter(qint64(downloadByteTotal), tracksToConvert, filesToProcess);

        Installation installation(mOptions.newtideEnabled, mOptions.communityEnabled, mOptions.cardRootPath,
                                  mOptions.additionalPath);
        installation.setProgressHooks([this] { mLastProgressTime = 0; },
                                      [this] {
                                          ++mFilesProcessed;
                                          actionProgress(0);
                                      });
        const QDir cardRootDir(mOptions.cardRootPath);
        const QDir chartsDir(cardRootDir.filePath(Chip::ChartsFolder));

        success = true;
        if (mOptions.sonarEnabled && !mOptions.userId.isEmpty() && !uploadSonarTracks()) {
            success = false;
            errorCode = ErrorUploadingSonarTrack;
        }
        if (success && isInterruptionRequested()) {
            success = false;
            errorCode = QNetworkReply::OperationCanceledError;
        }
        if (success && !installList.isEmpty()) {
            emit startDownloadingChart();
            downloadStart = QDateTime::currentSecsSinceEpoch();
            success = downloadFiles(installList, errorCode, errorMessage);
            downloadEnd = QDateTime::currentSecsSinceEpoch();
        }
        if (success && isInterruptionRequested()) {
            success = false;
            errorCode = QNetworkReply::OperationCanceledError;
        }
        if (success && !installList.isEmpty()) {
            emit preparingInstallation();
            if (!installation.prepareInstallation(installList, downloadDir, cardRootDir, chartsDir)) {
                success = false;
                errorCode = ErrorPreparingInstallation;
            }
        }
        if (success && !installList.isEmpty()) {
            if (mOptions.newtideEnabled)
                emit startInstallingChart();
            else
                emit startInstallingUGC();
            if (!installation.installFiles(installList, downloadDir, cardRootDir)) {
                success = false;
                errorCode = ErrorInstallChart;
            }
        }
        if (success && !installList.isEmpty() && mOptions.communityEnabled) {
            emit startInstallingUGC();
            if (!installation.installArchiveContents(installList, downloadDir, cardRootDir)) {
                success = false;
                errorCode = ErrorInstallingUgc;
            }
        }
    }

    if (!success)
        emit newtideDataError(errorCode, errorMessage);

    const qint64 now = QDateTime::currentSecsSinceEpoch();
    qDebug() << "\t     Test download: " << (success ? "passed" : "error!");
    qDebug() << "\t      Time elapsed: " << (downloadEnd - downloadStart) << " seconds";
    qDebug() << "\tTotal time elapsed: " << (now - downloadStart) << " seconds";

    mLastProgressTime = 0;
    if (success) {
        mCompleted = true;
        actionProgress(0);
        emit processCompleted();
    }
    qDeleteAll(mManifest);
    mManifest.clear();
    return success;
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

float DownloadManagerTest::progress() const
{
    if (mCompleted)
        return 100.0f;
    const double value = mTracksUploadedCount * double(mWeightPerUploadedTrack)
        + mTracksConvertedCount * double(mWeightPerConvertedTrack)
        + double(mWeightPerMegabyte) * double(mBytesDownloaded) / 1048576.0 + mFilesProcessed * double(mWeightPerFile);
    return float(qBound(0.0, value, 100.0));
}

void DownloadManagerTest::actionProgress(qint64 bytesReceived)
{
    mBytesDownloaded += bytesReceived;
    const quint32 now = secondsSinceEpoch();
    if (qint64(now) - qint64(mLastProgressTime) > mProgressInterval) {
        emit updateProcessStatus(progress());
        mLastProgressTime = now;
    }
}

void DownloadManagerTest::started(VelDownloadAction *)
{
}

void DownloadManagerTest::finished(VelDownloadAction *)
{
    qDebug() << "= Total Downloaded " << qint64(mBytesDownloaded) << " bytes";
    emit updateProcessStatus(progress());
}

void DownloadManagerTest::calculateProgressBarParameter(qint64 totalBytes, int tracks, int files)
{
    // Megabytes as a fraction, so that a finished run adds up to 100 whatever the sizes.
    const double megabytes = totalBytes > 0 ? double(totalBytes) / 1048576.0 : 0.0;
    const int trackCount = tracks < 1 ? 0 : tracks;
    const int fileCount = files < 1 ? 0 : files;
    const double total = trackCount * 21.5 + megabytes * 8 + fileCount;
    mWeightPerConvertedTrack = trackCount > 0 ? float(2000 / total) : 0.0f;
    mWeightPerUploadedTrack = trackCount > 0 ? float(150 / total) : 0.0f;
    mWeightPerMegabyte = totalBytes > 0 ? float(800 / total) : 0.0f;
    mWeightPerFile = fileCount > 0 ? float(100 / total) : 0.0f;
    qDebug() << "TotalMBytesToProcess " << megabytes;
    qDebug() << "TotalFilesToConvert " << trackCount;
    qDebug() << "TotalFileToProcess " << fileCount;
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
