#include "autoupdater.h"

#include "serverhosts.h"
#include "updatechecker.h"

#include <QProcess>
#include <QFileInfo>
#include <QUrl>

bool verifyUpdateIni(UpdateChecker &checker, const QString &iniPath, const QString &serverHost,
                     const QString &platformName, int buildNumber, bool developerMode)
{
    const bool valid = checker.readUpdateIni(iniPath);
    if (valid && ServerHosts::isServerUrl(QUrl(checker.updateUrl()), serverHost) && developerMode)
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
