#pragma once

#include <QDir>
#include <QString>
#include <QUrl>

// Where the sonar tracks go: the track-upload service
// ("http://" host ":8080/WebInputInterface/VelWii") and the time-zone
// service ("http://" host "/timezone"). The hosts are build settings; a file
// "trackServers.txt" beside the program names others, for tests and demos:
// its first line the upload service's "host[:port]", its second line the
// time-zone service's (the first line serves both when there is no second).
struct TrackServices
{
    QUrl upload;
    QUrl timeZone;

    static TrackServices built();
    // The build's services, or those the folder's "trackServers.txt" names.
    static TrackServices forApplicationDir(const QDir &applicationDir);
    // Addresses are "host" or "host:port"; without a port the upload service
    // is on 8080 and the time-zone service on the default port.
    static TrackServices at(const QString &uploadAddress, const QString &timeZoneAddress);
};

// How long a request of the sonar step may go without any progress before
// it counts as a network failure.
struct SonarTimings
{
    int lookupInactivityMs = 30000;
    int uploadInactivityMs = 60000;
};
