// What the Linux environment knows about a card's file system and its
// cache: the kind of volume (for the limits of its format) and a way past
// the page cache to what the device really holds.

#include "environment_linux.h"

#include <QFile>

#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {
// f_type values of statfs (linux/magic.h); only the kinds a chart card or a
// computer's disk is likely to carry.
struct FileSystemMagic
{
    unsigned long magic;
    const char *name;
};
const FileSystemMagic KnownFileSystems[] = {
    { 0x4d44, "vfat" }, // MSDOS_SUPER_MAGIC: FAT12/16/32, the usual plotter card
    { 0x2011bab0, "exfat" },
    { 0x5346544e, "ntfs" },
    { 0x7366746e, "ntfs3" },
    { 0xef53, "ext4" },
    { 0x58465342, "xfs" },
    { 0x9123683e, "btrfs" },
    { 0x01021994, "tmpfs" },
    { 0x65735546, "fuse" },
    { 0xf2f52010, "f2fs" },
    { 0x794c7630, "overlay" },
};
} // namespace

QString LinuxEnvironmentImpl::fileSystemType(const QString &path) const
{
    struct statfs info;
    if (path.isEmpty() || ::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    const unsigned long magic = (unsigned long)(info.f_type) & 0xffffffffUL;
    for (const FileSystemMagic &known : KnownFileSystems) {
        if (known.magic == magic)
            return QLatin1String(known.name);
    }
    return QStringLiteral("0x%1").arg(magic, 0, 16);
}

bool LinuxEnvironmentImpl::dropCachedFile(const QString &path) const
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Only clean pages can be dropped: flushed first, then forgotten.
    bool ok = ::fsync(fd) == 0;
    ok = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 && ok;
    ::close(fd);
    return ok;
}
