#pragma once

#include <QDir>
#include <QString>

// The external track tools (Wakeform, Sondrak, Sondump) and the readers of the
// position texts they leave beside converted tracks. Platform-neutral: the
// tools are started through QProcess with an argument vector.
class TrackTools
{
public:
    static bool runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir);
    static bool runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir);
    static bool runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath);

    static bool readSlgTrackText(const QString &textPath, double &latitude, double &longitude);
    static bool readT3dTrackText(const QString &textPath, double &latitude, double &longitude);

    // Spherical Mercator metres ("Mercator Lowrance") to degrees.
    static bool mercatorToLatLon(double x, double y, double &longitude, double &latitude);
};
