#include "sonarfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SonarFolders {
QString workFolder(const QString &downloadDirPath)
{
    // Cleaned: a path through a folder that does not exist yet ("Download/..")
    // resolves to nothing.
    return QDir::cleanPath(QDir(downloadDirPath).absoluteFilePath(QStringLiteral("../ugd")));
}

QString stkTracks(const QString &workFolder) { return workFolder + QStringLiteral("/stk-tracks"); }
QString stkTracksTmp(const QString &workFolder) { return workFolder + QStringLiteral("/stk-tracks-tmp"); }
QString conversionTmp(const QString &workFolder) { return workFolder + QStringLiteral("/temp-tracks-conversion"); }

QString positionText(const QString &uploadPath)
{
    const QFileInfo file(uploadPath);
    if (file.fileName().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        return file.absoluteFilePath().chopped(4) + QStringLiteral(".txt");
    return file.absoluteDir().filePath(file.fileName().section(QLatin1Char('.'), 0, 0) + QStringLiteral(".txt"));
}

bool removeTree(const QString &path)
{
    const QFileInfo folder(path);
    if (folder.isSymLink())
        return QFile::remove(path);
    if (!folder.exists())
        return true;
    return QDir(path).removeRecursively();
}

bool renew(const QString &path)
{
    return removeTree(path) && QDir().mkpath(path);
}
} // namespace SonarFolders
