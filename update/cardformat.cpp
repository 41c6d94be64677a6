#include "cardformat.h"

#include "environment.h"
#include "fileobject.h"
#include "installation.h"

#include <QDebug>

CardFormat::CardFormat(const QString &cardRootPath)
    : mFileSystem(Environment::instance()->fileSystemType(cardRootPath))
{
    if (mFileSystem == QLatin1String("vfat") || mFileSystem == QLatin1String("msdos"))
        mLargestFile = FatLargestFile;
}

QString CardFormat::firstTooLarge(const QList<FileObject *> &installList) const
{
    for (const FileObject *entry : installList) {
        quint64 size = entry->size() > 0 ? quint64(entry->size()) : 0;
        // The contents of an archive are known only as a whole, which is the
        // size of its one file when it holds one.
        if (Installation::isArchive(*entry))
            size = entry->totalFiles() == 1 ? entry->unzippedSize() : 0;
        if (tooLarge(size, Installation::targetPath(*entry)))
            return Installation::targetPath(*entry);
    }
    return QString();
}

QString CardFormat::firstTooLarge(const QFileInfoList &files) const
{
    for (const QFileInfo &file : files) {
        if (tooLarge(quint64(file.size()), file.absoluteFilePath()))
            return file.absoluteFilePath();
    }
    return QString();
}

bool CardFormat::tooLarge(quint64 size, const QString &name) const
{
    if (mLargestFile == 0 || size <= mLargestFile)
        return false;
    qDebug() << "*** Too large for the card's file system (" << mFileSystem << ", at most" << mLargestFile
             << "bytes per file):" << name << size << "bytes";
    return true;
}
