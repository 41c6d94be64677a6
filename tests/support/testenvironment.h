#pragma once

#include "environment_linux.h"

#include <QMap>
#include <QMutex>
#include <QStringList>

#include <functional>

// The desktop platform layer with one test's own folders: the application
// folder (update.ini, the updater, the accepted track formats) and the
// temporary folder lie under root, and the removable volumes are the ones
// the test names. Disk figures are the real ones unless the test replaces
// the free space or the cluster size.
class TestEnvironment : public LinuxEnvironmentImpl
{
public:
    explicit TestEnvironment(const QString &root);

    // Creates one under root and hands it to the Environment facade (which
    // owns it from then on).
    static TestEnvironment *install(const QString &root);

    void setRemovableVolumes(const QStringList &volumes);
    // Every volume reports this many free bytes (total: the same).
    void setFreeBytes(quint64 bytes);
    // Paths below folder report this many instead (a card and a download
    // area on volumes of their own).
    void setFreeBytesBelow(const QString &folder, quint64 bytes);
    void useRealFreeSpace();
    // Every volume reports this allocation unit (0: unknown).
    void setClusterSize(quint32 bytes);
    void useRealClusterSize();
    // Where the product finds its helper programs (the track tools); the
    // test program's own folder unless set.
    void setProgramDir(const QString &folder);
    // Every volume reports this kind of file system (empty: the real one).
    void setFileSystemType(const QString &type);
    // Called with the path of every file whose cached copy is dropped, just
    // before: a card that does not keep what was written is one whose file
    // the hook changes.
    void setCacheDropHook(std::function<void(const QString &path)> hook);

    QString updateIniPath() const override;
    QString autoUpdaterPath() const override;
    QDir applicationDir() const override;
    QDir programDir() const override;
    QDir installerTempDir() const override;
    QDir downloadDir() const override;
    QStringList removableVolumes() const override;
    bool freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const override;
    quint32 clusterSize(const QString &path) const override;
    QString fileSystemType(const QString &path) const override;
    bool dropCachedFile(const QString &path) const override;

private:
    enum class Figure { Real, Fixed };

    QString mRoot;
    // The card update asks from its own thread.
    mutable QMutex mMutex;
    QStringList mVolumes;
    Figure mFreeSpace = Figure::Real;
    quint64 mFreeBytes = 0;
    QMap<QString, quint64> mFreeBytesBelow;
    Figure mClusterSize = Figure::Real;
    quint32 mClusterBytes = 0;
    QString mProgramDir;
    QString mFileSystemType;
    std::function<void(const QString &)> mCacheDropHook;
};
