#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

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

bool copyExecutable(const QString &from, const QString &folder, const QString &name)
{
    QDir().mkpath(folder);
    const QString to = QDir(folder).filePath(name);
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    return QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString fakeToolPath()
{
    return testBinDir() + QStringLiteral("/velamaris_fake_tool");
}

ChildResult runChild(const QString &program, const QStringList &arguments, const QProcessEnvironment &additions)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(additions);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ChildResult result;
    if (!process.waitForStarted(-1))
        return result;
    process.closeWriteChannel();
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

void consumeQuitRequest()
{
    // Quietly: the web engine stops its timers for good on aboutToQuit.
    const QSignalBlocker quiet(QCoreApplication::instance());
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, QCoreApplication::instance(), &QCoreApplication::quit);
    stop.start(0);
    QCoreApplication::exec();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace TestSupport
