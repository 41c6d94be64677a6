#include "browsercontrol.h"
#include "localhttpserver.h"
#include "mainwindow.h"
#include "softwareupdate.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "velamarisclientbridge.h"
#include "webpage.h"
#include "windowfixture.h"

#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kWait = 60000;
const QString kVersionPath = QStringLiteral("/devices/qt_tidemart_pc_version");
const QString kCriticalLine = QStringLiteral("*** Critical Error, Application will be closed ***");

// A port on 127.0.0.1 where nobody listens.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Leaves in the temporary folder what a run leaves there: a download, a
// hidden file and a link whose target is gone.
bool fillTemporaryFolder(const QString &folder)
{
    return TestSupport::writeFile(folder + "/Download/part.bin", "partial")
        && TestSupport::writeFile(folder + "/.session", "x")
        && QFile::link(folder + "/gone", folder + "/Download/dangling");
}

} // namespace

// The main window in this process against the simulated store on a local
// server: the home-page probe, what every page request carries, where the
// page gets "qtBridge", the payment provider's return form and the rhythm
// of the update check.
class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void probeFailureEndsTheProgram_data();
    void probeFailureEndsTheProgram();
    void programEndsWhenStoreIsUnreachable();
    void everyPageRequestIdentifiesTheClient();
    void bridgeOnlyOnStorePages();
    void bridgeHowEverTheServerIsWritten_data();
    void bridgeHowEverTheServerIsWritten();
    void paymentReturnFormLoadsTheReturnUrl();
    void updateCheckRhythm();

private:
    bool storeHomeReady();

    WindowFixture mFixture;
};

void MainWindowTest::initTestCase()
{
    QVERIFY(mFixture.installEnvironment());
}

void MainWindowTest::init()
{
    QVERIFY(mFixture.startServer());
    QVERIFY(mFixture.startStore());
}

void MainWindowTest::cleanup()
{
    mFixture.cleanup();
}

bool MainWindowTest::storeHomeReady()
{
    return mFixture.pageShows(mFixture.url("/home"))
        && mFixture.evaluate("document.getElementsByClassName('chartset').length").toInt() > 0;
}

void MainWindowTest::probeFailureEndsTheProgram_data()
{
    QTest::addColumn<int>("status"); // 0: nobody listens
    QTest::newRow("nobody listens") << 0;
    QTest::newRow("home page not found") << 404;
    QTest::newRow("server error") << 500;
}

void MainWindowTest::probeFailureEndsTheProgram()
{
    QFETCH(int, status);
    QString host = QStringLiteral("127.0.0.1:%1").arg(closedPort());
    if (status != 0) {
        mFixture.server().addRoute(HttpRoute::status("/home", status));
        host = mFixture.storeHost();
    }
    QSettings().setValue("Running", 7);
    const QString temporary = mFixture.environment()->installerTempDir().absolutePath();
    QVERIFY(fillTemporaryFolder(temporary));

    MainWindow *window = mFixture.openWindow(QString(), host);
    QSignalSpy leaving(window, &MainWindow::leaving);
    QCOMPARE(QSettings().value("Running").toUInt(), 1u);
    QVERIFY(!QFileInfo::exists(temporary)); // cleaned at start
    QVERIFY(fillTemporaryFolder(temporary));
    QTRY_COMPARE_WITH_TIMEOUT(leaving.count(), 1, kWait);

    QCOMPARE(mFixture.boxes().size(), 1);
    const MessageBoxRequest box = mFixture.boxes().first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("Problem connecting to Velamaris Tidemart"));
    QCOMPARE(box.informativeText, QStringLiteral("We are un able to connect with the Velamaris Tidemart. Check "
                                                 "internet connection and restart the application."));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Close));
    QCOMPARE(box.defaultButton, QMessageBox::Close);
    QVERIFY(window->isLeaving());
    QVERIFY(!window->bridge());
    QVERIFY(!window->page());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
    QCOMPARE(mFixture.log().count(kCriticalLine), 1);
    QVERIFY(!QFileInfo::exists(temporary)); // cleaned on the way out
}

void MainWindowTest::programEndsWhenStoreIsUnreachable()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/Tidemart", dir.path(), "Tidemart"));
    QVERIFY(TestSupport::writeFile(dir.filePath("serverIp.txt"),
                                   QStringLiteral("127.0.0.1:%1\n").arg(closedPort()).toLatin1()));

    // Ends by itself: the box is answered and the event loop quits.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TIDEMART_NONINTERACTIVE", "1");
    program.setProcessEnvironment(environment);
    program.start(dir.filePath("Tidemart"), QStringList());
    QVERIFY(program.waitForFinished(kWait));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardError().contains("Problem connecting to Velamaris Tidemart"));
    QVERIFY(TestSupport::readLines(dir.filePath("log")).contains(kCriticalLine));
    QCOMPARE(QSettings("Velamaris", "Velamaris Tidemart").value("Running").toUInt(), 0u);
}

void MainWindowTest::everyPageRequestIdentifiesTheClient()
{
    MainWindow *window = mFixture.openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    window->view()->load(mFixture.url("/help"));
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(mFixture.url("/help")), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(mFixture.server().requestCount(kVersionPath), 1, kWait);

    const QList<RecordedRequest> requests = mFixture.server().requests();
    // The probe comes first, from a manager of its own.
    const HttpRequest probe = requests.first().request;
    QCOMPARE(probe.path(), QStringLiteral("/home"));
    QCOMPARE(probe.header("QtTidemart"), QByteArray("VelBrowser"));
    QVERIFY(!probe.hasHeader("tdmt-client"));

    QSet<QString> pagePaths;
    for (const RecordedRequest &record : requests.mid(1)) {
        const HttpRequest &request = record.request;
        if (request.path() == kVersionPath) {
            QVERIFY(!request.hasHeader("tdmt-client")); // the checker sets no headers
            continue;
        }
        pagePaths.insert(request.path());
        QVERIFY2(!request.hasHeader("QtTidemart"), qPrintable(request.path()));
        QCOMPARE(request.header("User-Agent"), QByteArray("Mozilla/5.0 QtTidemart"));
        QCOMPARE(request.header("tdmt-client"), QByteArray("tidemart"));
        QCOMPARE(request.header("tdmt-version"), QByteArray("151"));
        QCOMPARE(request.header("tdmt-os"), QByteArray("pc"));
    }
    for (const char *path : { "/home", "/static/store.js", "/static/store.css", "/catalogue.json", "/help" })
        QVERIFY2(pagePaths.contains(path), path);
}

void MainWindowTest::bridgeOnlyOnStorePages()
{
    LocalHttpServer other;
    QVERIFY(other.start());
    other.server().addRoute(
        HttpRoute::bytes("/page.html", "<html><body>elsewhere</body></html>", "text/html; charset=utf-8"));

    MainWindow *window = mFixture.openWindow(mFixture.environmentPath("no/such/card"));
    QVERIFY(window->cardPath().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QVERIFY(window->bridge()->cardPath().isEmpty());
    QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("object"));
    QCOMPARE(mFixture.evaluate("qtBridge.getApplicationNameAndVersion()").toString(),
             QStringLiteral("{applicationVersion: 1.5.1applicationName: Velamaris_Berth_Kit}"));

    window->view()->load(mFixture.url("/help"));
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(mFixture.url("/help")), kWait);
    QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("object"));

    // An empty update request makes the window load the page again.
    mFixture.evaluate("window.__before = 1; qtBridge.enqueueFiles('');");
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(mFixture.url("/help"))
                                 && mFixture.evaluate("typeof __before").toString() == "undefined",
                             kWait);
    QCOMPARE(mFixture.server().requestCount("/help"), 2);
    QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("object"));

    // Same address, other port: another site, which must not reach the card.
    // The log says so, once however often it is shown.
    const QString otherSiteLine = "- No qtBridge for a page of another site:  \"" + other.url("").toString() + "\"";
    for (int shown = 0; shown < 2; ++shown) {
        window->view()->load(other.url("/page.html"));
        QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(other.url("/page.html")), kWait);
        QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("undefined"));
    }
    QCOMPARE(mFixture.log().count(otherSiteLine), 1);

    window->view()->load(mFixture.url("/home"));
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("object"));
}

void MainWindowTest::bridgeHowEverTheServerIsWritten_data()
{
    QTest::addColumn<QString>("address"); // %1: the store's port
    QTest::addColumn<QString>("host");    // as the page's URL has it
    QTest::newRow("port with a leading zero") << "127.0.0.1:0%1" << "127.0.0.1";
    QTest::newRow("host name in capitals") << "LOCALHOST:%1" << "localhost";
}

void MainWindowTest::bridgeHowEverTheServerIsWritten()
{
    QFETCH(QString, address);
    QFETCH(QString, host);
    mFixture.openWindow(QString(), address.arg(mFixture.server().port()));
    const QUrl home(QStringLiteral("http://%1:%2/home").arg(host).arg(mFixture.server().port()));
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(home), kWait);
    QCOMPARE(mFixture.evaluate("typeof qtBridge").toString(), QStringLiteral("object"));
    QVERIFY(mFixture.log().linesStartingWith({ "- No qtBridge" }).isEmpty());
}

void MainWindowTest::paymentReturnFormLoadsTheReturnUrl()
{
    // Stands in for the provider: its address carries the provider's host
    // name, so a form that is wrongly followed lands here and not outside.
    LocalHttpServer provider;
    QVERIFY(provider.start());
    provider.server().addRoute(HttpRoute::prefix("/", [](const HttpRequest &) {
        return HttpResponse::bytes("<html><body>provider</body></html>", "text/html");
    }));
    const QString returnForm = provider.url("/www.paypal.example/cgi-bin/merchantpaymentweb").toString()
        + "?cmd=_return";

    MainWindow *window = mFixture.openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QSignalSpy returned(window->page(), &webPage::returnToStore);
    // The store's own submit handler sets the return URL through the bridge.
    mFixture.evaluate(QStringLiteral("var f = document.getElementById('pay-form'); f.action = '%1';"
                                     "f.getElementsByTagName('button')[0].click();")
                          .arg(returnForm));
    QUrl paid = mFixture.url("/home");
    paid.setQuery("paid=1");
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(paid), kWait);
    QCOMPARE(returned.count(), 1);
    QCOMPARE(provider.server().requests().size(), 0);
    QCOMPARE(mFixture.server().requests("/home").last().request.target(), QByteArray("/home?paid=1"));
    QCOMPARE(mFixture.evaluate("document.getElementById('pay-result').textContent").toString(),
             QStringLiteral("Thank you: your subscription is active."));
    QCOMPARE(mFixture.log().count(QStringLiteral("Form verso paypall:  \"%1\"").arg(returnForm)), 1);
    QCOMPARE(mFixture.log().count(QStringLiteral("returnToTidemart:  \"%1\"").arg(paid.toString())), 1);

    // A form to any other address is followed.
    mFixture.evaluate(QStringLiteral("var f = document.getElementById('pay-form'); f.action = '%1';"
                                     "f.getElementsByTagName('button')[0].click();")
                          .arg(provider.url("/checkout").toString()));
    QTRY_VERIFY_WITH_TIMEOUT(mFixture.pageShows(provider.url("/checkout")), kWait);
    QCOMPARE(provider.server().requestCount("/checkout"), 1);
    QCOMPARE(provider.server().requests("/checkout").first().request.method(), QByteArray("POST"));
    QCOMPARE(returned.count(), 1);
}

void MainWindowTest::updateCheckRhythm()
{
    const QDateTime start(QDate(2031, 5, 1), QTime(9, 0));
    QDateTime now = start;
    MainWindow *window = mFixture.openWindow();
    SoftwareUpdate *update = window->softwareUpdate();
    QCOMPARE(update->lastCheck(), QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
    update->setClock([&now] { return now; });
    auto checks = [this] { return mFixture.server().requestCount(kVersionPath); };

    // The first call after the probe always checks, since the last check is in 1970.
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(checks(), 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!update->checker().isBusy(), kWait);
    QCOMPARE(update->lastCheck(), start);

    // The page resets its state: four hours exactly are not enough.
    now = start.addSecs(14400);
    mFixture.evaluate("qtBridge.stateReset()");
    QCOMPARE(update->lastCheck(), start);
    QVERIFY(!update->checker().isBusy());

    now = start.addSecs(14401);
    mFixture.evaluate("qtBridge.stateReset()");
    QCOMPARE(update->lastCheck(), now);
    QTRY_COMPARE_WITH_TIMEOUT(checks(), 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!update->checker().isBusy(), kWait);

    now = now.addSecs(3600);
    window->stateResetSlot();
    QVERIFY(!update->checker().isBusy());
    QCOMPARE(update->lastCheck(), start.addSecs(14401));
    QCOMPARE(checks(), 2);
    mFixture.closeWindow(); // its clock refers to this function's variable
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
