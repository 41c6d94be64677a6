#pragma once

#include <QtGlobal>

class FileObject;
struct CardUpdateOptions;

// The lines a card update writes to the log at its milestones; support
// reads them, so their wording stays as it is.

void logRunHeader(const CardUpdateOptions &options);
void logManifestEntry(int number, const FileObject &entry, bool accepted);
void logSpaceFigures(quint64 downloadBytes, quint64 newFilesSize, quint64 removedBytes, quint64 freeBytes);
// downloadStart and downloadEnd are the run's start when nothing was downloaded.
void logRunEnd(bool success, qint64 downloadStart, qint64 downloadEnd, qint64 now);
