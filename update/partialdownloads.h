#pragma once

#include <QSet>
#include <QString>

class QDir;

// Partial downloads (see PartialDownload) survive the cleaning of the
// download area, so that a run started again after a failure, a crash or
// the end of the program asks only for the rest of a file. The area is
// private to the user and locked by the run that cleans it; only plain
// files are kept, never links.

// Removes everything below folder but the partial downloads, and the
// folder itself when nothing is left in it. False when something could not
// be removed.
bool removeAllButPartialDownloads(const QDir &folder);

// Removes the partial downloads below folder whose ".tmp" path is not in
// keep (those of files the run does not download).
void removePartialDownloadsExcept(const QDir &folder, const QSet<QString> &keep);
