#pragma once

#include "environmentimpl.h"

// Desktop Linux: removable volumes from the kernel's mount table and block
// device attributes, disk figures from statvfs. The proc and sys roots are
// constructor arguments so that tests can hand in a fake tree.
class LinuxEnvironmentImpl : public EnvironmentImpl
{
public:
    explicit LinuxEnvironmentImpl(const QString &procRoot = QStringLiteral("/proc"),
                                  const QString &sysRoot = QStringLiteral("/sys"));

    QString updateIniPath() const override;
    QString platformName() const override;
    QString autoUpdaterPath() const override;
    quint32 clusterSize(const QString &path) const override;
    bool freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const override;
    QString fileSystemType(const QString &path) const override;
    bool dropCachedFile(const QString &path) const override;
    QDir applicationDir() const override;
    QDir programDir() const override;
    QDir installerTempDir() const override;
    QDir downloadDir() const override;
    QStringList removableVolumes() const override;
    bool runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const override;
    bool runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const override;
    bool runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath) const override;
    bool readSlgTrackText(const QString &textPath, double &latitude, double &longitude) const override;
    bool readT3dTrackText(const QString &textPath, double &latitude, double &longitude) const override;
    bool sonarTracksSupported() const override;

    // Root of the first removable volume whose root holds "nTag.txt"; empty when none.
    virtual QString findTaggedVolume() const;

    bool mercatorToLatLon(double x, double y, double &longitude, double &latitude) const;

    // The program's folder when its user may write there; otherwise (an
    // installed copy) the per-user data folder, made if missing.
    static QDir applicationFolderFor(const QDir &programDir);

private:
    bool isRemovableBlockDevice(const QString &name) const;
    QString parentDisk(const QString &name) const;
    QString blockAttribute(const QString &name, const QString &attribute) const;

    QString mProcRoot;
    QString mSysRoot;
    QString mUpdateIniPath;
    QString mAutoUpdaterPath;
    QDir mApplicationDir;
    QDir mProgramDir;
    QDir mInstallerTempDir;
    QDir mDownloadDir;
};
