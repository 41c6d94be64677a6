#pragma once

#include <QString>

class QUrl;

// The four store hosts by role (build configuration).
namespace ServerHosts {
QString productionStore();  // never used directly: replaced by the mirror
QString productionMirror(); // the default server
QString development();
QString beta();
QString organizationDomain();
QString companySite();
// The track-upload service and the public time-zone service.
QString upload();
QString timeZone();

// Whether url is a page of the server written as serverAddress ("host" or
// "host:port", as in serverIp.txt). Hosts compare as URLs do (letter case,
// international names, IPv6 brackets), ports by number; an address without
// a port stands for the default port of the page's scheme.
bool isServerUrl(const QUrl &url, const QString &serverAddress);

// An http or https URL with a host: the only kind the client fetches for a
// card update or the installer. Anything else (file, ftp, data) could read
// the computer's own files.
bool isWebUrl(const QUrl &url);
} // namespace ServerHosts
