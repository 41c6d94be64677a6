#include "cardspace.h"

#include "environment.h"

quint64 roundUpToCluster(quint64 size, quint32 cluster)
{
    if (cluster == 0)
        return size;
    return (size + cluster - 1) / cluster * cluster;
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
