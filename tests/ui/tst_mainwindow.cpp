#include "browsercontrol.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "storesimulator.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "velamarisclientbridge.h"
#include "webpage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWait = 60000;
const QString kVersionPath = QStringLiteral("/devices/qt_tidemart_pc_version");
const QString kCriticalLine = QStringLiteral("*** Critical Error, Application will be closed ***");

// Takes the place of the page's three handlers: every call the client makes
// lands in window.__calls.
const QString kRecorder = QStringLiteral(
    "window.__calls = [];"
    "window.notifyStatusHandler = function (s) { __calls.push(['status', s]); };"
    "window.progressBarUpdateHandler = function (p) { __calls.push(['progress', p]); };"
    "window.errorOnDownload = function (c, t) { __calls.push(['error', c, t]); };");

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

} // namespace

// The main window in this process against the simulated store on a local
// server: the home-page probe, what every page request carries, where the
// page gets "qtBridge", the page calls that report a card update, the
// payment provider's return form and the rhythm of the update check.
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
    void notificationsReachThePage();
    void paymentReturnFormLoadsTheReturnUrl();
    void updateCheckRhythm();

private:
    QString storeHost() const { return QStringLiteral("127.0.0.1:%1").arg(mServer->port()); }
    void openWindow(const QString &serverHost, const QString &cardPath = QString());
    bool pageShows(const QUrl &url);
    bool storeHomeReady();
    QVariant evaluate(const QString &script);
    QJsonArray takeCalls();

    std::unique_ptr<QTemporaryDir> mEnvironmentDir;
    TestEnvironment *mEnvironment = nullptr;
    QList<MessageBoxRequest> mBoxes;
    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<StoreSimulator> mStore;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<MainWindow> mWindow;
};

void MainWindowTest::initTestCase()
{
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    mEnvironmentDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mEnvironmentDir->isValid());
    mEnvironment = TestEnvironment::install(mEnvironmentDir->path());
    // No box may wait for a user: each is recorded and answered with its default.
    MessageBoxes::setHandler([this](const MessageBoxRequest &request) {
        mBoxes.append(request);
        return request.defaultButton;
    });
}

void MainWindowTest::init()
{
    mBoxes.clear();
    mLog = std::make_unique<LogCapture>();
    QVERIFY(mLog->isOpen());
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    mStore = std::make_unique<StoreSimulator>(&mServer->server(), StoreSimulator::Options());
    QVERIFY(mStore->start());
}

void MainWindowTest::cleanup()
{
    if (QTest::currentTestFailed()) {
        for (const QString &line : mLog->lines())
            std::fprintf(stderr, "log: %s\n", qPrintable(line));
    }
    mWindow.reset();
    TestSupport::consumeQuitRequest();
    mStore.reset();
    mServer.reset();
    mLog.reset();
}

void MainWindowTest::openWindow(const QString &serverHost, const QString &cardPath)
{
    mWindow = std::make_unique<MainWindow>(serverHost, cardPath);
}

bool MainWindowTest::pageShows(const QUrl &url)
{
    if (!mWindow->page())
        return false;
    QWebFrame *frame = mWindow->page()->mainFrame();
    return frame->url() == url && frame->evaluateJavaScript("document.readyState").toString() == "complete";
}

bool MainWindowTest::storeHomeReady()
{
    return pageShows(mServer->url("/home"))
        && evaluate("document.getElementsByClassName('chartset').length").toInt() > 0;
}

QVariant MainWindowTest::evaluate(const QString &script)
{
    return mWindow->page()->mainFrame()->evaluateJavaScript(script);
}

QJsonArray MainWindowTest::takeCalls()
{
    return QJsonDocument::fromJson(evaluate("JSON.stringify(__calls.splice(0))").toString().toUtf8()).array();
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
        mServer->server().addRoute(HttpRoute::status("/home", status));
        host = storeHost();
    }
    QSettings().setValue("Running", 7);

    openWindow(host);
    QSignalSpy leaving(mWindow.get(), &MainWindow::leaving);
    QCOMPARE(QSettings().value("Running").toUInt(), 1u);
    QTRY_COMPARE_WITH_TIMEOUT(leaving.count(), 1, kWait);

    QCOMPARE(mBoxes.size(), 1);
    const MessageBoxRequest box = mBoxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("Problem connecting to Velamaris Tidemart"));
    QCOMPARE(box.informativeText, QStringLiteral("We are un able to connect with the Velamaris Tidemart. Check "
                                                 "internet connection and restart the application."));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Close));
    QCOMPARE(box.defaultButton, QMessageBox::Close);
    QVERIFY(mWindow->isLeaving());
    QVERIFY(!mWindow->bridge());
    QVERIFY(!mWindow->page());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
    QCOMPARE(mLog->count(kCriticalLine), 1);
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
    openWindow(storeHost());
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    mWindow->view()->load(mServer->url("/help"));
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(mServer->url("/help")), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(mServer->server().requestCount(kVersionPath), 1, kWait);

    const QList<RecordedRequest> requests = mServer->server().requests();
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

    openWindow(storeHost(), mEnvironmentDir->filePath("no/such/card"));
    QVERIFY(mWindow->cardPath().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QVERIFY(mWindow->bridge()->cardPath().isEmpty());
    QCOMPARE(evaluate("typeof qtBridge").toString(), QStringLiteral("object"));
    QCOMPARE(evaluate("qtBridge.getApplicationNameAndVersion()").toString(),
             QStringLiteral("{applicationVersion: 1.5.1applicationName: Velamaris_Berth_Kit}"));

    mWindow->view()->load(mServer->url("/help"));
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(mServer->url("/help")), kWait);
    QCOMPARE(evaluate("typeof qtBridge").toString(), QStringLiteral("object"));

    // An empty update request makes the window load the page again.
    evaluate("window.__before = 1; qtBridge.enqueueFiles('');");
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(mServer->url("/help")) && evaluate("typeof __before").toString() == "undefined",
                             kWait);
    QCOMPARE(mServer->server().requestCount("/help"), 2);
    QCOMPARE(evaluate("typeof qtBridge").toString(), QStringLiteral("object"));

    // Same address, other port: another site, which must not reach the card.
    mWindow->view()->load(other.url("/page.html"));
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(other.url("/page.html")), kWait);
    QCOMPARE(evaluate("typeof qtBridge").toString(), QStringLiteral("undefined"));

    mWindow->view()->load(mServer->url("/home"));
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QCOMPARE(evaluate("typeof qtBridge").toString(), QStringLiteral("object"));
}

void MainWindowTest::notificationsReachThePage()
{
    openWindow(storeHost());
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    evaluate(kRecorder);
    MainWindow *w = mWindow.get();
    const QString awkward = QStringLiteral("say \"hi\" to C:\\charts\\new\nline </script> \u00e8");

    struct Case
    {
        const char *name;
        std::function<void()> action;
        QJsonArray calls;
    };
    const QList<Case> cases {
        { "no space", [w] { w->notEnoughSpaceSlot(); }, { QJsonArray { "status", "nospace" } } },
        { "preparing",
          [w] { w->preparingForDownload(); },
          { QJsonArray { "progress", 0 }, QJsonArray { "status", "init" } } },
        { "download", [w] { w->startDownloadingChart(); }, { QJsonArray { "status", "download" } } },
        { "preparing installation", [w] { w->preparingInstallation(); }, {} },
        { "install", [w] { w->startInstallingChart(); }, { QJsonArray { "status", "install" } } },
        { "community", [w] { w->startInstallingUGC(); }, { QJsonArray { "status", "ugc" } } },
        { "progress", [w] { w->updateProcessStatus(12.5f); }, { QJsonArray { "progress", 12.5 } } },
        { "six digits", [w] { w->updateProcessStatus(100.0f / 3); }, { QJsonArray { "progress", 33.3333 } } },
        { "completed", [w] { w->processCompleted(); }, { QJsonArray { "status", "completed" } } },
        { "not writable", [w] { w->noWriteble(); }, { QJsonArray { "status", "nowritable" } } },
        { "sonar search", [w] { w->searchSonarTracks(); }, { QJsonArray { "status", "searchingtrack" } } },
        { "sonar conversion", [w] { w->convertSonarTrack(); }, { QJsonArray { "status", "trackconversion" } } },
        { "sonar upload", [w] { w->uploadSonarTrack(); }, { QJsonArray { "status", "uploadtrack" } } },
        { "error",
          [w] { w->receivedNewtideDataError(902, "x"); },
          { QJsonArray { "error", 902, "ErrorPreparingInstallation; x" } } },
        { "unknown code", [w] { w->receivedNewtideDataError(0, ""); }, { QJsonArray { "error", 0, "Error unknown; " } } },
        { "message with quotes and backslashes",
          [w, awkward] { w->receivedNewtideDataError(903, awkward); },
          { QJsonArray { "error", 903, "ErrorIinstallChart; " + awkward } } },
        { "sonar report", [w] { w->sonarTrackReport(4, 5, 6); }, {} },
    };
    for (const Case &c : cases) {
        c.action();
        QVERIFY2(evaluate("typeof __calls").toString() == "object", c.name); // the page survived
        const QByteArray name = QByteArray(c.name) + ": ";
        QCOMPARE(name + QJsonDocument(takeCalls()).toJson(QJsonDocument::Compact),
                 name + QJsonDocument(c.calls).toJson(QJsonDocument::Compact));
    }
    QCOMPARE(evaluate("[qtBridge.getSonarTracksNumber(), qtBridge.getAlreadyUploadedSonarTracksNumber(),"
                      " qtBridge.getCorruptedSonarTracksNumber()].join()")
                 .toString(),
             QStringLiteral("4,5,6"));
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

    openWindow(storeHost());
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QSignalSpy returned(mWindow->page(), &webPage::returnToStore);
    // The store's own submit handler sets the return URL through the bridge.
    evaluate(QStringLiteral("var f = document.getElementById('pay-form'); f.action = '%1';"
                            "f.getElementsByTagName('button')[0].click();")
                 .arg(returnForm));
    QUrl paid = mServer->url("/home");
    paid.setQuery("paid=1");
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(paid), kWait);
    QCOMPARE(returned.count(), 1);
    QCOMPARE(provider.server().requests().size(), 0);
    QCOMPARE(mServer->server().requests("/home").last().request.target(), QByteArray("/home?paid=1"));
    QCOMPARE(evaluate("document.getElementById('pay-result').textContent").toString(),
             QStringLiteral("Thank you: your subscription is active."));
    QCOMPARE(mLog->count(QStringLiteral("Form verso paypall:  \"%1\"").arg(returnForm)), 1);
    QCOMPARE(mLog->count(QStringLiteral("returnToTidemart:  \"%1\"").arg(paid.toString())), 1);

    // A form to any other address is followed.
    evaluate(QStringLiteral("var f = document.getElementById('pay-form'); f.action = '%1';"
                            "f.getElementsByTagName('button')[0].click();")
                 .arg(provider.url("/checkout").toString()));
    QTRY_VERIFY_WITH_TIMEOUT(pageShows(provider.url("/checkout")), kWait);
    QCOMPARE(provider.server().requestCount("/checkout"), 1);
    QCOMPARE(provider.server().requests("/checkout").first().request.method(), QByteArray("POST"));
    QCOMPARE(returned.count(), 1);
}

void MainWindowTest::updateCheckRhythm()
{
    const QDateTime start(QDate(2031, 5, 1), QTime(9, 0));
    QDateTime now = start;
    openWindow(storeHost());
    QCOMPARE(mWindow->lastUpdateCheck(), QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
    mWindow->setClock([&now] { return now; });
    auto checks = [this] { return mServer->server().requestCount(kVersionPath); };

    // The first call after the probe always checks, since the last check is in 1970.
    QTRY_VERIFY_WITH_TIMEOUT(storeHomeReady(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(checks(), 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!mWindow->updateChecker().isBusy(), kWait);
    QCOMPARE(mWindow->lastUpdateCheck(), start);

    // The page resets its state: four hours exactly are not enough.
    now = start.addSecs(14400);
    evaluate("qtBridge.stateReset()");
    QCOMPARE(mWindow->lastUpdateCheck(), start);
    QVERIFY(!mWindow->updateChecker().isBusy());

    now = start.addSecs(14401);
    evaluate("qtBridge.stateReset()");
    QCOMPARE(mWindow->lastUpdateCheck(), now);
    QTRY_COMPARE_WITH_TIMEOUT(checks(), 2, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!mWindow->updateChecker().isBusy(), kWait);

    now = now.addSecs(3600);
    mWindow->stateResetSlot();
    QVERIFY(!mWindow->updateChecker().isBusy());
    QCOMPARE(mWindow->lastUpdateCheck(), start.addSecs(14401));
    QCOMPARE(checks(), 2);
    mWindow.reset(); // its clock refers to this function's variable
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
