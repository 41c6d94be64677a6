#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The sonar logs of one run and what became of them; paths are absolute.
struct SonarTracks
{
    // Logs found on the card, in search order, less those uploaded before.
    QStringList foundTracks;
    // Logs (.slg, .dat) and converted files (.fsh) found in the history.
    QStringList alreadyUploaded;
    // Logs that could not be converted or located, and files never sent.
    QStringList corruptedTracks;
    // Files to send: a ".zip" per ".slg" log, ".t3d" files for the others.
    QStringList uploadList;
    // Track key of a log or of a file to send.
    QMap<QString, QString> trackKeys;
    // The ".t3d" files each ".fsh" or ".dat" log gave in this run.
    QMap<QString, QStringList> conversionMap;
};

// What the page is told at the end of the sonar step.
struct SonarCounts
{
    int uploaded = 0;
    int alreadyUploaded = 0;
    int corrupted = 0;
};
