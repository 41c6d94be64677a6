#include "tracktools.h"

#include "platformenvironment.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTextStream>

#include <cmath>

namespace {

constexpr int kStartTimeoutMs = 30000;

// Runs one tool with two arguments and waits for it without a time limit.
// True only for a normal exit with code 0; a tool that does not start is
// reported by the caller's missing output, not in the log.
bool runTool(const QDir &toolDir, const QString &toolName, const QString &firstArgument,
             const QString &secondArgument, const char *failureMessage)
{
    const QString program = toolDir.absolutePath() + QLatin1Char('/') + executableFileName(toolName);
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, { firstArgument, secondArgument });
    if (!process.waitForStarted(kStartTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    process.waitForFinished(-1);
    const bool normalExit = process.exitStatus() == QProcess::NormalExit;
    const int exitCode = process.exitCode();
    if (!normalExit || exitCode != 0)
        qDebug() << failureMessage << exitCode;
    process.kill();
    return normalExit && exitCode == 0;
}

QString absoluteFolder(const QString &folder)
{
    return QDir(folder).absolutePath();
}

// A field that is not a number counts as 0; "nan" and "inf" are not numbers
// here either.
double numberOrZero(const QString &field)
{
    const double value = field.toDouble();
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

bool TrackTools::runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir)
{
    return runTool(toolDir, QStringLiteral("Wakeform"), trackPath, absoluteFolder(outputDir),
                   "********** Fsh conversion failed - error: ");
}

bool TrackTools::runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir)
{
    return runTool(toolDir, QStringLiteral("Sondrak"), trackPath, absoluteFolder(outputDir),
                   "********** Slg conversion failed - error: ");
}

bool TrackTools::runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath)
{
    return runTool(toolDir, QStringLiteral("Sondump"), inputPath, outputPath,
                   "********** Zip conversion failed - error: ");
}

bool TrackTools::readSlgTrackText(const QString &textPath, double &latitude, double &longitude)
{
    QFile file(textPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "FAIL - Failed reading txt file created for slg track ";
        return false;
    }
    QTextStream in(&file);
    in.readLine(); // the header
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(QLatin1Char(','));
        if (fields.size() != 27 || fields.at(12) == QLatin1String("F"))
            continue;
        const double x = numberOrZero(fields.at(13));
        const double y = numberOrZero(fields.at(14));
        if (mercatorToLatLon(x, y, longitude, latitude))
            return true;
    }
    qDebug() << "FAIL - Failed reading txt file created to get lat/lon or no valid gps points for slg track "
             << textPath;
    return false;
}

bool TrackTools::readT3dTrackText(const QString &textPath, double &latitude, double &longitude)
{
    qDebug() << "reading txt file for track " << textPath;
    QFile file(textPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "FAIL - Failed reading txt file created for t3d track: " << textPath;
        return false;
    }
    const QString firstLine = QTextStream(&file).readLine();
    file.close();
    file.remove();

    const QStringList fields = firstLine.split(QLatin1Char(';'));
    if (fields.size() != 2) {
        qDebug() << "FAIL - Failed reading txt file created to get lat/lon for t3d track: " << textPath;
        return false;
    }
    return mercatorToLatLon(numberOrZero(fields.at(0)), numberOrZero(fields.at(1)), longitude, latitude);
}

bool TrackTools::mercatorToLatLon(double x, double y, double &longitude, double &latitude)
{
    constexpr double radius = 6378388;
    constexpr double yLimit = 15433199;
    constexpr double halfPi = 1.570796327;
    constexpr double latitudeFactor = 1.0067642927;
    constexpr double degreesPerRadian = 57.29577951308;
    constexpr double halfCircumference = 20038300;
    constexpr double circumference = 40076600;

    // Written so that a NaN y is rejected too.
    if (!(std::fabs(y) < yLimit) || !std::isfinite(x)) {
        latitude = 0;
        return false;
    }
    latitude = y == 0 ? 0 : std::atan(std::tan(2 * std::atan(std::exp(y / radius)) - halfPi) * latitudeFactor)
            * degreesPerRadian;

    if (x < -halfCircumference)
        x += circumference;
    else if (x > halfCircumference)
        x -= circumference;
    longitude = qBound(-180.0, x * degreesPerRadian / radius, 180.0);
    return true;
}
