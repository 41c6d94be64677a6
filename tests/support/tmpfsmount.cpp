#include "tmpfsmount.h"

#include <QDir>
#include <QProcess>

namespace {
bool runMount(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("mount"), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}
} // namespace

TmpfsMount::TmpfsMount(const QString &mountPoint, qint64 sizeBytes)
    : mMountPoint(mountPoint)
{
    QDir().mkpath(mountPoint);
    mMounted = runMount({ "-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(sizeBytes), "tmpfs", mountPoint });
}

TmpfsMount::~TmpfsMount()
{
    unmount();
}

bool TmpfsMount::unmount()
{
    if (!mMounted)
        return true;
    QProcess process;
    process.start(QStringLiteral("umount"), { mMountPoint });
    mMounted = !(process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                 && process.exitCode() == 0);
    return !mMounted;
}

bool TmpfsMount::remountReadOnly()
{
    return mMounted && runMount({ "-o", "remount,ro", mMountPoint });
}
