#include "coreresources.h"
#include "environment.h"
#include "logging.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "serverhosts.h"
#include "startupconfig.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QDateTime>
#include <QIcon>
#include <QNetworkProxyFactory>
#include <QSettings>
#include <QSslSocket>

int main(int argc, char *argv[])
{
    const QDateTime startTime = QDateTime::currentDateTime();

    QApplication app(argc, argv);
    initCoreResources();
    app.setWindowIcon(QIcon(QStringLiteral(":/Images/air-icon.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setOrganizationDomain(ServerHosts::organizationDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));
    if (qEnvironmentVariableIsSet("TIDEMART_NONINTERACTIVE"))
        MessageBoxes::answerAutomatically();
    installTerminationHandler();
    // Every network manager of the client goes through the platform's proxy settings.
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    Environment *environment = Environment::instance();
    const QString applicationPath = environment->applicationDir().absolutePath();
    if (!openLogFile(environment->applicationDir().filePath(QStringLiteral("log")))) {
        MessageBoxRequest request;
        request.icon = QMessageBox::Warning;
        request.title = QStringLiteral("Warning");
        request.text = QStringLiteral("Unable to write the log file");
        MessageBoxes::show(request);
    }
    qInstallMessageHandler(logMessageHandler);

    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    QSettings().setValue(QStringLiteral("ApplicationPath"), applicationPath);

    const QString serverHost = readServerHost(environment->applicationDir());
    StartupBanner banner;
    banner.startTime = startTime;
    banner.platformName = environment->platformName();
    banner.applicationPath = applicationPath;
    banner.tempPath = environment->installerTempDir().absolutePath();
    banner.cardPath = commandLine.cardPath;
    banner.sslSupported = QSslSocket::supportsSsl();
    banner.serverHost = serverHost;
    writeStartupBanner(banner);
    setDeveloperMode(developerModeFor(serverHost, commandLine.inspect));

    int result = 0;
    {
        MainWindow window(serverHost, commandLine.cardPath);
        window.stateResetSlot();
        window.show();
        result = app.exec();
        closeLogFile();
    }
    return result;
}
