#include "cardspace.h"

#include "environment.h"

#include <limits>

quint64 roundUpToCluster(quint64 size, quint32 cluster)
{
    if (cluster == 0 || size % cluster == 0)
        return size;
    // The last cluster past 64 bits: no card holds it, so say the most.
    const quint64 whole = size / cluster;
    if (whole >= std::numeric_limits<quint64>::max() / cluster)
        return std::numeric_limits<quint64>::max();
    return (whole + 1) * cluster;
}

quint64 sizeOnCard(const QFileInfoList &files, quint32 cluster)
{
    quint64 total = 0;
    for (const QFileInfo &file : files)
        total += roundUpToCluster(quint64(file.size()), cluster);
    return total;
}

quint32 cardClusterSize(const QString &path)
{
    return Environment::instance()->clusterSize(path);
}

bool cardFreeSpace(const QString &path, quint64 &freeBytes)
{
    quint64 totalBytes = 0;
    return Environment::instance()->freeSpace(path, freeBytes, totalBytes);
}
