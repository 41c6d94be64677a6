#include "manifest.h"

#include "cardpaths.h"
#include "fileobject.h"
#include "installation.h"

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

QString unsafeManifestEntryReason(const FileObject &entry)
{
    if (!isInsideFolder(entry.destinationPath()))
        return QStringLiteral("destination outside the card: ") + entry.destinationPath();
    if (!entry.name().isEmpty() && !isPlainFileName(entry.name()))
        return QStringLiteral("file name with a folder: ") + entry.name();
    // Clearing one of these folders for an archive would wipe the card's tag, index or every chart.
    if (Installation::isArchive(entry) && isCardStructureFolder(entry.destinationPath()))
        return QStringLiteral("archive over a card folder: ") + entry.destinationPath();
    return QString();
}

QString unsafeManifestReason(const QList<FileObject *> &list)
{
    for (const FileObject *entry : list) {
        const QString reason = unsafeManifestEntryReason(*entry);
        if (!reason.isEmpty())
            return reason;
    }
    return QString();
}
