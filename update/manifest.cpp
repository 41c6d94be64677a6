#include "manifest.h"

#include "cardpaths.h"
#include "fileobject.h"
#include "installation.h"
#include "serverhosts.h"

#include <QDebug>
#include <QRegularExpression>
#include <QUrl>

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
        auto *entry = new FileObject(withCardSeparators(values[DestinationPath]), values[Size], values[Url],
                                     values[Name], values[Md5]);
        if (present[TotalFiles] && present[UnzippedSize]) {
            entry->setTotalFiles(values[TotalFiles].toUInt());
            entry->setUnzippedSize(values[UnzippedSize].toULongLong());
        }
        list.append(entry);
    }
}

QString unacceptableManifestText(const QByteArray &bytes)
{
    if (bytes.size() > MaxManifestBytes)
        return QStringLiteral("manifest larger than %1 bytes").arg(MaxManifestBytes);
    if (bytes.contains('\0'))
        return QStringLiteral("manifest holding a NUL byte");
    return QString();
}

QString unsafeManifestEntryReason(const FileObject &entry)
{
    if (entry.size() < 0)
        return QStringLiteral("size that is not a number of bytes: ") + entry.url();
    // The file scheme would copy any file of this computer onto the card.
    if (!ServerHosts::isWebUrl(QUrl::fromEncoded(entry.url().toLatin1())))
        return QStringLiteral("address that is not http or https: ") + entry.url();
    if (!isInsideFolder(entry.destinationPath()))
        return QStringLiteral("destination outside the card: ") + entry.destinationPath();
    if (!entry.name().isEmpty() && !isPlainFileName(entry.name()))
        return QStringLiteral("file name with a folder: ") + entry.name();
    // An archive's folder is cleared first: outside "Velamari" it is the
    // user's, and the card root or "Velamari" hold the tag and the index.
    if (Installation::isArchive(entry) && !isBelowChartArea(Installation::archiveFolder(entry)))
        return QStringLiteral("archive over a folder outside the chart area: ") + entry.destinationPath();
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

QByteArray checkableMd5(const FileObject &entry)
{
    static const QRegularExpression md5Pattern(QStringLiteral("^[0-9a-fA-F]{32}$"));
    const QString md5 = entry.md5().trimmed();
    if (md5Pattern.match(md5).hasMatch())
        return md5.toLower().toLatin1();
    if (!md5.isEmpty() && md5 != QLatin1String("0"))
        qDebug() << "*** md5 not usable, file not checked: " << md5 << " for: " << entry.url();
    return QByteArray();
}
