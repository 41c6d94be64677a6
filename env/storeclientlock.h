#pragma once

#include "filelock.h"

#include <QString>

// A per-user lock that the store client holds while its window exists. The
// "Running" key alone outlives a store client that crashed or was killed;
// the lock does not (the system releases it with the process), so the card
// watcher can tell a live store client from a stale key.
class StoreClientLock : public FileLock
{
public:
    // The lock in the per-user runtime folder.
    StoreClientLock();
    explicit StoreClientLock(const QString &path);

    // Whether a holder other than this object has the lock at path.
    static bool isHeld(const QString &path = defaultPath());
    static QString defaultPath();
};
