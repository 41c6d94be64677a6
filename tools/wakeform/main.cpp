// Wakeform stand-in: converts an .fsh or .dat sonar log into .t3d parts with
// their position texts (see wakeformlog.h for the formats).
//
//   Wakeform LOG OUTPUT_FOLDER
//   Wakeform --make-log LOG TRACKS LAT,LON     writes a sample log
//
// Exit status: 0 converted, 2 wrong command line, 3 log missing, unreadable
// or empty, 4 not such a log, 5 output not written.
#include "wakeformlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

enum ExitStatus { Converted = 0, Usage = 2, Unreadable = 3, NotALog = 4, WriteFailed = 5 };

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int makeLog(const QStringList &arguments)
{
    WakeformLog::Kind kind;
    const QStringList position = arguments.value(3).split(QLatin1Char(','));
    bool countOk = false;
    bool latOk = false;
    bool lonOk = false;
    const int tracks = arguments.value(2).toInt(&countOk);
    const double latitude = position.value(0).toDouble(&latOk);
    const double longitude = position.value(1).toDouble(&lonOk);
    if (arguments.size() != 4 || !WakeformLog::kindOf(arguments.at(1), &kind) || !countOk || tracks < 1 || !latOk
        || !lonOk || position.size() != 2) {
        std::fprintf(stderr, "usage: Wakeform --make-log LOG.fsh|LOG.dat TRACKS LAT,LON\n");
        return Usage;
    }
    QDir().mkpath(QFileInfo(arguments.at(1)).absolutePath());
    return writeFile(arguments.at(1), WakeformLog::sample(kind, tracks, latitude, longitude)) ? Converted : WriteFailed;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    if (arguments.value(0) == QLatin1String("--make-log"))
        return makeLog(arguments);
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: Wakeform LOG OUTPUT_FOLDER\n");
        return Usage;
    }
    const QString logPath = arguments.at(0);
    const QDir output(arguments.at(1));

    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(logPath));
        return Unreadable;
    }
    const QByteArray bytes = log.readAll();
    QList<WakeformLog::Part> parts;
    switch (WakeformLog::convert(QFileInfo(logPath).fileName(), bytes, &parts)) {
    case WakeformLog::Outcome::Converted:
        break;
    case WakeformLog::Outcome::Empty:
        std::fprintf(stderr, "empty log: %s\n", qPrintable(logPath));
        return Unreadable;
    case WakeformLog::Outcome::NotALog:
        std::fprintf(stderr, "not an .fsh or .dat log: %s\n", qPrintable(logPath));
        return NotALog;
    }
    if (!output.exists()) {
        std::fprintf(stderr, "no output folder %s\n", qPrintable(output.path()));
        return WriteFailed;
    }
    for (const WakeformLog::Part &part : qAsConst(parts)) {
        if (!writeFile(output.filePath(part.t3dName), part.t3d)
            || (!part.textName.isEmpty() && !writeFile(output.filePath(part.textName), part.text))) {
            std::fprintf(stderr, "cannot write into %s\n", qPrintable(output.path()));
            return WriteFailed;
        }
        std::printf("%s\n", qPrintable(part.t3dName));
    }
    return Converted;
}
