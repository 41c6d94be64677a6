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

// The host of a URL written as server hosts are: with its port when it has one.
QString hostAndPort(const QUrl &url);
} // namespace ServerHosts
