#include "storeclientlock.h"

#include <QStandardPaths>

StoreClientLock::StoreClientLock()
    : StoreClientLock(defaultPath())
{
}

StoreClientLock::StoreClientLock(const QString &path)
    : FileLock(path)
{
}

bool StoreClientLock::isHeld(const QString &path)
{
    return FileLock::isHeld(path);
}

QString StoreClientLock::defaultPath()
{
    // The runtime folder is private to the user and emptied at log-out.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
        + QStringLiteral("/velamaris-tidemart.lock");
}
