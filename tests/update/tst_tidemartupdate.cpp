#include "localhttpserver.h"
#include "timezoneservice.h"
#include "trackuploadservice.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// The command-line card update, run as a child process against a local store.
class TidemartUpdateTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void updatesTheCardAndPrintsThePhases();
    void inlineManifestFromAFile();
    void failedDownloadIsAnError();
    void fullCardIsNotEnoughSpace();
    void badCommandLines_data();
    void badCommandLines();
    void secondRunOnTheSameAreaIsRefusedAtOnce();
    void sonarOnlyRunPrintsTheCounts();

private:
    QString card(const QString &relative = QString()) const { return mDir->filePath("card/" + relative); }
    QByteArray manifest(const QString &name, const QString &destination, qint64 size) const
    {
        return QStringLiteral(R"([{"name":"%1","size":%2,"url":"%3","destination_path":"%4","md5":"0"}])")
            .arg(name)
            .arg(size)
            .arg(mServer.url("/files/" + name).toString(), destination)
            .toLatin1();
    }
    TestSupport::ChildResult update(const QStringList &arguments);

    LocalHttpServer mServer;
    QTemporaryDir *mDir = nullptr;
    // A download that waits for the test, and the news that it began.
    QSemaphore mDownloadBegan;
    QSemaphore mDownloadMayEnd;
    QString mProgram;
};

void TidemartUpdateTest::initTestCase()
{
    QVERIFY(mServer.start());
}

void TidemartUpdateTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
    // A copy of its own, so that its "log" lands beside it and not in build/bin.
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/tidemart-update", mDir->filePath("bin"),
                                        "tidemart-update"));
    mProgram = mDir->filePath("bin/tidemart-update");
    QVERIFY(writeFile(card("nTag.txt"), "CARD\n"));
    QVERIFY(writeFile(card("Velamari/Charts/a.vl2"), "old a"));
    mServer.server().clearRoutes();
}

void TidemartUpdateTest::cleanup()
{
    mDownloadMayEnd.release(100); // no answer of the server stays blocked
    mServer.server().clearRoutes();
    delete mDir;
}

TestSupport::ChildResult TidemartUpdateTest::update(const QStringList &arguments)
{
    return TestSupport::runChild(mProgram, arguments);
}

void TidemartUpdateTest::updatesTheCardAndPrintsThePhases()
{
    // The store client's download area and log are not its own.
    const QString storeClientDownload = QDir::home().filePath(".cache/VelamarisBKTemp/Download/part.vl2");
    QVERIFY(writeFile(storeClientDownload, "the store client's"));
    QVERIFY(writeFile(mDir->filePath("bin/log"), "the store client's log\n"));
    const QByteArray chart(300000, 'c');
    mServer.server().addRoute(HttpRoute::bytes("/files/a.vl2", chart));
    mServer.server().addRoute(
        HttpRoute::bytes("/manifest.json", manifest("a.vl2", "Velamari/Charts/a.vl2", chart.size()), "application/json"));

    const auto result = update({ "--manifest-url", mServer.url("/manifest.json").toString(), "--card", card() });
    QCOMPARE(result.exitCode, 0);
    const QStringList lines = QString::fromUtf8(result.standardOutput).split('\n', Qt::SkipEmptyParts);
    QStringList phases;
    for (const QString &line : lines) {
        if (!line.startsWith("progress "))
            phases << line;
    }
    QCOMPARE(phases, (QStringList { "init", "download", "install", "ugc", "completed" }));
    QVERIFY(lines.contains("progress 100"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), chart);
    // Its own download area, emptied at the end; the store client's stays.
    QVERIFY(!QFileInfo::exists(QDir::home().filePath(".cache/tidemart-update/Download")));
    QCOMPARE(readFile(storeClientDownload), QByteArray("the store client's"));
    // Its own log beside the program.
    const QStringList log = TestSupport::readLines(mDir->filePath("bin/tidemart-update.log"));
    QVERIFY(log.contains("-- Starting Newtide Data Process"));
    // Read back from the card by default.
    QVERIFY(log.filter(QRegularExpression("^- Read back from the card: 300000 bytes")).size() == 1);
    QCOMPARE(readFile(mDir->filePath("bin/log")), QByteArray("the store client's log\n"));
}

void TidemartUpdateTest::inlineManifestFromAFile()
{
    mServer.server().addRoute(HttpRoute::bytes("/files/b.ugc", "marks"));
    QVERIFY(writeFile(mDir->filePath("manifest.json"), manifest("b.ugc", "Velamari/Charts/UGC/b.ugc", 5)));
    const auto result = update(
        { "--manifest-file", mDir->filePath("manifest.json"), "--card", card(), "--no-newtide", "--no-read-back" });
    QCOMPARE(result.exitCode, 0);
    const QStringList log = TestSupport::readLines(mDir->filePath("bin/tidemart-update.log"));
    QVERIFY(log.filter(QRegularExpression("^- Read back from the card:")).isEmpty());
    QVERIFY(result.standardOutput.contains("ugc\n"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/b.ugc")), QByteArray("marks"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old a"));
}

void TidemartUpdateTest::failedDownloadIsAnError()
{
    mServer.server().addRoute(HttpRoute::status("/files/a.vl2", 404));
    mServer.server().addRoute(
        HttpRoute::bytes("/manifest.json", manifest("a.vl2", "Velamari/Charts/a.vl2", 10), "application/json"));
    const auto result = update({ "--manifest-url", mServer.url("/manifest.json").toString(), "--card", card() });
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.standardOutput.contains(
                 "error 901 File with wrong size; " + mServer.url("/files/a.vl2").toString().toLatin1() + "\n"),
             result.standardOutput.constData());
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old a"));
}

void TidemartUpdateTest::fullCardIsNotEnoughSpace()
{
    const QString mountPoint = mDir->filePath("volume");
    QVERIFY(QDir().mkpath(mountPoint));
    TmpfsMount volume(mountPoint, 64 * 1024);
    if (!volume.isMounted())
        QSKIP("mounting a tmpfs is not allowed here");
    QVERIFY(writeFile(mountPoint + "/nTag.txt", "SMALL\n"));
    mServer.server().addRoute(HttpRoute::generated("/files/big.vl2", 200000));
    mServer.server().addRoute(
        HttpRoute::bytes("/manifest.json", manifest("big.vl2", "Velamari/Charts/big.vl2", 200000), "application/json"));
    const auto result = update({ "--manifest-url", mServer.url("/manifest.json").toString(), "--card", mountPoint });
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.standardOutput, QByteArray("init\nnospace\n"));
    QCOMPARE(mServer.server().requestCount("/files/big.vl2"), 0);
}

void TidemartUpdateTest::badCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no card") << QStringList { "--manifest-file", "m.json" };
    QTest::newRow("no manifest") << QStringList { "--card", "." };
    QTest::newRow("both manifests") << QStringList { "--card", ".", "--manifest-file", "m", "--manifest-url", "u" };
    QTest::newRow("unreadable manifest file") << QStringList { "--card", ".", "--manifest-file", "/nonexistent/m.json" };
}

void TidemartUpdateTest::badCommandLines()
{
    QFETCH(QStringList, arguments);
    const auto result = update(arguments);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.standardError.startsWith("tidemart-update: "));
    QVERIFY(result.standardOutput.isEmpty());
}

void TidemartUpdateTest::secondRunOnTheSameAreaIsRefusedAtOnce()
{
    const QByteArray chart(1000, 'c');
    mDownloadMayEnd.tryAcquire(mDownloadMayEnd.available());
    mServer.server().addRoute(HttpRoute::exact("/files/a.vl2", [this, chart](const HttpRequest &) {
        mDownloadBegan.release();
        mDownloadMayEnd.acquire();
        return HttpResponse::bytes(chart);
    }));
    mServer.server().addRoute(
        HttpRoute::bytes("/manifest.json", manifest("a.vl2", "Velamari/Charts/a.vl2", chart.size()), "application/json"));
    QVERIFY(writeFile(mDir->filePath("other/nTag.txt"), "OTHER\n"));
    QVERIFY(writeFile(mDir->filePath("other/Velamari/Charts/a.vl2"), "old a"));
    const QStringList arguments { "--manifest-url", mServer.url("/manifest.json").toString() };

    QProcess first;
    first.start(mProgram, arguments + QStringList { "--card", card() });
    QVERIFY(mDownloadBegan.tryAcquire(1, 60000));
    // The first run holds the area while it downloads.
    const auto second = update(arguments + QStringList { "--card", mDir->filePath("other") });
    QCOMPARE(second.exitCode, 1);
    const QByteArray area = QDir::home().filePath(".cache/tidemart-update").toUtf8();
    QCOMPARE(second.standardOutput, "init\nerror 914 ErrorDownloadAreaBusy; " + area + "\n");
    QCOMPARE(readFile(mDir->filePath("other/Velamari/Charts/a.vl2")), QByteArray("old a"));

    mDownloadMayEnd.release();
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), chart);
}

// Without a manifest, --sonar sends the card's sonar logs and leaves the
// charts alone; the services are the ones "trackServers.txt" names.
void TidemartUpdateTest::sonarOnlyRunPrintsTheCounts()
{
    TrackUploadService uploads;
    uploads.install(&mServer.server());
    TimeZoneService timeZones;
    timeZones.install(&mServer.server());
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/Wakeform", mDir->filePath("bin"), "Wakeform"));
    QVERIFY(writeFile(mDir->filePath("bin/trackServers.txt"), QStringLiteral("127.0.0.1:%1\n").arg(mServer.port()).toLatin1()));
    QCOMPARE(TestSupport::runChild(mDir->filePath("bin/Wakeform"), { "--make-log", card("Bay.fsh"), "2", "40.8359,14.2488" })
                 .exitCode,
             0);

    for (const QByteArray &counts : { QByteArray("sonar 2 uploaded, 0 already uploaded, 0 corrupted"),
                                      QByteArray("sonar 0 uploaded, 2 already uploaded, 0 corrupted") }) {
        const auto result = update({ "--card", card(), "--sonar", "--user-id", "u-1" });
        QCOMPARE(result.exitCode, 0);
        QList<QByteArray> phases = result.standardOutput.split('\n');
        phases.erase(std::remove_if(phases.begin(), phases.end(),
                                    [](const QByteArray &line) { return line.isEmpty() || line.startsWith("progress "); }),
                     phases.end());
        QCOMPARE(phases, (QList<QByteArray> { "init", "searchingtrack", "trackconversion", "uploadtrack", counts,
                                              "completed" }));
    }
    QCOMPARE(uploads.uploadCount(), 2);
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old a"));
}

QTEST_GUILESS_MAIN(TidemartUpdateTest)
#include "tst_tidemartupdate.moc"
