#include "cardfiles.h"
#include "cardupdatefixture.h"
#include "errorcodes.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "zipbuilder.h"

#include <QDirIterator>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// Whole card updates: manifest, space, downloads, archives and the card.
class CardUpdateTest : public CardUpdateFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void manifestByUrlUpdatesTheCard();
    void inlineManifestNeedsNoManifestRequest();
    void manifestOfTheWrongTypeIsNotObtained();
    void manifestIsFetchedAgainAfterFailures();
    void communityOnlyManifestWithCommunityOffDownloadsNothing();
    void removalAccounting_data();
    void removalAccounting();
    void unknownClusterSizeIsNotEnoughSpace();
    void announcedSizeAbove2GiBCounts();
    void contentsLargerThanAnnouncedAreCheckedAgain();
    void failedDownloadAfterRetries();
    void archives_data();
    void archives();
    void existingTargetFailsAfterTheOtherCopies();
    void realVolume();
    void realVolumeCountsOnlyWhatTheUpdateRemoves();
};

void CardUpdateTest::initTestCase()
{
    startStore();
}

void CardUpdateTest::init()
{
    startTest();
}

void CardUpdateTest::cleanup()
{
    endTest();
}

void CardUpdateTest::manifestByUrlUpdatesTheCard()
{
    const QByteArray b(70000, 'b');
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("b.vl2", "Velamari/Charts/b.vl2", b);
    QVERIFY(ZipBuilder::write(mDir->filePath("region.zip"), { { "r1.ugc", "1" }, { "r2.ugc", "22" }, { "r3.uk", "3" } }));
    serve("region.zip", "Velamari/Charts/UGC/Region", readFile(mDir->filePath("region.zip")), 3, 4);
    publishManifest();

    runUpdate(true, true);

    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "ugc", "completed" }));
    QVERIFY(mOutcome.progress.size() >= 2);
    QCOMPARE(mOutcome.progress.last(), 100.0f);
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("new a"));
    QCOMPARE(readFile(card("Velamari/Charts/b.vl2")), b);
    // The archive's folder now holds exactly what the archive held.
    QCOMPARE(TestSupport::folderEntries(card("Velamari/Charts/UGC/Region")),
             (QStringList { "r1.ugc", "r2.ugc", "r3.uk" }));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/Region/r2.ugc")), QByteArray("22"));
    // Catalogue gone; what no new file replaces stays.
    QVERIFY(!QFileInfo::exists(card("chartcat.XML")));
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/old.xct")));
    QCOMPARE(readFile(card("Velamari/Charts/keep.dat")), QByteArray("not a chart file"));
    QCOMPARE(readFile(card("nTag.txt")), QByteArray("CARD-1\n"));

    QCOMPARE(mServer.server().requestCount("/manifest.json"), 1);
    for (const char *name : { "a.vl2", "b.vl2", "region.zip" })
        QCOMPARE(mServer.server().requestCount(QStringLiteral("/files/") + name), 1);
    // Every request carries the client's identification.
    for (const RecordedRequest &request : mServer.server().requests())
        QCOMPARE(request.request.header("tdmt-client"), QByteArray("tidemart"));
    QVERIFY(mLog->lines().contains("-- Starting Newtide Data Process"));
    QVERIFY(mLog->lines().contains("Space enough, so we can start the newtide data process"));
}

void CardUpdateTest::inlineManifestNeedsNoManifestRequest()
{
    serve("c.vl2", "Velamari/Charts/c.vl2", "chart c");
    runUpdate(true, false, QString::fromLatin1(manifest()));
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "completed" }));
    QCOMPARE(readFile(card("Velamari/Charts/c.vl2")), QByteArray("chart c"));
    QCOMPARE(mServer.server().requestCount("/manifest.json"), 0);
    // Only the newtide patterns of the new files apply: the old .vl2 is superseded.
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/a.vl2")));
    QVERIFY(QFileInfo::exists(card("Velamari/Charts/UGC/Region/old.ugc")));
}

void CardUpdateTest::manifestOfTheWrongTypeIsNotObtained()
{
    serve("c.vl2", "Velamari/Charts/c.vl2", "chart c");
    publishManifest("text/html");
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, true);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "error" }));
    QCOMPARE(mOutcome.errorCode, int(ErrorManifestNotObtained));
    QCOMPARE(errorCodeName(mOutcome.errorCode), QStringLiteral("ErrorManifestNotObtained"));
    // The transfer itself succeeded, so there was no second attempt.
    QCOMPARE(mServer.server().requestCount("/manifest.json"), 1);
    QCOMPARE(mServer.server().requestCount("/files/c.vl2"), 0);
    QCOMPARE(tree(card()), before);
}

void CardUpdateTest::manifestIsFetchedAgainAfterFailures()
{
    serve("c.vl2", "Velamari/Charts/c.vl2", "chart c");
    HttpFaults unavailable;
    unavailable.status = 503;
    // The first attempt uses up the download manager's four tries; the same
    // action has none left in the second, so the third gets the manifest.
    mServer.server().addRoute(HttpRoute::bytes("/manifest.json", manifest(), "application/json").setFaults(unavailable, 5));
    runUpdate(true, true);
    QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
    QCOMPARE(mLog->count("getManifest"), 3);
    QCOMPARE(mServer.server().requestCount("/manifest.json"), 6);
    QCOMPARE(readFile(card("Velamari/Charts/c.vl2")), QByteArray("chart c"));
}

void CardUpdateTest::communityOnlyManifestWithCommunityOffDownloadsNothing()
{
    serve("marks.ugc", "Velamari/Charts/UGC/marks.ugc", "marks");
    QVERIFY(ZipBuilder::write(mDir->filePath("r.zip"), { { "r.ugc", "r" } }));
    serve("r.zip", "Velamari/Charts/UGC/Region", readFile(mDir->filePath("r.zip")), 1, 1);
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, false);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "completed" }));
    QCOMPARE(mOutcome.progress.last(), 100.0f);
    QCOMPARE(mServer.server().requestCount("/files/marks.ugc"), 0);
    QCOMPARE(mServer.server().requestCount("/files/r.zip"), 0);
    QCOMPARE(tree(card()), before);
}

void CardUpdateTest::removalAccounting_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("editionReplaced");
    QTest::addColumn<int>("freedClusters");
    // Only what the removal really deletes makes room: the new charts'
    // kind directly in the chart folder, the catalogue (one cluster), and
    // the edition folder with the index when the run replaces it. Community
    // files and a kept edition stay, and so does their space.
    QTest::newRow("old-format card") << "old" << false << 3 + 1;
    QTest::newRow("Pewter card, edition kept") << "pewter" << false << 1;
    QTest::newRow("Pewter card, edition replaced") << "pewter" << true << 6 + 1 + 1;
    QTest::newRow("plain card") << "plain" << false << 1;
}

void CardUpdateTest::removalAccounting()
{
    QFETCH(QString, layout);
    QFETCH(bool, editionReplaced);
    QFETCH(int, freedClusters);
    QVERIFY(removeDirectoryTree(card("Velamari")));
    const QByteArray oldChart(10000, 'o'); // three clusters each
    const QString index = "Directory: Pewter01\nType: Pewter\nChart: Gulf\nVersion: 1\n"
                          "Edition date: 2025-01-01\nDescription: d\n";
    if (layout == "old") {
        QVERIFY(writeFile(card("Velamari/Charts/x.vl2"), oldChart));
        QVERIFY(writeFile(card("Velamari/Charts/UGC/y.ugc"), oldChart));
    }
    if (layout == "pewter") {
        QVERIFY(writeFile(card("Velamari/Index.txt"), index.toLatin1()));
        QVERIFY(writeFile(card("Velamari/Pewter01/p1.vl2"), oldChart));
        QVERIFY(writeFile(card("Velamari/Pewter01/p2.ugc"), oldChart));
    }
    if (layout == "plain")
        QVERIFY(writeFile(card("Velamari/Other/x.vl2"), oldChart));

    serve("n.vl2", "Velamari/Charts/n.vl2", QByteArray(4096 * 8, 'n'));
    publishManifest();
    // Eight clusters needed: two are free, the rest must come from the removal.
    mEnvironment->setFreeBytes(4096 * 2);
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, true, QString(), QString(), editionReplaced ? card("Velamari/Pewter01") : QString());
    QVERIFY(mLog->lines().contains("===  Disk Size Of New Chart:  32768"));
    QVERIFY(mLog->lines().contains(QStringLiteral("=== Size Of Files To Remove:  %1").arg(freedClusters * 4096)));
    if (2 + freedClusters >= 8) {
        QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
        QVERIFY(!QFileInfo::exists(card("Velamari/Pewter01")));
    } else {
        QCOMPARE(mOutcome.phases, (QStringList { "init", "nospace" }));
        QVERIFY(mLog->lines().contains("You don't have enought space on chip!!"));
        QCOMPARE(mServer.server().requestCount("/files/n.vl2"), 0);
        QCOMPARE(tree(card()), before);
    }
}

void CardUpdateTest::unknownClusterSizeIsNotEnoughSpace()
{
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    publishManifest();
    mEnvironment->setClusterSize(0);
    runUpdate(true, true);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "nospace" }));
    QVERIFY(mLog->lines().contains("*** ERROR: Not able to retrive the cluster size of the chip"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old a"));
}

void CardUpdateTest::announcedSizeAbove2GiBCounts()
{
    serve("big.vl2", "Velamari/Charts/big.vl2", "x", -1, -1, 3000000000LL);
    publishManifest();
    runUpdate(true, false);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "nospace" }));
    QVERIFY(mLog->lines().contains("===        Byte To Download:  3000000000"));
    QCOMPARE(mServer.server().requestCount("/files/big.vl2"), 0);
}

void CardUpdateTest::contentsLargerThanAnnouncedAreCheckedAgain()
{
    // An archive that announces no contents is sized as its download: a
    // few bytes of zip for 200 KB of charts, far more than the card has.
    QVERIFY(ZipBuilder::write(mDir->filePath("r.zip"), { { "r.ugc", QByteArray(200000, 'r') } }));
    serve("r.zip", "Velamari/Charts/UGC/Region", readFile(mDir->filePath("r.zip")));
    publishManifest();
    mEnvironment->setFreeBytesBelow(card(), 4096 * 8);
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(false, true);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "nospace" }));
    QCOMPARE(tree(card()), before);
}

void CardUpdateTest::failedDownloadAfterRetries()
{
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("b.vl2", "Velamari/Charts/b.vl2", "new b");
    serve("c.vl2", "Velamari/Charts/c.vl2", "new c");
    HttpFaults notFound;
    notFound.status = 404;
    mServer.server().addRoute(HttpRoute::bytes("/files/b.vl2", "new b").setFaults(notFound));
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, true);

    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "error" }));
    // The size was announced, so the failure is the incomplete-file code.
    QCOMPARE(mOutcome.errorCode, int(FileWithWrongSize));
    QCOMPARE(mOutcome.errorMessage, mServer.url("/files/b.vl2").toString());
    QCOMPARE(mServer.server().requestCount("/files/b.vl2"), 4);
    QCOMPARE(mServer.server().requestCount("/files/c.vl2"), 0);
    QCOMPARE(mLog->linesStartingWith({ "*** Autoretry (" }).size(), 3);
    QCOMPARE(tree(card()), before);
}

void CardUpdateTest::archives_data()
{
    QTest::addColumn<ZipBuilder::Entries>("entries");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<int>("errorCode");
    // What the archive's folder holds afterwards (the chart file of the run
    // lands in the chart folder too).
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("installed");

    const QString region = "Velamari/Charts/UGC/Region";
    QTest::newRow("into an existing folder")
        << ZipBuilder::Entries { { "n1.ugc", "1" }, { "n2.ugc", "2" } } << region << false << 0 << region
        << QStringList { "n1.ugc", "n2.ugc" };
    QTest::newRow("empty archive") << ZipBuilder::Entries {} << region << false << 0 << region << QStringList {};
    QTest::newRow("sub-folders") << ZipBuilder::Entries { { "top.ugc", "t" }, { "Harbour/inner.ugc", "i" },
                                                          { "Harbour/Deep/deeper.uk", "d" } }
                                 << region << false << 0 << region
                                 << QStringList { "Harbour/Deep/deeper.uk", "Harbour/inner.ugc", "top.ugc" };
    // A destination that names the archive itself means the folder that holds it:
    // unpacked there, never copied onto the card as a zip.
    QTest::newRow("destination naming the archive")
        << ZipBuilder::Entries { { "n1.ugc", "1" } } << region + "/region.zip" << false << 0 << region
        << QStringList { "n1.ugc" };
    // A whole chart set replaces the chart folder.
    QTest::newRow("chart set for the chart folder")
        << ZipBuilder::Entries { { "s1.vl2", "1" }, { "s2.vl2", "2" } } << "Velamari/Charts" << false << 0
        << "Velamari/Charts" << QStringList { "a.vl2", "s1.vl2", "s2.vl2" };
    QTest::newRow("damaged archive") << ZipBuilder::Entries {} << region << true << int(ErrorPreparingInstallation)
                                     << region << QStringList {};
    QTest::newRow("zip slip") << ZipBuilder::Entries { { "fine.ugc", "f" }, { "../../../../slipped.ugc", "x" } }
                              << region << false << int(ErrorPreparingInstallation) << region << QStringList {};
    // It declares 10 bytes: 3 MB of zeros are a bomb, stopped in the download area.
    QTest::newRow("contents past the declared size")
        << ZipBuilder::Entries { { "fine.ugc", "f" }, { "bomb.ugc", QByteArray(3000000, '\0') } } << region << false
        << int(ErrorPreparingInstallation) << region << QStringList {};
}

void CardUpdateTest::archives()
{
    QFETCH(ZipBuilder::Entries, entries);
    QFETCH(QString, destination);
    QFETCH(bool, damaged);
    QFETCH(int, errorCode);
    QFETCH(QString, folder);
    QFETCH(QStringList, installed);

    const QString archive = mDir->filePath("region.zip");
    if (damaged)
        QVERIFY(writeFile(archive, "PK this is no archive"));
    else
        QVERIFY(ZipBuilder::write(archive, entries));
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("region.zip", destination, readFile(archive), entries.size(), 10);
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, true);

    if (errorCode == 0) {
        QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
        QCOMPARE(mOutcome.progress.last(), 100.0f);
        QStringList found = tree(card(folder)).keys();
        QCOMPARE(found, installed);
        for (const auto &entry : entries)
            QCOMPARE(readFile(card(folder + "/" + entry.first)), entry.second);
        QCOMPARE(readFile(card("nTag.txt")), QByteArray("CARD-1\n"));
    } else {
        QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "error" }));
        QCOMPARE(mOutcome.errorCode, errorCode);
        // The card is as it was, the replaced folder included, and nothing
        // landed anywhere in the test's folder outside the known places.
        QCOMPARE(tree(card()), before);
        QDirIterator it(mDir->path(), { "slipped.ugc", "bomb.ugc" }, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!it.hasNext());
    }
}

void CardUpdateTest::existingTargetFailsAfterTheOtherCopies()
{
    // "*.TXT" is no removal pattern, so the card's own file stays in the way.
    QVERIFY(writeFile(card("Velamari/Charts/Notes.TXT"), "old notes"));
    serve("Notes.TXT", "Velamari/Charts/Notes.TXT", "new notes");
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    publishManifest();
    runUpdate(true, false);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "error" }));
    QCOMPARE(mOutcome.errorCode, int(ErrorInstallChart));
    QCOMPARE(readFile(card("Velamari/Charts/Notes.TXT")), QByteArray("old notes"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("new a"));
}

void CardUpdateTest::realVolume()
{
    // A small tmpfs is a real card: its own free space and allocation unit.
    const QString mountPoint = mDir->filePath("volume");
    QVERIFY(QDir().mkpath(mountPoint));
    TmpfsMount volume(mountPoint, 256 * 1024);
    if (!volume.isMounted())
        QSKIP("mounting a tmpfs is not allowed here");
    mEnvironment->useRealClusterSize();
    mEnvironment->useRealFreeSpace();
    QVERIFY(writeFile(mountPoint + "/nTag.txt", "SMALL\n"));
    QVERIFY(writeFile(mountPoint + "/Velamari/Charts/old.vl2", QByteArray(40000, 'o')));

    serve("n1.vl2", "Velamari/Charts/n1.vl2", QByteArray(60000, '1'));
    serve("n2.vl2", "Velamari/Charts/n2.vl2", QByteArray(60000, '2'));
    publishManifest();
    runUpdate(true, false, QString(), mountPoint);
    QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
    QCOMPARE(readFile(mountPoint + "/Velamari/Charts/n2.vl2").size(), 60000);
    QVERIFY(!QFileInfo::exists(mountPoint + "/Velamari/Charts/old.vl2"));

    // More than the card holds, even with the old files gone.
    mServer.server().clearRoutes();
    mManifest = QJsonArray();
    mOutcome = Outcome();
    serve("big.vl2", "Velamari/Charts/big.vl2", QByteArray(300 * 1024, 'B'));
    publishManifest();
    runUpdate(true, false, QString(), mountPoint);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "nospace" }));
    QVERIFY(QFileInfo::exists(mountPoint + "/Velamari/Charts/n1.vl2"));
}

void CardUpdateTest::realVolumeCountsOnlyWhatTheUpdateRemoves()
{
    const QString mountPoint = mDir->filePath("volume");
    TmpfsMount volume(mountPoint, 512 * 1024);
    if (!volume.isMounted())
        QSKIP("mounting a tmpfs is not allowed here");
    mEnvironment->useRealClusterSize();
    mEnvironment->useRealFreeSpace();
    QVERIFY(writeFile(mountPoint + "/nTag.txt", "SMALL\n"));
    QVERIFY(writeFile(mountPoint + "/Velamari/Charts/old.vl2", QByteArray(20000, 'o')));
    // Community content stays when new charts come: its space is not free.
    QVERIFY(writeFile(mountPoint + "/Velamari/Charts/UGC/big.ugc", QByteArray(300 * 1024, 'u')));
    for (const char *name : { "n1.vl2", "n2.vl2", "n3.vl2", "n4.vl2" })
        serve(name, QStringLiteral("Velamari/Charts/") + name, QByteArray(100 * 1024, 'n'));
    publishManifest();
    const QMap<QString, QByteArray> before = tree(mountPoint);
    runUpdate(true, true, QString(), mountPoint);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "nospace" }));
    QCOMPARE(tree(mountPoint), before);
}

QTEST_GUILESS_MAIN(CardUpdateTest)
#include "tst_cardupdate.moc"
