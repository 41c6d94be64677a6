#include "testenvironment.h"

#include "environment.h"

#include <QMutexLocker>

TestEnvironment::TestEnvironment(const QString &root)
    : mRoot(QDir(root).absolutePath())
{
    QDir().mkpath(mRoot + QStringLiteral("/app"));
}

TestEnvironment *TestEnvironment::install(const QString &root)
{
    auto *environment = new TestEnvironment(root);
    Environment::installImplementation(environment);
    return environment;
}

void TestEnvironment::setRemovableVolumes(const QStringList &volumes)
{
    QMutexLocker lock(&mMutex);
    mVolumes = volumes;
}

void TestEnvironment::setFreeBytes(quint64 bytes)
{
    QMutexLocker lock(&mMutex);
    mFreeSpace = Figure::Fixed;
    mFreeBytes = bytes;
    mFreeBytesBelow.clear();
}

void TestEnvironment::setFreeBytesBelow(const QString &folder, quint64 bytes)
{
    QMutexLocker lock(&mMutex);
    mFreeBytesBelow.insert(QDir(folder).absolutePath(), bytes);
}

void TestEnvironment::useRealFreeSpace()
{
    QMutexLocker lock(&mMutex);
    mFreeSpace = Figure::Real;
    mFreeBytesBelow.clear();
}

void TestEnvironment::setClusterSize(quint32 bytes)
{
    QMutexLocker lock(&mMutex);
    mClusterSize = Figure::Fixed;
    mClusterBytes = bytes;
}

void TestEnvironment::useRealClusterSize()
{
    QMutexLocker lock(&mMutex);
    mClusterSize = Figure::Real;
}

QString TestEnvironment::updateIniPath() const
{
    return applicationDir().filePath(QStringLiteral("update.ini"));
}

QString TestEnvironment::autoUpdaterPath() const
{
    return applicationDir().filePath(QStringLiteral("autoupdate-linux"));
}

QDir TestEnvironment::applicationDir() const
{
    return QDir(mRoot + QStringLiteral("/app"));
}

void TestEnvironment::setProgramDir(const QString &folder)
{
    QMutexLocker lock(&mMutex);
    mProgramDir = folder;
}

QDir TestEnvironment::programDir() const
{
    QMutexLocker lock(&mMutex);
    return mProgramDir.isEmpty() ? LinuxEnvironmentImpl::programDir() : QDir(mProgramDir);
}

QDir TestEnvironment::installerTempDir() const
{
    return QDir(mRoot + QStringLiteral("/tmp/VelamarisBKTemp"));
}

QDir TestEnvironment::downloadDir() const
{
    return QDir(installerTempDir().absoluteFilePath(QStringLiteral("Download")));
}

QStringList TestEnvironment::removableVolumes() const
{
    QMutexLocker lock(&mMutex);
    return mVolumes;
}

bool TestEnvironment::freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const
{
    QMutexLocker lock(&mMutex);
    const QString absolute = QDir(path).absolutePath();
    for (auto it = mFreeBytesBelow.cbegin(); it != mFreeBytesBelow.cend(); ++it) {
        if (absolute == it.key() || absolute.startsWith(it.key() + QLatin1Char('/'))) {
            freeBytes = totalBytes = it.value();
            return true;
        }
    }
    if (mFreeSpace == Figure::Real)
        return LinuxEnvironmentImpl::freeSpace(path, freeBytes, totalBytes);
    freeBytes = mFreeBytes;
    totalBytes = mFreeBytes;
    return true;
}

quint32 TestEnvironment::clusterSize(const QString &path) const
{
    QMutexLocker lock(&mMutex);
    if (mClusterSize == Figure::Real)
        return LinuxEnvironmentImpl::clusterSize(path);
    return mClusterBytes;
}

void TestEnvironment::setFileSystemType(const QString &type)
{
    QMutexLocker lock(&mMutex);
    mFileSystemType = type;
}

void TestEnvironment::setCacheDropHook(std::function<void(const QString &)> hook)
{
    QMutexLocker lock(&mMutex);
    mCacheDropHook = std::move(hook);
}

QString TestEnvironment::fileSystemType(const QString &path) const
{
    QMutexLocker lock(&mMutex);
    if (mFileSystemType.isEmpty())
        return LinuxEnvironmentImpl::fileSystemType(path);
    return mFileSystemType;
}

bool TestEnvironment::dropCachedFile(const QString &path) const
{
    std::function<void(const QString &)> hook;
    {
        QMutexLocker lock(&mMutex);
        hook = mCacheDropHook;
    }
    if (hook)
        hook(path);
    return LinuxEnvironmentImpl::dropCachedFile(path);
}
