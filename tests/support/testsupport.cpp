#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

namespace TestSupport {

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList readLines(const QString &path)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream in(&file);
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

QString binDir()
{
    const QString fromEnv = qEnvironmentVariable("VELAMARIS_BIN_DIR");
    return fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin") : fromEnv;
}

QString testBinDir()
{
    const QString fromEnv = qEnvironmentVariable("VELAMARIS_TEST_BIN_DIR");
    return fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnv;
}

QString sourceDir()
{
    return qEnvironmentVariable("VELAMARIS_SOURCE_DIR");
}

bool permissionsAreIgnored()
{
    return ::geteuid() == 0;
}

} // namespace TestSupport
