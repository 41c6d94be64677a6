#pragma once

#include <QString>

// The four store hosts by role (build configuration).
namespace ServerHosts {
QString productionStore();  // never used directly: replaced by the mirror
QString productionMirror(); // the default server
QString development();
QString beta();
QString organizationDomain();
QString companySite();
} // namespace ServerHosts
