#include "chip.h"
#include "coreresources.h"
#include "environment.h"
#include "logging.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "serverhosts.h"
#include "startupconfig.h"
#include "storeclientinstance.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QDateTime>
#include <QIcon>
#include <QNetworkProxyFactory>
#include <QSettings>
#include <QSslSocket>

namespace {
// The card the command line names: the removable volume that carries a
// handed-over tag, or else the card folder given (empty: the usual search).
QString cardPathFor(const CommandLine &commandLine)
{
    if (commandLine.cardTag.isEmpty())
        return commandLine.cardPath;
    Chip card;
    const QString volume = card.openTaggedVolume(Environment::instance()->removableVolumes(), commandLine.cardTag);
    return volume.isEmpty() ? commandLine.cardPath : volume;
}
} // namespace

int main(int argc, char *argv[])
{
    const QDateTime startTime = QDateTime::currentDateTime();

    QApplication app(argc, argv);
    initCoreResources();
    app.setWindowIcon(QIcon(QStringLiteral(":/Images/air-icon.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setOrganizationDomain(ServerHosts::organizationDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));
    // Before the log is opened: a later start must leave the running client's log alone.
    StoreClientInstance instance;
    if (instance.start(QCoreApplication::arguments().mid(1)) == StoreClientInstance::Role::HandedOver)
        return 0;
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
    const QString cardPath = cardPathFor(commandLine);
    QSettings().setValue(QStringLiteral("ApplicationPath"), applicationPath);

    const QString serverHost = readServerHost(environment->applicationDir());
    StartupBanner banner;
    banner.startTime = startTime;
    banner.platformName = environment->platformName();
    banner.applicationPath = applicationPath;
    banner.tempPath = environment->installerTempDir().absolutePath();
    banner.cardPath = cardPath;
    banner.sslSupported = QSslSocket::supportsSsl();
    banner.serverHost = serverHost;
    writeStartupBanner(banner);
    setDeveloperMode(developerModeFor(serverHost, commandLine.inspect));
    if (!commandLine.cardTag.isEmpty())
        qDebug() << "- Card tag handed over: " << commandLine.cardTag;

    int result = 0;
    {
        MainWindow window(serverHost, cardPath);
        QObject::connect(&instance, &StoreClientInstance::argumentsHandedOver, &window,
                         [&window](const QStringList &arguments) {
                             qDebug() << "- Arguments of a later start: " << arguments;
                             window.takeHandedOverCard(cardPathFor(parseCommandLine(QStringList { QString() } + arguments)));
                         });
        window.stateResetSlot();
        window.show();
        result = app.exec();
        closeLogFile();
    }
    return result;
}
