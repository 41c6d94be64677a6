#include "updateplan.h"

#include "cardspace.h"
#include "fileobject.h"

#include <limits>

namespace {
// Sizes come from the manifest: a sum or product past 64 bits means "more
// than any card holds", never a small number that wrapped around.
constexpr quint64 MaxSize = std::numeric_limits<quint64>::max();

quint64 saturatingAdd(quint64 a, quint64 b)
{
    return a > MaxSize - b ? MaxSize : a + b;
}

quint64 saturatingMultiply(quint64 a, quint64 b)
{
    return b != 0 && a > MaxSize / b ? MaxSize : a * b;
}
} // namespace

bool isCommunityFile(const FileObject &entry)
{
    const QString name = entry.name().toLower();
    return name.endsWith(QLatin1String(".uk")) || name.endsWith(QLatin1String(".ugc"))
        || name.endsWith(QLatin1String(".zip")) || name.endsWith(QLatin1String(".vl3"));
}

bool hasArchiveName(const FileObject &entry)
{
    return entry.name().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

quint64 diskSizeOnCard(const FileObject &entry, quint32 clusterSize)
{
    if (clusterSize == 0)
        return 0;
    const quint64 size = quint64(qMax<qint64>(0, entry.size()));
    if (!hasArchiveName(entry) || entry.totalFiles() == 0)
        return roundUpToCluster(size, clusterSize);
    const quint64 files = entry.totalFiles();
    const quint64 average = entry.unzippedSize() / files + (entry.unzippedSize() % files != 0 ? 1 : 0);
    if (average == 0)
        return roundUpToCluster(size, clusterSize);
    return saturatingMultiply(roundUpToCluster(average, clusterSize), files);
}

QList<FileObject *> downloadOrder(const QList<FileObject *> &installList)
{
    QList<FileObject *> archives;
    QList<FileObject *> others;
    for (FileObject *entry : installList)
        (hasArchiveName(*entry) ? archives : others).append(entry);
    return archives + others;
}

UpdatePlan planUpdate(const QList<FileObject *> &manifest, bool newtide, bool community, quint32 clusterSize)
{
    UpdatePlan plan;
    QList<FileObject *> archives;
    for (FileObject *entry : manifest) {
        const bool communityFile = isCommunityFile(*entry);
        const bool accepted = communityFile ? community : newtide;
        plan.accepted.append(accepted);
        if (!accepted)
            continue;
        plan.downloadBytes = saturatingAdd(plan.downloadBytes, quint64(qMax<qint64>(0, entry->size())));
        plan.diskSize = saturatingAdd(plan.diskSize, diskSizeOnCard(*entry, clusterSize));
        if (communityFile && hasArchiveName(*entry)) {
            archives.append(entry);
            plan.filesToProcess =
                int(qMin<qint64>(std::numeric_limits<int>::max(), qint64(plan.filesToProcess) + entry->totalFiles()));
        } else {
            plan.installList.append(entry);
            plan.filesToProcess += 1;
        }
    }
    plan.installList.append(archives);
    return plan;
}

bool hasRoomFor(quint64 newFilesSize, quint64 freeBytes, quint64 removedBytes, quint32 clusterSize)
{
    return clusterSize != 0 && saturatingAdd(freeBytes, removedBytes) >= newFilesSize;
}
