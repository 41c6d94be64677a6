#pragma once

#include <QFileInfoList>
#include <QList>
#include <QString>

class FileObject;

// What the card's file system can hold. A FAT card (the usual plotter card)
// takes no file of 4 GiB or more; a file past that fails in the middle of
// its copy, after the old charts were removed. The update's files are held
// against the limit before the download and again, with the sizes that
// arrived, before anything on the card changes.
class CardFormat
{
public:
    // Largest file a FAT volume holds: 4 GiB - 1 byte.
    static constexpr quint64 FatLargestFile = 0xffffffffULL;

    explicit CardFormat(const QString &cardRootPath);

    QString fileSystem() const { return mFileSystem; }
    // 0 when the file system sets no limit worth checking.
    quint64 largestFile() const { return mLargestFile; }

    // The first entry whose announced size, or for an archive of one file
    // its announced unzipped size, the card cannot hold; empty when none.
    QString firstTooLarge(const QList<FileObject *> &installList) const;
    // The first of the files that arrived that the card cannot hold.
    QString firstTooLarge(const QFileInfoList &files) const;

private:
    bool tooLarge(quint64 size, const QString &name) const;

    QString mFileSystem;
    quint64 mLargestFile = 0;
};
