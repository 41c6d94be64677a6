#include "filelock.h"

#include <QDebug>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

// Open file description locks: they belong to one open() rather than to the
// process, so closing another descriptor of the file does not drop them and
// a second open in the same process sees them too; the kernel drops them when
// the holder ends, however it ends.

namespace {
int openLockFile(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

struct flock wholeFileWriteLock()
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    lock.l_pid = 0;
    return lock;
}
} // namespace

bool FileLock::acquire()
{
    if (isAcquired())
        return true;
    const int fd = openLockFile(mPath);
    if (fd < 0) {
        qDebug() << "*** ERROR: cannot open the lock file" << mPath;
        return false;
    }
    struct flock lock = wholeFileWriteLock();
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        ::close(fd);
        return false;
    }
    mHandle = fd;
    return true;
}

void FileLock::release()
{
    if (!isAcquired())
        return;
    ::close(int(mHandle));
    mHandle = -1;
}

bool FileLock::isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // never created: nobody ever held it
    struct flock lock = wholeFileWriteLock();
    const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}
