#include "generatedbody.h"
#include "mainwindow.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "velamarisclientbridge.h"
#include "windowfixture.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;
const QByteArray kIndex("Directory: Naples\nType: Gold\nChart: Gulf of Naples\nVersion: 11\n"
                        "Edition date: 2025-04-01\nDescription: last season\n");
const QString kAlreadyRunning =
    QStringLiteral("*** Error on MainWindow::downloadChart: We are already downloading the chart!");

// Last season's card: a tag, an index, charts that the new set replaces
// and a catalogue file that goes before any installation.
void makeCard(const QString &root)
{
    QVERIFY(TestSupport::writeFile(root + "/nTag.txt", "E2E-0001\n"));
    QVERIFY(TestSupport::writeFile(root + "/Velamari/Index.txt", kIndex));
    QVERIFY(TestSupport::writeFile(root + "/Velamari/Charts/NAP01.psg", QByteArray(1500, 'o')));
    QVERIFY(TestSupport::writeFile(root + "/Velamari/Charts/NAP-old-notes.txt", "old notes"));
    QVERIFY(TestSupport::writeFile(root + "/Velamari/Charts/naples.xct", "catalogue"));
    QVERIFY(QDir().mkpath(root + "/Velamari/Charts/UGC"));
}

// Every file below root with its size, "path:size", sorted.
QStringList cardContent(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << QDir(root).relativeFilePath(it.filePath()) + ':' + QString::number(it.fileInfo().size());
    }
    files.sort();
    return files;
}

} // namespace

// The store client end to end: the simulated store's own page, which starts
// an update of its first chart set by itself, drives a main window in this
// process; the test follows what the page reports to the store and looks at
// the card folder afterwards. The card is named on the command line only
// (there are no removable volumes), as a user's card path would be.
class StoreClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageUpdatesTheCard();
    void failedDownloadReachesThePage_data();
    void failedDownloadReachesThePage();
    void cardThatCannotTakeTheSet_data();
    void cardThatCannotTakeTheSet();
    void sonarStepReachesThePage();

private:
    void startStore(const QString &sonarUserId = QString());
    QStringList reported(const QString &kind) const;
    bool runEnded() const;
    QString pageStatus() const;
    QString fileUrl(const QString &name) const { return mFixture.url("/files/naples/" + name).toString(); }

    WindowFixture mFixture;
    std::unique_ptr<QTemporaryDir> mDir;
    QList<QPair<QString, QString>> mEvents;
};

void StoreClientTest::initTestCase()
{
    QVERIFY(mFixture.installEnvironment());
}

void StoreClientTest::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    QVERIFY(mFixture.startServer());
    mEvents.clear();
}

void StoreClientTest::cleanup()
{
    const int boxes = mFixture.boxes().size();
    mFixture.cleanup();
    mDir.reset();
    QCOMPARE(boxes, 0);
}

void StoreClientTest::startStore(const QString &sonarUserId)
{
    StoreSimulator::Options options;
    options.autostart = true;
    options.sonarUserId = sonarUserId;
    QVERIFY(mFixture.startStore(options));
    connect(mFixture.store(), &StoreSimulator::pageEvent, this,
            [this](const QString &kind, const QString &detail) { mEvents.append({ kind, detail }); });
}

QStringList StoreClientTest::reported(const QString &kind) const
{
    QStringList details;
    for (const auto &event : mEvents) {
        if (event.first == kind)
            details << event.second;
    }
    return details;
}

bool StoreClientTest::runEnded() const
{
    const QStringList statuses = reported("status");
    return !reported("error").isEmpty() || statuses.contains("completed") || statuses.contains("nospace")
        || statuses.contains("nowritable");
}

QString StoreClientTest::pageStatus() const
{
    return mFixture.evaluate("document.getElementById('status').textContent").toString();
}

void StoreClientTest::pageUpdatesTheCard()
{
    const QString card = mDir->filePath("card");
    makeCard(card);
    startStore();
    // A second request while the run is busy is refused and changes nothing.
    connect(mFixture.store(), &StoreSimulator::pageEvent, this, [this](const QString &kind, const QString &) {
        if (kind == "start")
            mFixture.window()->bridge()->enqueueFiles(QString::fromLatin1(mFixture.store()->manifest("naples")),
                                                      true, true, false);
    });
    mFixture.openWindow(card);
    QTRY_VERIFY_WITH_TIMEOUT(runEnded(), kWait);

    const QString cardSeen = reported("card").value(0);
    QVERIFY2(cardSeen.startsWith("E2E-0001 free=") && cardSeen.endsWith(" writable=true old=false"),
             qPrintable(cardSeen));
    QCOMPARE(reported("start"), QStringList { "naples" });
    QCOMPARE(reported("error"), QStringList());
    QCOMPARE(reported("status"), (QStringList { "init", "download", "install", "ugc", "completed" }));
    const QStringList progress = reported("progress");
    QVERIFY(progress.size() >= 3);
    QCOMPARE(progress.first(), QStringLiteral("0"));
    QCOMPARE(progress.last(), QStringLiteral("100"));
    for (int i = 1; i < progress.size(); ++i)
        QVERIFY2(progress.at(i).toDouble() >= progress.at(i - 1).toDouble(), qPrintable(progress.join(' ')));
    QCOMPARE(mFixture.log().count(kAlreadyRunning), 1);
    QCOMPARE(pageStatus(), QStringLiteral("The card is up to date."));

    // Catalogue and superseded notes removed, the new set in place, byte for byte.
    QStringList expected { "nTag.txt:9", "Velamari/Index.txt:" + QString::number(kIndex.size()) };
    const StoreSimulator::ChartSet naples = mFixture.store()->chartSets().first();
    for (const StoreSimulator::ChartFile &file : naples.files) {
        if (file.totalFiles > 0) {
            for (int i = 1; i <= file.totalFiles; ++i)
                expected << QStringLiteral("%1/naples-%2.ugc:%3")
                                .arg(file.destination)
                                .arg(i, 3, 10, QLatin1Char('0'))
                                .arg(file.unzippedSize / file.totalFiles);
        } else {
            expected << QStringLiteral("%1:%2").arg(file.destination).arg(file.size);
            QCOMPARE(TestSupport::readFile(card + '/' + file.destination), GeneratedBody::expected(file.size));
        }
    }
    expected.sort();
    QCOMPARE(cardContent(card), expected);

    // The downloads went through the page's network manager.
    const QList<RecordedRequest> downloads = mFixture.server().requests("/files/naples/NAP01.psg");
    QCOMPARE(downloads.size(), 1);
    QCOMPARE(downloads.first().request.header("tdmt-client"), QByteArray("tidemart"));
    QCOMPARE(downloads.first().request.header("tdmt-version"), QByteArray("151"));
    QCOMPARE(downloads.first().request.header("tdmt-os"), QByteArray("pc"));
}

void StoreClientTest::failedDownloadReachesThePage_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("cutAfter");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("codeName");

    // The manifest gives every file's size, so any failed file ends as "wrong size".
    QTest::newRow("not found") << 404 << qint64(-1) << 901 << "File with wrong size";
    QTest::newRow("cut off") << 0 << qint64(100000) << 901 << "File with wrong size";
}

void StoreClientTest::failedDownloadReachesThePage()
{
    QFETCH(int, status);
    QFETCH(qint64, cutAfter);
    QFETCH(int, code);
    QFETCH(QString, codeName);

    const QString card = mDir->filePath("card");
    makeCard(card);
    const QStringList before = cardContent(card);
    startStore();
    HttpFaults faults;
    faults.status = status;
    faults.closeAfterBytes = cutAfter;
    const qint64 size = mFixture.store()->chartSets().first().files.at(1).size;
    mFixture.server().addRoute(HttpRoute::generated("/files/naples/NAP02.psg", size).setFaults(faults));

    mFixture.openWindow(card);
    QTRY_VERIFY_WITH_TIMEOUT(runEnded(), kWait);

    const QString text = codeName + "; " + fileUrl("NAP02.psg");
    QCOMPARE(reported("error"), QStringList { QString::number(code) + ' ' + text });
    QCOMPARE(reported("status"), (QStringList { "init", "download" }));
    QCOMPARE(pageStatus(), QStringLiteral("The card update failed (%1): %2").arg(code).arg(text));
    // Every attempt used; the network layer may itself send a cut request again.
    const int requests = mFixture.server().requestCount("/files/naples/NAP02.psg");
    if (cutAfter < 0)
        QCOMPARE(requests, 4);
    else
        QVERIFY2(requests >= 4, qPrintable(QString::number(requests)));
    QCOMPARE(cardContent(card), before);
}

void StoreClientTest::cardThatCannotTakeTheSet_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("status");
    QTest::newRow("too small") << false << "nospace";
    QTest::newRow("write-protected") << true << "nowritable";
}

void StoreClientTest::cardThatCannotTakeTheSet()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, status);
    TmpfsMount card(mDir->filePath("card"), 1024 * 1024); // the set needs several MiB
    if (!card.isMounted())
        QSKIP("no permission to mount a tmpfs: cannot make a small or write-protected card");
    makeCard(card.mountPoint());
    if (readOnly)
        QVERIFY(card.remountReadOnly());
    const QStringList before = cardContent(card.mountPoint());
    startStore();

    mFixture.openWindow(card.mountPoint());
    QTRY_VERIFY_WITH_TIMEOUT(runEnded(), kWait);
    const QStringList statuses = reported("status");
    QCOMPARE(statuses.last(), status);
    QVERIFY(!statuses.contains("download"));
    QCOMPARE(reported("error"), QStringList());
    for (const RecordedRequest &record : mFixture.server().requests())
        QVERIFY2(!record.request.path().startsWith("/files/"), qPrintable(record.request.path()));
    QCOMPARE(cardContent(card.mountPoint()), before);
    mFixture.closeWindow(); // before the card is unmounted
}

// A user of the sonar programme: the page signs in and joins, the run sends
// the card's sonar log before the charts, and the page shows its phases and
// reads the counts through the bridge.
void StoreClientTest::sonarStepReachesThePage()
{
    const QString card = mDir->filePath("card");
    makeCard(card);
    const TestSupport::ChildResult made = TestSupport::runChild(
        TestSupport::binDir() + "/Wakeform", { "--make-log", card + "/SONAR/Bay.fsh", "2", "40.8359,14.2488" });
    QCOMPARE(made.exitCode, 0);
    mFixture.environment()->setProgramDir(TestSupport::binDir());
    startStore("skipper-7");
    QVERIFY(TestSupport::writeFile(mFixture.environmentPath("app/trackServers.txt"), mFixture.storeHost().toLatin1()));
    mFixture.openWindow(card);
    QTRY_VERIFY_WITH_TIMEOUT(runEnded(), kWait);
    QFile::remove(mFixture.environmentPath("app/trackServers.txt"));
    QFile::remove(mFixture.environmentPath("app/history.xml"));
    mFixture.environment()->setProgramDir(QString());

    QCOMPARE(reported("status"), (QStringList { "init", "searchingtrack", "trackconversion", "uploadtrack", "download",
                                                "install", "ugc", "completed" }));
    QCOMPARE(reported("sonar").last(), QStringLiteral("uploaded=2 alreadyUploaded=0 corrupted=0"));
    const QList<TrackUploadService::Upload> uploads = mFixture.store()->trackUploadService().uploads();
    QCOMPARE(uploads.size(), 2);
    QCOMPARE(uploads.first().field("userId"), QByteArray("skipper-7"));
    QCOMPARE(uploads.first().complaints, QStringList());
}

QTEST_MAIN(StoreClientTest)
#include "tst_storeclient.moc"
