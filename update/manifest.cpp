#include "manifest.h"

#include "fileobject.h"

#include <QDir>
#include <QRegularExpression>

namespace {
struct Key
{
    const char *text;
    int field;
};

enum Field { Url, DestinationPath, UnzippedSize, Size, Name, TotalFiles, Md5, FieldCount };

// Order matters: the first key found in a field claims it, and
// "unzipped_size:" contains "size:".
const Key Keys[] = {
    { "url:", Url },
    { "destination_path:", DestinationPath },
    { "unzipped_size:", UnzippedSize },
    { "size:", Size },
    { "name:", Name },
    { "total_files:", TotalFiles },
    { "md5:", Md5 },
};

// Card folders that an archive must never be unpacked over: clearing one of
// them would wipe the card's tag, index or every chart.
bool isProtectedCardFolder(const QString &path)
{
    // A FAT card ignores trailing dots and spaces: "Velamari. " is "Velamari".
    // ("." and empty components vanish the same way.)
    QStringList parts;
    const QStringList given = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    for (QString part : given) {
        while (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char(' ')))
            part.chop(1);
        if (!part.isEmpty())
            parts.append(part);
    }
    const QString folder = parts.join(QLatin1Char('/'));
    return folder.isEmpty() || folder.compare(QLatin1String("Velamari"), Qt::CaseInsensitive) == 0
        || folder.compare(QLatin1String("Velamari/Charts"), Qt::CaseInsensitive) == 0;
}
} // namespace

void parseManifest(const QByteArray &bytes, QList<FileObject *> &list)
{
    QString text = QString::fromLatin1(bytes);
    text.remove(QLatin1Char('"'));
    text.remove(QStringLiteral("[{"));
    text.remove(QStringLiteral("}]"));

    const QStringList records = text.split(QStringLiteral("},{"));
    for (const QString &record : records) {
        QString values[FieldCount];
        bool present[FieldCount] = {};
        const QStringList fields = record.split(QLatin1Char(','));
        for (const QString &field : fields) {
            for (const Key &key : Keys) {
                const QString keyText = QLatin1String(key.text);
                if (field.contains(keyText)) {
                    values[key.field] = QString(field).remove(keyText);
                    present[key.field] = true;
                    break;
                }
            }
        }
        if (!present[DestinationPath] || !present[Url] || !present[Size])
            continue;
        auto *entry = new FileObject(values[DestinationPath], values[Size], values[Url], values[Name], values[Md5]);
        if (present[TotalFiles] && present[UnzippedSize]) {
            entry->setTotalFiles(values[TotalFiles].toUInt());
            entry->setUnzippedSize(values[UnzippedSize].toUInt());
        }
        list.append(entry);
    }
}

bool isContainedRelativePath(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return false;
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(path).hasMatch())
        return false;
    const QStringList parts = path.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    return !parts.contains(QStringLiteral(".."));
}

QString unsafeManifestEntryReason(const FileObject &entry)
{
    if (!isContainedRelativePath(entry.destinationPath()))
        return QStringLiteral("destination outside the card: ") + entry.destinationPath();
    if (entry.name().contains(QLatin1Char('/')) || entry.name().contains(QLatin1Char('\\'))
        || entry.name() == QLatin1String(".."))
        return QStringLiteral("file name with a folder: ") + entry.name();
    const bool folderDestination = !entry.destinationPath().contains(entry.name());
    if (folderDestination && entry.name().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)
        && isProtectedCardFolder(entry.destinationPath()))
        return QStringLiteral("archive over a card folder: ") + entry.destinationPath();
    return QString();
}
