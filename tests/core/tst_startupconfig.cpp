#include "serverhosts.h"
#include "startupconfig.h"
#include "testsupport.h"
#include "errorcodes.h"
#include "titles.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class StartupConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void serverHost_data();
    void serverHost();
    void developerMode_data();
    void developerMode();
    void editionLabel_data();
    void editionLabel();
    void title_data();
    void title();
    void errorNames_data();
    void errorNames();
    void pageOfTheServer_data();
    void pageOfTheServer();
    void cardReadBack_data();
    void cardReadBack();
};

void StartupConfigTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("cardPath");
    QTest::addColumn<bool>("inspect");
    QTest::addColumn<QString>("cardTag");

    QTest::newRow("none") << QStringList { "Tidemart" } << QString() << false << QString();
    QTest::newRow("inspect only") << QStringList { "Tidemart", "-inspect" } << QString() << true << QString();
    QTest::newRow("card") << QStringList { "Tidemart", "/media/card" } << "/media/card" << false << QString();
    QTest::newRow("last card wins") << QStringList { "Tidemart", "/a", "-inspect", "/b" } << "/b" << true << QString();
    QTest::newRow("inspect is case-sensitive") << QStringList { "Tidemart", "-Inspect" } << "-Inspect" << false
                                               << QString();
    QTest::newRow("program name is never the card") << QStringList { "/opt/Tidemart" } << QString() << false
                                                    << QString();
    // The store URL is a tag, never a card folder.
    QTest::newRow("store URL") << QStringList { "Tidemart", "velscheme://tidemart?ntag=VEL0001" } << QString()
                               << false << "VEL0001";
    QTest::newRow("store URL with an encoded tag")
        << QStringList { "Tidemart", "velscheme://tidemart?ntag=Sea%20Wolf%20%26%20Co%20%237%2B%C3%BC" } << QString()
        << false << QString::fromUtf8("Sea Wolf & Co #7+ü");
    QTest::newRow("store URL of an older watcher, tag unencoded")
        << QStringList { "Tidemart", "velscheme://tidemart?ntag=Sea Wolf 7" } << QString() << false << "Sea Wolf 7";
    QTest::newRow("store URL without a tag") << QStringList { "Tidemart", "velscheme://tidemart" } << QString()
                                             << false << QString();
}

void StartupConfigTest::commandLine()
{
    QFETCH(QStringList, arguments);
    const CommandLine parsed = parseCommandLine(arguments);
    QTEST(parsed.cardPath, "cardPath");
    QTEST(parsed.inspect, "inspect");
    QTEST(parsed.cardTag, "cardTag");
}

void StartupConfigTest::serverHost_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("host");

    const QString mirror = ServerHosts::productionMirror();
    QTest::newRow("no file: mirror") << false << QByteArray() << mirror;
    QTest::newRow("plain host") << true << QByteArray("127.0.0.1:8080") << "127.0.0.1:8080";
    QTest::newRow("trailing line feed") << true << QByteArray("beta.host\n") << "beta.host";
    QTest::newRow("carriage return too") << true << QByteArray("beta.host\r\n") << "beta.host";
    QTest::newRow("later lines ignored") << true << QByteArray("first\nsecond\n") << "first";
    QTest::newRow("blanks kept") << true << QByteArray(" spaced \n") << " spaced ";
    QTest::newRow("empty file: empty host") << true << QByteArray() << QString();
    QTest::newRow("production store becomes mirror")
        << true << (ServerHosts::productionStore() + "\n").toUtf8() << mirror;
    QTest::newRow("only an exact production name is replaced")
        << true << (ServerHosts::productionStore() + ".x").toUtf8() << ServerHosts::productionStore() + ".x";
}

void StartupConfigTest::serverHost()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (fileExists)
        QVERIFY(TestSupport::writeFile(dir.filePath("serverIp.txt"), content));
    QTEST(readServerHost(QDir(dir.path())), "host");
}

void StartupConfigTest::developerMode_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("inspect");
    QTest::addColumn<bool>("developer");

    const QString mirror = ServerHosts::productionMirror();
    QTest::newRow("mirror without -inspect") << mirror << false << false;
    QTest::newRow("mirror with -inspect") << mirror << true << true;
    QTest::newRow("host containing the mirror") << "x." + mirror << false << false;
    QTest::newRow("other server") << "127.0.0.1" << false << true;
    QTest::newRow("beta server") << ServerHosts::beta() << false << true;
    QTest::newRow("mirror in other case") << mirror.toUpper() << false << true;
}

void StartupConfigTest::developerMode()
{
    QFETCH(QString, host);
    QFETCH(bool, inspect);
    QTEST(developerModeFor(host, inspect), "developer");
}

void StartupConfigTest::editionLabel_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("label");
    QTest::newRow("mirror") << ServerHosts::productionMirror() << "Velamaris";
    QTest::newRow("development") << ServerHosts::development() << "Velamaris DEVELOPER";
    QTest::newRow("beta") << ServerHosts::beta() << "Velamaris BETA";
    QTest::newRow("production store itself") << ServerHosts::productionStore() << "Unknow Server";
    QTest::newRow("empty") << QString() << "Unknow Server";
    QTest::newRow("local") << "127.0.0.1:8080" << "Unknow Server";
}

void StartupConfigTest::editionLabel()
{
    QFETCH(QString, host);
    QTEST(serverEditionLabel(host), "label");
}

void StartupConfigTest::title_data()
{
    QTest::addColumn<int>("percentage");
    QTest::addColumn<QString>("title");
    QTest::newRow("none") << -1 << "Velamaris - V1.5.1";
    QTest::newRow("0") << 0 << "Velamaris - V1.5.1";
    QTest::newRow("1") << 1 << "Velamaris - V1.5.1 - (1)";
    QTest::newRow("50") << 50 << "Velamaris - V1.5.1 - (50)";
    QTest::newRow("99") << 99 << "Velamaris - V1.5.1 - (99)";
    QTest::newRow("100") << 100 << "Velamaris - V1.5.1";
}

void StartupConfigTest::title()
{
    QFETCH(int, percentage);
    QTEST(applicationTitle(QStringLiteral("Velamaris"), percentage), "title");
}

void StartupConfigTest::errorNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    // The names themselves are the page's vocabulary; the rows test the lookup's edges.
    QTest::newRow("0") << 0 << "Error unknown";
    QTest::newRow("last network code") << 399 << "ProtocolFailure";
    QTest::newRow("401 (server answered 500)") << 401 << "InternalServerError";
    QTest::newRow("first own code") << 900 << "Timeout connection elapsed";
    QTest::newRow("906, a gap") << 906 << "Error unknown";
    QTest::newRow("907, after the gap") << 907 << "ErrorWritingDownloadedFile";
    QTest::newRow("918") << 918 << "ErrorCardReadBackMismatch";
    QTest::newRow("919") << 919 << "ErrorFileTooLargeForCard";
    QTest::newRow("negative") << -1 << "Error unknown";
}

void StartupConfigTest::errorNames()
{
    QFETCH(int, code);
    QTEST(errorCodeName(code), "name");
}

void StartupConfigTest::pageOfTheServer_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("same");
    // The address is written by hand in serverIp.txt; the page's URL comes normalised from the web engine.
    QTest::newRow("as written") << "http://127.0.0.1:8080/home" << "127.0.0.1:8080" << true;
    QTest::newRow("host in capitals") << "http://localhost:8080/home" << "LOCALHOST:8080" << true;
    QTest::newRow("mixed letter case") << "http://store.example/home" << "Store.Example" << true;
    QTest::newRow("IPv6 in brackets") << "http://[::1]:8080/home" << "[::1]:8080" << true;
    QTest::newRow("IPv6 written longer") << "http://[::1]:8080/home" << "[0:0::1]:8080" << true;
    QTest::newRow("international name") << "http://xn--bcher-kva.example/home" << QString::fromUtf8("bücher.example")
                                        << true;
    QTest::newRow("port with a leading zero") << "http://127.0.0.1/home" << "127.0.0.1:080" << true;
    QTest::newRow("default port written out") << "http://store.example/home" << "store.example:80" << true;
    QTest::newRow("blank around the address") << "http://store.example/home" << " store.example\t" << true;
    QTest::newRow("secure page, no port") << "https://store.example/pay" << "store.example" << true;
    QTest::newRow("other port") << "http://127.0.0.1:8081/home" << "127.0.0.1:8080" << false;
    QTest::newRow("explicit port, page without") << "http://store.example/home" << "store.example:8080" << false;
    QTest::newRow("page on another port, address without") << "http://store.example:8080/" << "store.example" << false;
    QTest::newRow("other host") << "http://evil.example/home" << "store.example" << false;
    QTest::newRow("host as a sub-domain") << "http://store.example.evil.example/" << "store.example" << false;
    QTest::newRow("user name that looks like the host") << "http://store.example@evil.example/" << "store.example"
                                                        << false;
    QTest::newRow("local file") << "file:///store.example/home" << "store.example" << false;
    QTest::newRow("empty page") << "about:blank" << "store.example" << false;
    QTest::newRow("no server") << "http://store.example/" << "" << false;
}

void StartupConfigTest::pageOfTheServer()
{
    QFETCH(QString, page);
    QFETCH(QString, server);
    QTEST(ServerHosts::isServerUrl(QUrl(page), server), "same");
}

void StartupConfigTest::cardReadBack_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("on");
    QTest::newRow("not set") << QVariant() << true;
    QTest::newRow("false") << QVariant("false") << false;
    QTest::newRow("true") << QVariant("true") << true;
}

void StartupConfigTest::cardReadBack()
{
    QFETCH(QVariant, value);
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    QSettings settings;
    if (value.isValid())
        settings.setValue("CardReadBack", value);
    else
        settings.remove("CardReadBack");
    settings.sync();
    QTEST(cardReadBackSetting(), "on");
    settings.remove("CardReadBack");
}

QTEST_GUILESS_MAIN(StartupConfigTest)
#include "tst_startupconfig.moc"
