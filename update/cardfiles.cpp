#include "cardfiles.h"

#include "cardpaths.h"
#include "cardspace.h"
#include "chip.h"
#include "fileobject.h"
#include "partialdownloads.h"
#include "sonarfolders.h"

#include <QDebug>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <quazip.h>
#include <quazipfile.h>

#include <unistd.h>

namespace {
// Entry names come from the archive and are not to be trusted.
bool isSafeEntryName(const QString &name)
{
    return !name.isEmpty() && isInsideFolder(name);
}

// The zip library refuses an archive without entries; it is a valid archive
// that holds nothing: an end-of-central-directory record counting 0 entries.
bool isEmptyArchive(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const qint64 tail = qMin<qint64>(size, 22 + 65535);
    if (tail < 22 || !file.seek(size - tail))
        return false;
    const QByteArray bytes = file.read(tail);
    for (int at = bytes.size() - 22; at >= 0; --at) {
        if (bytes.at(at) != 'P' || bytes.mid(at, 4) != QByteArray("PK\x05\x06", 4))
            continue;
        auto word = [&bytes, at](int offset) {
            return quint16(quint8(bytes.at(at + offset)) | (quint8(bytes.at(at + offset + 1)) << 8));
        };
        const bool comment = at + 22 + word(20) == bytes.size();
        return comment && word(8) == 0 && word(10) == 0;
    }
    return false;
}

void removePartialOutput(const QString &outputFolder, const QStringList &written, const QString &current)
{
    for (const QString &relative : written)
        QFile::remove(QDir(outputFolder).filePath(relative));
    if (!current.isEmpty())
        QFile::remove(current);
}
} // namespace

void buildRemovalFilters(bool newtide, bool community, bool includeVl3, QStringList &filters)
{
    filters.clear();
    if (newtide) {
        filters << QStringLiteral("*.txt") << QStringLiteral("*.pdf") << QStringLiteral("*.xml")
                << QStringLiteral("*.vl2") << QStringLiteral("*.psg") << QStringLiteral("*.pp")
                << QStringLiteral("*.bp2") << QStringLiteral("*.ap");
    }
    if (community) {
        filters << QStringLiteral("*.uk") << QStringLiteral("*.ugc");
        if (includeVl3)
            filters << QStringLiteral("*.vl3");
    }
}

bool removeDirectoryTree(const QDir &directory)
{
    const QFileInfo folder(directory.absolutePath());
    if (folder.isSymLink())
        return QFile::remove(folder.absoluteFilePath());
    if (!directory.exists())
        return true;
    // System too: links whose target is gone, sockets and pipes would keep the folder.
    const QFileInfoList entries =
        directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo &entry : entries) {
        const bool removed = (entry.isDir() && !entry.isSymLink())
            ? removeDirectoryTree(QDir(entry.absoluteFilePath()))
            : QFile::remove(entry.absoluteFilePath());
        if (!removed)
            return false;
    }
    return QDir().rmdir(directory.absolutePath());
}

void clearDownloadArea(const QDir &downloadDir)
{
    // Cleaned: "Download/../ugd" leads nowhere once (or while) Download is missing.
    const QDir ugdDir(SonarFolders::workFolder(downloadDir.absolutePath()));
    QDir().mkpath(ugdDir.absolutePath());
    removeAllButPartialDownloads(downloadDir);
    removeDirectoryTree(ugdDir);
}

void removeChartCatalogue(const QString &cardRootPath)
{
    const QFileInfoList files = chartCatalogueFiles(cardRootPath);
    for (const QFileInfo &file : files)
        QFile::remove(file.absoluteFilePath());
}

QFileInfoList chartCatalogueFiles(const QString &cardRootPath)
{
    // A card root is a mount point here, not always a path ending in a separator.
    QString root = cardRootPath;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    QFileInfoList files;
    const QFileInfo catalogue(root + QStringLiteral("chartcat.XML"));
    if (catalogue.exists())
        files.append(catalogue);
    files += QDir(root + Chip::ChartsFolder)
                 .entryInfoList(QStringList() << QStringLiteral("*.xct") << QStringLiteral("*.XCT"),
                                QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    return files;
}

QStringList effectiveFilters(const QList<FileObject *> &installList, const QStringList &filters)
{
    QStringList effective;
    for (const FileObject *entry : installList) {
        const QString pattern = QStringLiteral("*.") + QFileInfo(entry->name()).suffix();
        if (filters.contains(pattern) && !effective.contains(pattern))
            effective.append(pattern);
    }
    return effective;
}

QFileInfoList filesMatching(const QDir &directory, const QStringList &patterns)
{
    if (patterns.isEmpty())
        return QFileInfoList(); // no pattern must never mean "every file"
    return directory.entryInfoList(patterns, QDir::Files | QDir::NoDotAndDotDot);
}

QFileInfoList filesBelow(const QString &folder)
{
    QFileInfoList files;
    if (QFileInfo(folder).isSymLink())
        return files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!it.fileInfo().isSymLink())
            files.append(it.fileInfo());
    }
    return files;
}

bool unzipArchive(const QString &archivePath, const QString &outputFolder, const QString &entryFilter,
                  QStringList *extracted, quint64 maxBytes)
{
    QuaZip zip(archivePath);
    if (!zip.open(QuaZip::mdUnzip)) {
        if (isEmptyArchive(archivePath))
            return true;
        qDebug("zip.open(): %d", zip.getZipError());
        return false;
    }

    // Refuse the whole archive before writing anything when one name would escape.
    const QStringList names = zip.getFileNameList();
    for (const QString &name : names) {
        if (!isSafeEntryName(name)) {
            qDebug() << "*** unsafe entry name in archive" << archivePath << ":" << name;
            zip.close();
            return false;
        }
    }

    QDir output(outputFolder);
    QuaZipFile file(&zip);
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    // The sizes the archive declares may lie: the bytes written are counted too.
    quint64 written = 0;
    QStringList writtenFiles;
    auto tooLarge = [&](quint64 bytes, const QString &current) {
        if (bytes <= maxBytes)
            return false;
        qDebug() << "*** archive larger than it may be (" << maxBytes << "bytes ):" << archivePath;
        removePartialOutput(outputFolder, writtenFiles, current);
        return true;
    };
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info)) {
            qDebug("getCurrentFileInfo(): %d\n", zip.getZipError());
            return false;
        }
        if (!entryFilter.isEmpty() && !info.name.contains(entryFilter))
            continue;
        if (tooLarge(written + info.uncompressedSize, QString()))
            return false;
        const QString relative = QString(info.name).replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (relative.endsWith(QLatin1Char('/'))) {
            if (!output.mkpath(relative)) {
                qDebug() << "*** cannot create folder" << output.filePath(relative);
                return false;
            }
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            qDebug("file.open(): %d", file.getZipError());
            return false;
        }
        const QString outputPath = QStringLiteral("%1/%2").arg(outputFolder, relative);
        if (file.getZipError() != UNZ_OK) {
            qDebug("file.getFileName(): %d", file.getZipError());
            return false;
        }
        output.mkpath(QFileInfo(relative).path());
        QFile out(outputPath);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qDebug() << "*** cannot write" << outputPath;
            file.close();
            return false;
        }
        bool complete = true;
        for (;;) {
            const qint64 got = file.read(buffer.data(), buffer.size());
            if (got <= 0)
                break;
            written += quint64(got);
            if (tooLarge(written, outputPath)) {
                out.close();
                file.close();
                return false;
            }
            if (out.write(buffer.constData(), got) != got) {
                complete = false;
                break;
            }
        }
        out.close();
        if (!complete) {
            qDebug() << "*** cannot write" << outputPath;
            file.close();
            return false;
        }
        if (file.getZipError() != UNZ_OK) {
            qDebug("file.getFileName(): %d", file.getZipError());
            return false;
        }
        if (!file.atEnd()) {
            qDebug("read all but not EOF");
            return false;
        }
        file.close();
        if (file.getZipError() != UNZ_OK) {
            qDebug("file.close(): %d", file.getZipError());
            return false;
        }
        writtenFiles.append(relative);
        if (extracted)
            extracted->append(relative);
    }
    // The walk also ends when the central directory cannot be read; that is
    // a damaged archive, not the end of its entries.
    if (zip.getZipError() != UNZ_OK) {
        qDebug("getCurrentFileInfo(): %d\n", zip.getZipError());
        zip.close();
        return false;
    }
    zip.close();
    if (zip.getZipError() != UNZ_OK) {
        qDebug("zip.close(): %d", zip.getZipError());
        return false;
    }
    return true;
}

bool copyFileToCard(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    bool ok = true;
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            ok = false;
            break;
        }
    }
    ok = ok && out.flush() && ::fsync(out.handle()) == 0;
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        out.remove();
        return false;
    }
    return true;
}

quint64 sizeOfFilesToRemove(const QDir &directory, const QStringList &filters, quint32 clusterSize)
{
    if (clusterSize == 0 || !directory.exists())
        return 0;
    return sizeOnCard(filesMatching(directory, filters), clusterSize);
}
