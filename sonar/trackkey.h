#pragma once

#include <QString>
#include <QtGlobal>

// The name a track goes by in the upload history: "TR_", the normalised
// lower-case file name, "_", the file's local modification time (or "0"),
// "_", the size. The history keeps it as an element name, so the same file
// always gives the same key and every key is a valid XML name.
QString makeTrackKey(const QString &path, qint64 size, bool withDate);

// The companion of a ".dat" log: the entry named as the log's base name (up
// to the first ".") beside it, which holds the log's data.
QString datCompanionPath(const QString &datPath);

// Sum of the sizes of the files directly in the companion folder (hidden
// entries and sub-folders add nothing).
qint64 datTrackSize(const QString &datPath);
