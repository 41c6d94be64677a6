#include "storeclientlock.h"

#include <QStandardPaths>

StoreClientLock::StoreClientLock()
    : StoreClientLock(defaultPath())
{
}

StoreClientLock::StoreClientLock(const QString &path)
    : mPath(path)
{
}

StoreClientLock::~StoreClientLock()
{
    release();
}

bool StoreClientLock::isAcquired() const
{
    return mHandle != -1;
}

QString StoreClientLock::defaultPath()
{
    // The runtime folder is private to the user and emptied at log-out.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
        + QStringLiteral("/velamaris-tidemart.lock");
}
