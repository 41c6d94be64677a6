// The sonar step of a card update: the worker drives the track collector and
// the track uploader of sonar/ and turns what they do into its signals.

#include "downloadmanagertest.h"

#include "environment.h"
#include "sonarfolders.h"
#include "trackcollector.h"
#include "trackuploader.h"
#include "utcoffset.h"

// Reads the history, searches the card and sets aside the logs uploaded
// before; the count left is what the conversion will weigh.
int DownloadManagerTest::prepareSonarTracks()
{
    TrackCollector::Places places;
    places.applicationDir = mApplicationDir;
    places.toolDir = mToolDir ? *mToolDir : Environment::instance()->programDir();
    places.cardRootPath = mOptions.cardRootPath;
    places.workFolder = SonarFolders::workFolder(mOptions.downloadDirPath);
    mTrackCollector = std::make_unique<TrackCollector>(places);
    mTrackCollector->readHistory();
    emit searchingUGDTracks();
    mTrackCollector->findSonarTracks();
    mTrackCollector->checkForDatSlgUploadedSonarTracks();
    mTracksToConvert = mTrackCollector->tracks().foundTracks.size();
    return mTracksToConvert;
}

// Converts, sends and reports. False only when the converted tracks have no
// folder to go to; a track that fails counts as corrupted and the run goes on.
bool DownloadManagerTest::uploadSonarTracks()
{
    if (!mTrackCollector)
        return true;
    TrackCollector &collector = *mTrackCollector;
    TrackUploader::Setup setup;
    setup.services = mTrackServices ? *mTrackServices : TrackServices::forApplicationDir(mApplicationDir);
    setup.timings = mSonarTimings;
    setup.userId = mOptions.userId;
    setup.historyPath = collector.historyPath();
    setup.utcCachePath = mApplicationDir.absoluteFilePath(QStringLiteral("latestUtc.txt"));
    setup.utcOffset = readLatestUtc(setup.utcCachePath);
    setup.cancelled = [this] { return isInterruptionRequested(); };

    emit convertingUGDTracks();
    const bool converted = collector.convertSonarTracks([this] {
        mProgress.addConvertedTrack();
        emit updateProcessStatus(progress());
    });
    if (!converted)
        return false;
    collector.checkForFshUploadedSonarTracks();
    emit uploadingUGDTracks();

    SonarTracks &tracks = collector.tracks();
    // The upload's share of the progress is spread over the files to send,
    // which may be more or fewer than the logs converted.
    if (!tracks.uploadList.isEmpty())
        mProgress.scaleUploadWeight(double(mTracksToConvert) / tracks.uploadList.size());
    TrackUploader uploader(tracks, setup);
    connect(&uploader, &TrackUploader::trackHandled, &uploader, [this](bool sent) {
        mProgress.addUploadedTrack();
        if (sent)
            emit updateProcessStatus(progress());
    });
    const int uploadIndex = uploader.run();

    const SonarCounts counts = collector.report(uploadIndex);
    emit sonarTrackReport(counts.uploaded, counts.alreadyUploaded, counts.corrupted);
    mTrackCollector.reset();
    return true;
}
