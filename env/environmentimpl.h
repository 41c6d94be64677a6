#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// Platform services of the store client and the card watcher: folders,
// volumes, disk geometry and the external track tools. One implementation
// per platform; everything else reaches it through Environment.
class EnvironmentImpl
{
public:
    EnvironmentImpl();
    virtual ~EnvironmentImpl();

    virtual QString updateIniPath() const = 0;
    virtual QString platformName() const = 0;
    virtual QString autoUpdaterPath() const = 0;
    // Bytes per allocation unit of the volume holding path; 0 when unknown.
    virtual quint32 clusterSize(const QString &path) const = 0;
    // Free bytes available to the caller and total size; outputs untouched on failure.
    virtual bool freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const = 0;
    // Kind of file system of the volume holding path ("vfat", "exfat",
    // "ext4", ...); empty when unknown.
    virtual QString fileSystemType(const QString &path) const = 0;
    // Pushes what was written to the file on to the device and makes the
    // system forget its cached copy, so that the next read comes from the
    // device itself. False when either step fails.
    virtual bool dropCachedFile(const QString &path) const = 0;
    // Folder of the program's own files (log, "serverIp.txt", "update.ini", history).
    virtual QDir applicationDir() const = 0;
    // Folder of the running executable, where the tools it starts lie.
    virtual QDir programDir() const = 0;
    virtual QDir installerTempDir() const = 0;
    virtual QDir downloadDir() const = 0;
    // Root paths (with a trailing separator) of removable, non-floppy volumes.
    virtual QStringList removableVolumes() const = 0;
    virtual bool runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const = 0;
    virtual bool runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const = 0;
    virtual bool runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath) const = 0;
    virtual bool readSlgTrackText(const QString &textPath, double &latitude, double &longitude) const = 0;
    virtual bool readT3dTrackText(const QString &textPath, double &latitude, double &longitude) const = 0;
    virtual bool sonarTracksSupported() const = 0;

private:
    QString mUnused;
};
