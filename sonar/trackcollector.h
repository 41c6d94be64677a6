#pragma once

#include "sonartracks.h"

#include <QDir>
#include <QDomDocument>
#include <QString>

#include <functional>

// The first half of the sonar step, on the card update's thread: finds the
// sonar logs on the card, sets aside those uploaded before, converts the
// others into the files that are sent (a zipped ".stk" per ".slg" log through
// Sondrak, ".t3d" files per ".fsh" or ".dat" log through Wakeform) and, once
// the upload is over, counts what became of them.
class TrackCollector
{
public:
    struct Places
    {
        // "history.xml", "acceptedTrackFormats.xml" and "latestUtc.txt".
        QDir applicationDir;
        // Sondrak, Sondump and Wakeform.
        QDir toolDir;
        QString cardRootPath;
        // "ugd" beside the download folder.
        QString workFolder;
    };

    explicit TrackCollector(const Places &places);

    QString historyPath() const;
    SonarTracks &tracks() { return mTracks; }
    const SonarTracks &tracks() const { return mTracks; }

    void readHistory();
    void findSonarTracks();
    void checkForDatSlgUploadedSonarTracks();
    // Converts what is left of the found logs; trackStarted is called before
    // each. False when the folder of converted tracks cannot be made.
    bool convertSonarTracks(const std::function<void()> &trackStarted);
    void checkForFshUploadedSonarTracks();
    // Ends the step: files from uploadIndex on (unless it is -1) were never
    // sent and count as corrupted; logs the three counts.
    SonarCounts report(int uploadIndex);

    // The moved archive in "stk-tracks", or empty text.
    QString convertSlgTrack(const QString &logPath, const QString &stkDir, const QString &tmpDir);
    bool convertFshDatTrack(const QString &logPath, const QString &stkDir);

private:
    Places mPlaces;
    QDomDocument mHistory;
    SonarTracks mTracks;
};
