#include "environment.h"

#include "environmentimpl.h"
#include "platformenvironment.h"
#include "version.h"

namespace {
Environment *gInstance = nullptr;
}

Environment::Environment(EnvironmentImpl *impl)
    : mImpl(impl)
{
}

Environment *Environment::instance()
{
    if (!gInstance)
        gInstance = new Environment(createPlatformEnvironment());
    return gInstance;
}

void Environment::installImplementation(EnvironmentImpl *impl)
{
    if (!gInstance) {
        gInstance = new Environment(impl);
        return;
    }
    delete gInstance->mImpl;
    gInstance->mImpl = impl;
}

QString Environment::serverAddress() const { return mServerAddress; }
void Environment::setServerAddress(const QString &host) { mServerAddress = host; }

QString Environment::versionString() { return QString::fromLatin1(Version::text); }
int Environment::buildNumber() { return Version::number; }

QString Environment::updateIniPath() const { return mImpl->updateIniPath(); }
QString Environment::platformName() const { return mImpl->platformName(); }
QString Environment::autoUpdaterPath() const { return mImpl->autoUpdaterPath(); }
quint32 Environment::clusterSize(const QString &path) const { return mImpl->clusterSize(path); }

bool Environment::freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const
{
    return mImpl->freeSpace(path, freeBytes, totalBytes);
}

QString Environment::fileSystemType(const QString &path) const { return mImpl->fileSystemType(path); }
bool Environment::dropCachedFile(const QString &path) const { return mImpl->dropCachedFile(path); }
QDir Environment::applicationDir() const { return mImpl->applicationDir(); }
QDir Environment::programDir() const { return mImpl->programDir(); }
QDir Environment::installerTempDir() const { return mImpl->installerTempDir(); }
QDir Environment::downloadDir() const { return mImpl->downloadDir(); }
QStringList Environment::removableVolumes() const { return mImpl->removableVolumes(); }

bool Environment::runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const
{
    return mImpl->runWakeform(toolDir, trackPath, outputDir);
}

bool Environment::runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const
{
    return mImpl->runSondrak(toolDir, trackPath, outputDir);
}

bool Environment::runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath) const
{
    return mImpl->runSondump(toolDir, inputPath, outputPath);
}

bool Environment::readSlgTrackText(const QString &textPath, double &latitude, double &longitude) const
{
    return mImpl->readSlgTrackText(textPath, latitude, longitude);
}

bool Environment::readT3dTrackText(const QString &textPath, double &latitude, double &longitude) const
{
    return mImpl->readT3dTrackText(textPath, latitude, longitude);
}

bool Environment::sonarTracksSupported() const { return mImpl->sonarTracksSupported(); }
