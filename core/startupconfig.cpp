#include "startupconfig.h"

#include "serverhosts.h"
#include "version.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace {
bool gDeveloperMode = false;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-inspect")) {
            result.inspect = true;
        } else if (argument.startsWith(QLatin1String("velscheme:"), Qt::CaseInsensitive)) {
            // Older watchers put the tag in unencoded; tolerant parsing keeps
            // such tags of letters, digits and blanks whole.
            result.cardTag = QUrlQuery(QUrl(argument)).queryItemValue(QStringLiteral("ntag"), QUrl::FullyDecoded);
        } else {
            result.cardPath = argument;
        }
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

void writeStartupBanner(const StartupBanner &banner)
{
    const char *rule = "------------------------------------------------------------";
    qDebug() << rule;
    qDebug() << "---";
    qDebug() << "--";
    qDebug() << "-    Tidemart Version: " << QString::fromLatin1(Version::text);
    qDebug() << "-    Operating system: " << banner.platformName;
    qDebug() << "-         Starting at: " << banner.startTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    qDebug() << "-        Boundle path: " << banner.applicationPath;
    qDebug() << "-         Temp folder: " << banner.tempPath;
    qDebug() << "-           Card path: " << banner.cardPath;
    qDebug() << "-       SSL supported: " << banner.sslSupported;
    qDebug() << "-      Server address: " << banner.serverHost;
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << rule;
    qDebug("%s", "");
}

bool cardReadBackSetting()
{
    return QSettings().value(QStringLiteral("CardReadBack"), true).toBool();
}
