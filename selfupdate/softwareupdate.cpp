#include "softwareupdate.h"

#include "autoupdater.h"
#include "environment.h"
#include "serverhosts.h"
#include "startupconfig.h"
#include "updatedialog.h"

#include <QDebug>
#include <QTimer>

namespace {
const qint64 UpdateCheckInterval = 14400; // seconds: four hours
} // namespace

SoftwareUpdate::SoftwareUpdate(const QString &serverHost, QObject *parent)
    : QObject(parent)
    , mServerHost(serverHost)
    , mLastCheck(QDateTime::fromString(QStringLiteral("01/01/1970 00:00:00"), QStringLiteral("dd/MM/yyyy hh:mm:ss")))
{
}

bool SoftwareUpdate::verifyUpdateIni()
{
    Environment *environment = Environment::instance();
    if (::verifyUpdateIni(mChecker, environment->updateIniPath(), mServerHost, environment->platformName(),
                          Environment::buildNumber(), developerMode()))
        return true;
    emit updateImpossible(QStringLiteral("Problems restoring Autoupdate file"),
                          QStringLiteral("Please, try to reinstall the application. The Tidemart will be closed!"));
    return false;
}

void SoftwareUpdate::checkWhenDue()
{
    const QDateTime now = mClock();
    if (mLastCheck.secsTo(now) > UpdateCheckInterval) {
        mLastCheck = now;
        mChecker.checkForUpdate();
    }
}

void SoftwareUpdate::respond(bool value, const QString &downloadUrl)
{
    qDebug() << "------------------------------------------------------------";
    qDebug() << "---";
    qDebug() << "--";
    qDebug() << "-   Software Update Response";
    qDebug() << "-   available: " << value;
    qDebug() << "-         url: " << downloadUrl;
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << "------------------------------------------------------------";
    qDebug("%s", "");
    if (!value)
        return;

    UpdateDialog dialog;
    dialog.setVersionText(mChecker.latestVersion());
    if (dialog.exec() == QDialog::Accepted)
        launchAutoUpdater();
    else
        emit updateDeclined();
}

void SoftwareUpdate::launchAutoUpdater()
{
    const QString path = Environment::instance()->autoUpdaterPath();
    qDebug() << "- Auto update executable path: " << path;
    if (startAutoUpdater(path)) {
        QTimer::singleShot(500, this, &SoftwareUpdate::updaterTookOver);
        return;
    }
    emit updateImpossible(QStringLiteral("Error Velamaris Tidemart"),
                          QStringLiteral("We can't install the update automatically. The Tidemart will be closed. "
                                         "Please uninstall manually the application and reinstall it again from ")
                              + ServerHosts::companySite());
}
