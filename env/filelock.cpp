#include "filelock.h"

FileLock::FileLock(const QString &path)
    : mPath(path)
{
}

FileLock::~FileLock()
{
    release();
}

bool FileLock::isAcquired() const
{
    return mHandle != -1;
}
