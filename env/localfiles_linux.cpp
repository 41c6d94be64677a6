#include "localfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace LocalFiles {

bool deviceOf(const QString &path, quint64 &device)
{
    struct stat info;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    device = quint64(info.st_dev);
    return true;
}

bool makePrivateFolder(const QString &path, QString &problem)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made private from the start; an existing one is checked below.
    ::mkdir(name.constData(), 0700);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0) {
        problem = QStringLiteral("cannot be made");
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        problem = QStringLiteral("is a link");
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = QStringLiteral("is not a folder");
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        problem = QStringLiteral("belongs to another user");
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(name.constData(), 0700) != 0) {
        problem = QStringLiteral("cannot be made private");
        return false;
    }
    return true;
}

} // namespace LocalFiles
