#pragma once

#include "filelock.h"

#include <QString>

// Where a card update downloads and unpacks: the download folder and the
// sonar logs' "ugd" beside it, in one root that only this user may enter.
// A run holds the area's lock (a file beside the root, so that cleaning the
// root leaves it alone) from start to end: a second run sharing the area
// would clear the first one's files.
class DownloadArea
{
public:
    enum class Claim { Taken, Busy, Unsafe };

    explicit DownloadArea(const QString &downloadDirPath);

    // Makes the root private (0700, created when missing) and takes the
    // lock. Unsafe when the root is a link or belongs to someone else.
    Claim claim();
    void release();
    // Why the area is unsafe, for the log and the page.
    QString problem() const { return mProblem; }

    QString rootPath() const { return mRootPath; }
    // The real path of relative below the download folder; empty when it
    // would lead elsewhere.
    QString resolve(const QString &relative) const;

private:
    QString mDownloadDirPath;
    QString mRootPath;
    FileLock mLock;
    QString mProblem;
};
