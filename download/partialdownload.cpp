#include "partialdownload.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace PartialDownload {

namespace {

const QString kTemporarySuffix = QStringLiteral(".tmp");
const QString kSourceSuffix = QStringLiteral(".source");

QByteArray sourceText(const Source &source)
{
    return source.url.toEncoded() + '\n' + QByteArray::number(source.size) + '\n' + source.md5.toLower() + '\n';
}

bool isPlainFile(const QFileInfo &file)
{
    return file.isFile() && !file.isSymLink();
}

} // namespace

QString sourcePath(const QString &temporaryPath)
{
    return temporaryPath + kSourceSuffix;
}

bool record(const QString &temporaryPath, const Source &source)
{
    QSaveFile file(sourcePath(temporaryPath));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(sourceText(source));
    return file.commit();
}

qint64 resumableSize(const QString &temporaryPath, const Source &source)
{
    const QFileInfo bytes(temporaryPath);
    const QFileInfo sourceInfo(sourcePath(temporaryPath));
    if (!isPlainFile(bytes) || !isPlainFile(sourceInfo) || bytes.size() <= 0)
        return 0;
    // A complete (or longer) file is no partial one: its rest would be empty.
    if (source.size > 0 && bytes.size() >= source.size)
        return 0;
    QFile file(sourceInfo.filePath());
    if (!file.open(QIODevice::ReadOnly) || file.read(4096) != sourceText(source))
        return 0;
    return bytes.size();
}

void forget(const QString &temporaryPath)
{
    QFile::remove(sourcePath(temporaryPath));
}

bool isKeptPart(const QFileInfo &file)
{
    if (!isPlainFile(file))
        return false;
    const QString path = file.filePath();
    if (path.endsWith(kTemporarySuffix))
        return isPlainFile(QFileInfo(sourcePath(path)));
    if (path.endsWith(kTemporarySuffix + kSourceSuffix))
        return isPlainFile(QFileInfo(path.left(path.size() - kSourceSuffix.size())));
    return false;
}

} // namespace PartialDownload
