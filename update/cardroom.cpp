#include "cardroom.h"

#include "cardspace.h"
#include "installation.h"
#include "updateplan.h"

#include <QDebug>
#include <QDir>

quint64 freeBytesOfCard(const QString &cardRootPath)
{
    quint64 freeBytes = 0;
    if (!cardFreeSpace(cardRootPath, freeBytes)) {
        qDebug() << "*** ERROR: Not able to retrive free Space";
        return 0;
    }
    return freeBytes;
}

quint64 bytesFreedOnCard(const Installation &installation, const QList<FileObject *> &installList,
                         const QString &cardRootPath, quint32 clusterSize)
{
    if (clusterSize == 0)
        return 0;
    return sizeOnCard(installation.filesToRemove(installList, QDir(cardRootPath)), clusterSize);
}

bool arrivedFilesFit(const Installation &installation, const QList<FileObject *> &installList,
                     const QString &downloadDirPath, const QString &cardRootPath, quint32 clusterSize)
{
    const quint64 newFiles = sizeOnCard(installation.filesToInstall(installList, QDir(downloadDirPath)), clusterSize);
    const quint64 freed = bytesFreedOnCard(installation, installList, cardRootPath, clusterSize);
    const quint64 freeBytes = freeBytesOfCard(cardRootPath);
    if (hasRoomFor(newFiles, freeBytes, freed, clusterSize))
        return true;
    qDebug() << "=== Disk Size Of Downloaded Files: " << newFiles;
    qDebug() << "You don't have enought space on chip!!";
    return false;
}
