#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class EnvironmentImpl;

// Process-wide facade over the platform layer. Created on first use (by the
// main thread during start-up) and never destroyed.
class Environment
{
public:
    static Environment *instance();

    // Replaces the platform implementation; for tests, before any worker
    // thread uses the facade. Takes ownership.
    static void installImplementation(EnvironmentImpl *impl);

    QString serverAddress() const;
    void setServerAddress(const QString &host);

    static QString versionString();
    static int buildNumber();

    QString updateIniPath() const;
    QString platformName() const;
    QString autoUpdaterPath() const;
    quint32 clusterSize(const QString &path) const;
    bool freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const;
    QString fileSystemType(const QString &path) const;
    bool dropCachedFile(const QString &path) const;
    QDir applicationDir() const;
    QDir programDir() const;
    QDir installerTempDir() const;
    QDir downloadDir() const;
    QStringList removableVolumes() const;
    bool runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const;
    bool runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const;
    bool runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath) const;
    bool readSlgTrackText(const QString &textPath, double &latitude, double &longitude) const;
    bool readT3dTrackText(const QString &textPath, double &latitude, double &longitude) const;
    bool sonarTracksSupported() const;

    EnvironmentImpl *implementation() const { return mImpl; }

private:
    explicit Environment(EnvironmentImpl *impl);

    EnvironmentImpl *mImpl;
    QString mServerAddress;
};
