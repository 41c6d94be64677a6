#pragma once

#include <QList>
#include <QVector>

class FileObject;

// What a card update takes from its manifest and what that costs on the
// card: worked out from the manifest, the switches and the card's figures
// alone, before anything is downloaded.
struct UpdatePlan
{
    // Plain files in manifest order, then archives in manifest order.
    QList<FileObject *> installList;
    // Per manifest entry, in manifest order: whether the run takes it.
    QVector<bool> accepted;
    quint64 downloadBytes = 0;
    // Size of the new files on the card, in whole clusters.
    quint64 diskSize = 0;
    // Files that will be copied onto the card (archives count their members).
    int filesToProcess = 0;
};

// Community content by its name: ".uk", ".ugc", ".zip" or ".vl3", any letter case.
bool isCommunityFile(const FileObject &entry);
// A ".zip" name, in any letter case: an archive, wherever its destination
// points (a destination naming the archive itself means the folder holding it).
bool hasArchiveName(const FileObject &entry);

// The order to download the install list in: archives first, so that each
// can be unpacked while the plain files still download; otherwise as listed.
QList<FileObject *> downloadOrder(const QList<FileObject *> &installList);

// Newtide takes every entry that is not community content, community the rest.
UpdatePlan planUpdate(const QList<FileObject *> &manifest, bool newtide, bool community, quint32 clusterSize);

// Size on the card of what the entry brings. An archive's members are
// counted at their average size; one without members counts as its
// download. Nothing can be sized without a cluster size (0).
quint64 diskSizeOnCard(const FileObject &entry, quint32 clusterSize);

// The space rule: the card holds the new files when its free space and what
// the update removes add up to at least their size. A card whose cluster
// size is unknown never does.
bool hasRoomFor(quint64 newFilesSize, quint64 freeBytes, quint64 removedBytes, quint32 clusterSize);
