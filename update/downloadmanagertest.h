#pragma once

#include <QDir>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QThread>

#include "cardupdateoptions.h"

#include <atomic>

class Chip;
class FileObject;
class VelDownloadAction;
class VelDownloadManager;

// One card update, run on a thread of its own: manifest, space rule,
// download batch, preparation and installation, with every phase, the
// progress and the outcome reported by signals. A run ends with exactly one
// of processCompleted(), newtideDataError() or notEnoughSpace().
class DownloadManagerTest : public QThread
{
    Q_OBJECT

public:
    DownloadManagerTest(VelDownloadManager *manager, const CardUpdateOptions &options, QObject *parent = nullptr);
    ~DownloadManagerTest() override;

    void setApplicationDir(const QDir &directory);
    void setManifestText(const QString &text);
    // Pause between two attempts to fetch the manifest (20 s in production).
    void setManifestRetryPause(int milliseconds);

    bool getManifest();
    quint64 freeSpaceOfCard(const Chip *chip) const;
    float progress() const;

signals:
    void enqueueUrl(VelDownloadAction *action);
    void preparingForDownload();
    void searchingUGDTracks();
    void convertingUGDTracks();
    void uploadingUGDTracks();
    void startDownloadingChart();
    void preparingInstallation();
    void startInstallingChart();
    void startInstallingUGC();
    void updateProcessStatus(float status);
    void processCompleted();
    void waitingSignal();
    void newtideDataError(int errorCode, QString errorMessage);
    void notEnoughSpace();
    void sonarTrackReport(int uploaded, int alreadyUploaded, int corrupted);

private slots:
    void actionProgress(qint64 bytesReceived);
    void started(VelDownloadAction *action);
    void finished(VelDownloadAction *action);
    void uploadProgress(qint64 bytesSent, qint64 bytesTotal);
    void uploadFinished(QNetworkReply *reply);
    void uploadError(QNetworkReply::NetworkError code);
    void utcFinished(QNetworkReply *reply);
    void utcError(QNetworkReply::NetworkError code);
    void calculateProgressBarParameter(qint64 totalBytes, int tracks, int files);

protected:
    void run() override;

private:
    bool newtideDataProcess();
    bool downloadFiles(const QList<FileObject *> &installList, int &errorCode, QString &errorMessage);
    int prepareSonarTracks();
    bool uploadSonarTracks();
    void waitForManager();

    VelDownloadManager *mManager;
    const CardUpdateOptions mOptions;
    bool mUseManifestUrl = true;
    QString mManifestText;
    QDir mApplicationDir;
    int mManifestRetryPause = 20000;
    QList<FileObject *> mManifest;

    // Written by the run and read by the progress slots in the main thread.
    std::atomic<qint64> mBytesDownloaded { 0 };
    std::atomic<int> mFilesProcessed { 0 };
    std::atomic<int> mTracksConvertedCount { 0 };
    std::atomic<int> mTracksUploadedCount { 0 };
    std::atomic<float> mWeightPerMegabyte { 0 };
    std::atomic<float> mWeightPerFile { 0 };
    std::atomic<float> mWeightPerConvertedTrack { 0 };
    std::atomic<float> mWeightPerUploadedTrack { 0 };
    std::atomic<bool> mCompleted { false };
    const int mProgressInterval = 3;
    std::atomic<quint32> mLastProgressTime { 0 };
};
