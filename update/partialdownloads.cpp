#include "partialdownloads.h"

#include "partialdownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QFileInfoList entriesOf(const QDir &folder)
{
    // System too: links whose target is gone, sockets and pipes would keep the folder.
    return folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

bool removeAllButPartialDownloads(const QDir &folder)
{
    const QFileInfo self(folder.absolutePath());
    if (!self.exists() && !self.isSymLink())
        return true;
    if (self.isSymLink())
        return QFile::remove(self.absoluteFilePath());
    bool ok = true;
    for (const QFileInfo &entry : entriesOf(folder)) {
        if (entry.isDir() && !entry.isSymLink())
            ok = removeAllButPartialDownloads(QDir(entry.absoluteFilePath())) && ok;
        else if (!PartialDownload::isKeptPart(entry))
            ok = QFile::remove(entry.absoluteFilePath()) && ok;
    }
    if (entriesOf(folder).isEmpty())
        ok = QDir().rmdir(folder.absolutePath()) && ok;
    return ok;
}

void removePartialDownloadsExcept(const QDir &folder, const QSet<QString> &keep)
{
    for (const QFileInfo &entry : entriesOf(folder)) {
        if (entry.isDir() && !entry.isSymLink()) {
            removePartialDownloadsExcept(QDir(entry.absoluteFilePath()), keep);
            continue;
        }
        const QString path = entry.absoluteFilePath();
        if (!path.endsWith(QLatin1String(".tmp")) || keep.contains(path))
            continue;
        if (PartialDownload::isKeptPart(entry)) {
            PartialDownload::forget(path);
            QFile::remove(path);
        }
    }
}
