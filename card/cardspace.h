#pragma once

#include <QFileInfoList>
#include <QString>

// Disk figures of a chart card: sizes as the card's file system allocates
// them, and what the platform layer knows about the card's volume.

// Smallest multiple of cluster not below size; an unknown cluster size (0)
// leaves size as it is.
quint64 roundUpToCluster(quint64 size, quint32 cluster);

// What the files take on the card: each size rounded up to whole clusters.
quint64 sizeOnCard(const QFileInfoList &files, quint32 cluster);

// Bytes per allocation unit of the volume holding path; 0 when unknown.
quint32 cardClusterSize(const QString &path);

// Free bytes of the volume holding path; false when the platform cannot tell.
bool cardFreeSpace(const QString &path, quint64 &freeBytes);
