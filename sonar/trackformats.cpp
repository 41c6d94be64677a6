#include "trackformats.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>

void readAcceptedTrackFormats(const QString &path, QStringList &patterns)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        qDebug() << "Accepted Track formats file found";
        QDomDocument document(QStringLiteral("Accepted_Track_Formats"));
        if (document.setContent(&file)) {
            for (QDomNode node = document.documentElement().firstChild(); !node.isNull(); node = node.nextSibling()) {
                const QDomElement element = node.toElement();
                if (element.isNull() || element.tagName() != QLatin1String("accepted_trackFormat"))
                    continue;
                const QString text = element.text();
                if (text.size() <= 2)
                    continue;
                const QString pattern = QStringLiteral("*.") + text.right(3).toLower();
                if (!patterns.contains(pattern))
                    patterns.append(pattern);
            }
        }
        file.close();
    }
    if (patterns.isEmpty()) {
        qDebug() << "Using default accepted track formats !";
        patterns << QStringLiteral("*.slg") << QStringLiteral("*.dat") << QStringLiteral("*.fsh");
    }
}

namespace {
void collect(const QDir &folder, const QStringList &patterns, QStringList &found)
{
    const QFileInfoList files = folder.entryInfoList(patterns, QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    QFileInfoList entries = files;
    entries += folder.entryInfoList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    std::sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.fileName().compare(b.fileName(), Qt::CaseInsensitive) < 0;
    });
    for (const QFileInfo &entry : qAsConst(entries)) {
        if (entry.isDir())
            collect(QDir(entry.absoluteFilePath()), patterns, found);
        else
            found.append(entry.absoluteFilePath());
    }
}
} // namespace

QStringList findTrackFiles(const QString &root, const QStringList &patterns)
{
    QStringList found;
    if (!root.isEmpty() && QFileInfo(root).isDir())
        collect(QDir(root), patterns, found);
    return found;
}
