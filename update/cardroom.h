#pragma once

#include <QList>
#include <QString>

class FileObject;
class Installation;

// The space rule's figures as the removal and the copies will really have
// them, rather than as the manifest announces them.

// Free bytes of the card's volume; 0 (logged) when the platform cannot tell.
quint64 freeBytesOfCard(const QString &cardRootPath);

// What clearing the way frees on the card, in whole clusters: only the
// files it will really delete.
quint64 bytesFreedOnCard(const Installation &installation, const QList<FileObject *> &installList,
                         const QString &cardRootPath, quint32 clusterSize);

// The rule once more with the files that arrived (after unpacking), before
// anything on the card is removed; logs when they do not fit.
bool arrivedFilesFit(const Installation &installation, const QList<FileObject *> &installList,
                     const QString &downloadDirPath, const QString &cardRootPath, quint32 clusterSize);
