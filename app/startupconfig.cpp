#include "startupconfig.h"

#include "environment.h"
#include "serverhosts.h"

#include <QDebug>
#include <QFile>
#include <QSslSocket>

namespace {
bool gDeveloperMode = false;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-inspect"))
            result.inspect = true;
        else
            result.cardPath = arguments.at(i);
    }
    return result;
}

QString readServerHost(const QDir &appDir)
{
    QString host = ServerHosts::productionMirror();
    QFile file(appDir.filePath(QStringLiteral("serverIp.txt")));
    if (file.exists()) {
        host.clear();
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            host = QString::fromLocal8Bit(file.readLine());
            host.remove(QLatin1Char('\n'));
            host.remove(QLatin1Char('\r'));
            file.close();
        }
    }
    if (host == ServerHosts::productionStore())
        host = ServerHosts::productionMirror();
    return host;
}

bool developerModeFor(const QString &serverHost, bool inspect)
{
    if (serverHost.contains(ServerHosts::productionMirror()))
        return inspect;
    return true;
}

bool developerMode() { return gDeveloperMode; }
void setDeveloperMode(bool enabled) { gDeveloperMode = enabled; }

void writeStartupBanner(const QDateTime &startTime, const QString &applicationPath, const QString &tempPath,
                        const QString &cardPath, const QString &serverHost)
{
    const char *rule = "------------------------------------------------------------";
    qDebug() << rule;
    qDebug() << "---";
    qDebug() << "--";
    qDebug() << "-    Tidemart Version: " << Environment::versionString();
    qDebug() << "-    Operating system: " << Environment::instance()->platformName();
    qDebug() << "-         Starting at: " << startTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    qDebug() << "-        Boundle path: " << applicationPath;
    qDebug() << "-         Temp folder: " << tempPath;
    qDebug() << "-           Card path: " << cardPath;
    qDebug() << "-       SSL supported: " << QSslSocket::supportsSsl();
    qDebug() << "-      Server address: " << serverHost;
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << rule;
    qDebug("%s", "");
}
