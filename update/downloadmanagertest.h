#pragma once

#include "cardupdateoptions.h"
#include "manifestreader.h"
#include "runprogress.h"
#include "trackservices.h"

#include <QDir>
#include <QList>
#include <QNetworkReply>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>

class ArchiveUnpacker;
class CardIdentity;
class Chip;
class DownloadArea;
class FileObject;
class Installation;
class TrackCollector;
class VelDownloadAction;
class VelDownloadManager;
struct UpdatePlan;

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
    // Where Sondrak, Sondump and Wakeform are; the program's folder unless set.
    void setToolDir(const QDir &directory);
    // The sonar services; unless set, the build's or those "trackServers.txt"
    // in the application folder names.
    void setTrackServices(const TrackServices &services);
    void setSonarTimings(const SonarTimings &timings);

    // Fetches the manifest from the manifest URL and parses it into the run's list.
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
    void calculateProgressBarParameter(qint64 totalBytes, int tracks, int files);

protected:
    void run() override;

private:
    // How a run ended, for its last log lines and its one outcome signal.
    struct Outcome
    {
        bool success = false;
        int errorCode = 0;
        QString errorMessage;
        qint64 downloadStart = 0;
        qint64 downloadEnd = 0;
        // The files that arrived need more room than the card has.
        bool notEnoughSpace = false;
    };

    bool newtideDataProcess();
    bool claimDownloadArea(DownloadArea &area, Outcome &outcome);
    bool captureCard(CardIdentity &card, Outcome &outcome);
    bool fitsCardFormat(const QList<FileObject *> &installList, Outcome &outcome);
    bool placesAreOnCard(Installation &installation, const QList<FileObject *> &installList, Outcome &outcome);
    bool readManifest(Outcome &outcome);
    ManifestReader manifestReader();
    bool manifestIsSafe(Outcome &outcome);
    bool checkSpace(const UpdatePlan &plan, quint64 removedBytes, quint32 clusterSize);
    int prepareSonarTracks();
    void carryOut(const QList<FileObject *> &installList, Installation &installation, const DownloadArea &area,
                  quint32 clusterSize, Outcome &outcome);
    void installDownloaded(const QList<FileObject *> &installList, Installation &installation,
                           ArchiveUnpacker &unpacker, quint32 clusterSize, Outcome &outcome);
    bool readBack(Installation &installation, Outcome &outcome);
    bool cancelled(Outcome &outcome) const;
    bool uploadSonarTracks();
    // fileArrived hears the download place of each file that arrived whole.
    bool downloadFiles(const QList<FileObject *> &installList, const DownloadArea &area, int &errorCode,
                       QString &errorMessage, const std::function<void(const QString &)> &fileArrived = {});
    bool finishRun(const Outcome &outcome);
    void releaseManifest();
    void waitForManager();

    VelDownloadManager *mManager;
    const CardUpdateOptions mOptions;
    bool mUseManifestUrl = true;
    QString mManifestText;
    QDir mApplicationDir;
    int mManifestRetryPause = 20000;
    QList<FileObject *> mManifest;
    std::optional<QDir> mToolDir;
    std::optional<TrackServices> mTrackServices;
    SonarTimings mSonarTimings;
    // The sonar step of the run, from the search to the report.
    std::unique_ptr<TrackCollector> mTrackCollector;
    int mTracksToConvert = 0;

    RunProgress mProgress;
};
