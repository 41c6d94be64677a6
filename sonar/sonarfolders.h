#pragma once

#include <QString>

// The sonar work folder, "ugd" beside the run's download folder, and the
// folders the conversion uses inside it.
namespace SonarFolders {
QString workFolder(const QString &downloadDirPath);
// Files ready to send, with the position texts beside them.
QString stkTracks(const QString &workFolder);
// Sondrak's output for one ".slg" log.
QString stkTracksTmp(const QString &workFolder);
// Wakeform's output for one ".fsh" or ".dat" log.
QString conversionTmp(const QString &workFolder);

// The text beside a file to send that holds the track's first position:
// for an archive its whole name with ".txt" for ".zip" (written by Sondump
// here), for the others the name up to its first "." and ".txt" (as
// Wakeform writes it).
QString positionText(const QString &uploadPath);

// Deletes the folder and everything in it; a link is removed, never
// followed. True when nothing is left (or nothing was there).
bool removeTree(const QString &path);
// removeTree, then the folder again with its missing parents.
bool renew(const QString &path);
} // namespace SonarFolders
