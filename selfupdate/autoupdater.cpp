#include "autoupdater.h"

#include "updatechecker.h"

#include <QProcess>
#include <QFileInfo>
#include <QUrl>

namespace {
// Host of a URL as the server host is written: with its port when it has one.
QString hostOf(const QString &url)
{
    const QUrl parsed(url);
    if (parsed.port() == -1)
        return parsed.host();
    return parsed.host() + QLatin1Char(':') + QString::number(parsed.port());
}
} // namespace

bool verifyUpdateIni(UpdateChecker &checker, const QString &iniPath, const QString &serverHost,
                     const QString &platformName, int buildNumber, bool developerMode)
{
    const bool valid = checker.readUpdateIni(iniPath);
    if (valid && hostOf(checker.updateUrl()) == serverHost && developerMode)
        return true;
    UpdateChecker::writeUpdateIni(iniPath, serverHost, platformName, buildNumber);
    return checker.readUpdateIni(iniPath);
}

bool startAutoUpdater(const QString &path)
{
    QProcess process;
    process.setProgram(path);
    process.setWorkingDirectory(QFileInfo(path).absolutePath());
    return process.startDetached();
}
