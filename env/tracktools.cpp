#include "tracktools.h"

// The track tools arrive with the converter; until then every operation
// reports failure.

bool TrackTools::runWakeform(const QDir &, const QString &, const QString &) { return false; }
bool TrackTools::runSondrak(const QDir &, const QString &, const QString &) { return false; }
bool TrackTools::runSondump(const QDir &, const QString &, const QString &) { return false; }
bool TrackTools::readSlgTrackText(const QString &, double &, double &) { return false; }
bool TrackTools::readT3dTrackText(const QString &, double &, double &) { return false; }
bool TrackTools::mercatorToLatLon(double, double, double &, double &) { return false; }
