#include "cardfiles.h"
#include "cardspace.h"
#include "testsupport.h"
#include "zipbuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

class CardFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void removalFilters_data();
    void removalFilters();
    void removeTreeWithHiddenAndNested();
    void removeMissingTreeIsSuccess();
    void removeTreeNeverFollowsLinks();
    void catalogueRemoval();
    void sizesRoundedToClusters();
    void emptyFilterListMatchesNothing();

    void unzipEntries();
    void unzipIntoExistingFolder();
    void unzipEmptyArchive();
    void unzipDamagedArchive();
    void unzipEntryFilter();
    void zipSlipIsRefused_data();
    void zipSlipIsRefused();
    void unzipNonAsciiNames();

    void copyDoesNotReplace();
    void copyIntoMissingFolderFails();

private:
    QString path(const QString &relative) const { return mDir->filePath(relative); }
    QTemporaryDir *mDir = nullptr;
};

void CardFilesTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void CardFilesTest::cleanup()
{
    delete mDir;
}

void CardFilesTest::removalFilters_data()
{
    QTest::addColumn<bool>("newtide");
    QTest::addColumn<bool>("community");
    QTest::addColumn<bool>("vl3");
    QTest::addColumn<QStringList>("filters");
    const QStringList charts { "*.txt", "*.pdf", "*.xml", "*.vl2", "*.psg", "*.pp", "*.bp2", "*.ap" };
    QTest::newRow("both with vl3") << true << true << true << (charts + QStringList { "*.uk", "*.ugc", "*.vl3" });
    QTest::newRow("charts only") << true << false << true << charts;
    QTest::newRow("community without vl3") << false << true << false << QStringList { "*.uk", "*.ugc" };
    QTest::newRow("nothing") << false << false << true << QStringList {};
}

void CardFilesTest::removalFilters()
{
    QFETCH(bool, newtide);
    QFETCH(bool, community);
    QFETCH(bool, vl3);
    QStringList filters { "left over" };
    buildRemovalFilters(newtide, community, vl3, filters);
    QTEST(filters, "filters");
}

void CardFilesTest::removeTreeWithHiddenAndNested()
{
    QVERIFY(writeFile(path("tree/a.txt"), "a"));
    QVERIFY(writeFile(path("tree/.hidden"), "h"));
    QVERIFY(writeFile(path("tree/sub/deeper/b.bin"), "b"));
    QVERIFY(QDir().mkpath(path("tree/empty")));
    QVERIFY(removeDirectoryTree(QDir(path("tree"))));
    QVERIFY(!QFileInfo::exists(path("tree")));
}

void CardFilesTest::removeMissingTreeIsSuccess()
{
    QVERIFY(removeDirectoryTree(QDir(path("never-there"))));
}

void CardFilesTest::removeTreeNeverFollowsLinks()
{
    QVERIFY(writeFile(path("precious/keep.txt"), "keep"));
    QVERIFY(QDir().mkpath(path("tree")));
    QVERIFY(QFile::link(path("precious"), path("tree/link")));
    QVERIFY(removeDirectoryTree(QDir(path("tree"))));
    QVERIFY(!QFileInfo::exists(path("tree")));
    QCOMPARE(readFile(path("precious/keep.txt")), QByteArray("keep"));
}

void CardFilesTest::catalogueRemoval()
{
    const QString root = mDir->path() + "/";
    QVERIFY(writeFile(path("chartcat.XML"), "c"));
    QVERIFY(writeFile(path("Velamari/Charts/one.xct"), "1"));
    QVERIFY(writeFile(path("Velamari/Charts/TWO.XCT"), "2"));
    QVERIFY(writeFile(path("Velamari/Charts/keep.vl2"), "k"));
    QVERIFY(writeFile(path("Velamari/Charts/UGC/three.xct"), "3"));
    removeChartCatalogue(root);
    QVERIFY(!QFileInfo::exists(path("chartcat.XML")));
    QVERIFY(!QFileInfo::exists(path("Velamari/Charts/one.xct")));
    QVERIFY(!QFileInfo::exists(path("Velamari/Charts/TWO.XCT")));
    QVERIFY(QFileInfo::exists(path("Velamari/Charts/keep.vl2")));
    QVERIFY(QFileInfo::exists(path("Velamari/Charts/UGC/three.xct")));
}

void CardFilesTest::sizesRoundedToClusters()
{
    QCOMPARE(roundUpToCluster(1, 32768), 32768ull);
    QCOMPARE(roundUpToCluster(32768, 32768), 32768ull);
    QCOMPARE(roundUpToCluster(32769, 32768), 65536ull);
    QCOMPARE(roundUpToCluster(0, 4096), 0ull);

    QVERIFY(writeFile(path("charts/a.vl2"), QByteArray(1, 'x')));
    QVERIFY(writeFile(path("charts/b.VL2"), QByteArray(4097, 'x')));
    QVERIFY(writeFile(path("charts/c.vl3"), QByteArray(10, 'x')));
    QVERIFY(writeFile(path("charts/.d.vl2"), QByteArray(10, 'x')));
    QVERIFY(writeFile(path("charts/sub/e.vl2"), QByteArray(10, 'x')));
    const QDir charts(path("charts"));
    // Hidden files and sub-folders are not counted; the card's names match in any case.
    QCOMPARE(sizeOfFilesToRemove(charts, { "*.vl2" }, 4096), 4096ull + 8192ull);
    QCOMPARE(sizeOfFilesToRemove(charts, { "*.vl2", "*.vl3" }, 4096), 3 * 4096ull + 4096ull);
    QCOMPARE(sizeOfFilesToRemove(QDir(path("missing")), { "*.vl2" }, 4096), 0ull);
}

void CardFilesTest::emptyFilterListMatchesNothing()
{
    QVERIFY(writeFile(path("charts/a.vl2"), "x"));
    QCOMPARE(sizeOfFilesToRemove(QDir(path("charts")), {}, 4096), 0ull);
}

void CardFilesTest::unzipEntries()
{
    QVERIFY(ZipBuilder::write(path("a.zip"), { { "one.ugc", "1" }, { "two.ugc", QByteArray(100000, 'z') },
                                               { "three.uk", "3" } }));
    QStringList extracted;
    QVERIFY(unzipArchive(path("a.zip"), path("out"), QString(), &extracted));
    QCOMPARE(extracted, (QStringList { "one.ugc", "two.ugc", "three.uk" }));
    QCOMPARE(readFile(path("out/two.ugc")), QByteArray(100000, 'z'));
    QCOMPARE(readFile(path("out/three.uk")), QByteArray("3"));
}

void CardFilesTest::unzipIntoExistingFolder()
{
    QVERIFY(writeFile(path("out/one.ugc"), "old"));
    QVERIFY(writeFile(path("out/other"), "stays"));
    QVERIFY(ZipBuilder::write(path("a.zip"), { { "one.ugc", "new" }, { "sub/dir/two.ugc", "2" }, { "sub/", "" } }));
    QStringList extracted;
    QVERIFY(unzipArchive(path("a.zip"), path("out"), QString(), &extracted));
    QCOMPARE(readFile(path("out/one.ugc")), QByteArray("new"));
    QCOMPARE(readFile(path("out/sub/dir/two.ugc")), QByteArray("2"));
    QCOMPARE(readFile(path("out/other")), QByteArray("stays"));
    QCOMPARE(extracted, (QStringList { "one.ugc", "sub/dir/two.ugc" }));
}

void CardFilesTest::unzipEmptyArchive()
{
    QVERIFY(ZipBuilder::write(path("empty.zip"), {}));
    QVERIFY(QDir().mkpath(path("out")));
    QStringList extracted;
    QVERIFY(unzipArchive(path("empty.zip"), path("out"), QString(), &extracted));
    QVERIFY(extracted.isEmpty());
    QVERIFY(QDir(path("out")).isEmpty());
}

void CardFilesTest::unzipDamagedArchive()
{
    QVERIFY(ZipBuilder::write(path("good.zip"), { { "a.ugc", QByteArray(5000, 'a') } }));
    QByteArray damaged = readFile(path("good.zip"));
    damaged.truncate(damaged.size() / 2);
    QVERIFY(writeFile(path("damaged.zip"), damaged));
    QVERIFY(writeFile(path("noise.zip"), "this is not an archive at all"));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^zip\\.open\\(\\): -?\\d+$"));
    QVERIFY(!unzipArchive(path("damaged.zip"), path("out"), QString()));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^zip\\.open\\(\\): -?\\d+$"));
    QVERIFY(!unzipArchive(path("noise.zip"), path("out"), QString()));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^zip\\.open\\(\\): -?\\d+$"));
    QVERIFY(!unzipArchive(path("missing.zip"), path("out"), QString()));

    // The directory breaks after its first record: not an archive of one file.
    QVERIFY(ZipBuilder::write(path("two.zip"), { { "a.ugc", "A" }, { "b.ugc", "B" } }));
    QByteArray cut = readFile(path("two.zip"));
    const int first = cut.indexOf(QByteArray("PK\x01\x02", 4));
    const int second = cut.indexOf(QByteArray("PK\x01\x02", 4), first + 4);
    QVERIFY(first > 0 && second > first);
    cut[second + 2] = 'X';
    QVERIFY(writeFile(path("cut.zip"), cut));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^getCurrentFileInfo\\(\\): -?\\d+\n$"));
    QVERIFY(!unzipArchive(path("cut.zip"), path("out"), QString()));
}

void CardFilesTest::unzipEntryFilter()
{
    QVERIFY(ZipBuilder::write(path("a.zip"), { { "keep-1.ugc", "1" }, { "drop.ugc", "2" }, { "keep-2.uk", "3" } }));
    QStringList extracted;
    QVERIFY(unzipArchive(path("a.zip"), path("out"), "keep", &extracted));
    QCOMPARE(extracted, (QStringList { "keep-1.ugc", "keep-2.uk" }));
    QVERIFY(!QFileInfo::exists(path("out/drop.ugc")));
}

void CardFilesTest::zipSlipIsRefused_data()
{
    QTest::addColumn<QString>("evilName");
    QTest::newRow("parent") << "../evil.txt";
    QTest::newRow("deep parent") << "a/b/../../../evil.txt";
    QTest::newRow("absolute") << "/tmp/evil.txt";
    QTest::newRow("backslashes") << "..\\evil.txt";
    QTest::newRow("drive") << "C:/evil.txt";
}

void CardFilesTest::zipSlipIsRefused()
{
    QFETCH(QString, evilName);
    QVERIFY(ZipBuilder::write(path("work/evil.zip"), { { "good.ugc", "g" }, { evilName, "evil" } }));
    QVERIFY(!unzipArchive(path("work/evil.zip"), path("work/out"), QString()));
    // Nothing at all is written, neither inside nor outside.
    QVERIFY(!QFileInfo::exists(path("work/out/good.ugc")));
    QVERIFY(!QFileInfo::exists(path("work/evil.txt")));
    QVERIFY(!QFileInfo::exists(path("evil.txt")));
    QVERIFY(!QFileInfo::exists("/tmp/evil.txt") || readFile("/tmp/evil.txt") != "evil");
}

void CardFilesTest::unzipNonAsciiNames()
{
    QVERIFY(ZipBuilder::write(path("a.zip"), { { QString::fromUtf8("Bucht_Kühlung_Ø.ugc"), "x" } }));
    QVERIFY(unzipArchive(path("a.zip"), path("out"), QString()));
    QCOMPARE(readFile(path(QString::fromUtf8("out/Bucht_Kühlung_Ø.ugc"))), QByteArray("x"));
}

void CardFilesTest::copyDoesNotReplace()
{
    QVERIFY(writeFile(path("source"), "new content"));
    QVERIFY(writeFile(path("card/target"), "old"));
    QVERIFY(!copyFileToCard(path("source"), path("card/target")));
    QCOMPARE(readFile(path("card/target")), QByteArray("old"));
    QVERIFY(copyFileToCard(path("source"), path("card/fresh")));
    QCOMPARE(readFile(path("card/fresh")), QByteArray("new content"));
}

void CardFilesTest::copyIntoMissingFolderFails()
{
    QVERIFY(writeFile(path("source"), "x"));
    QVERIFY(!copyFileToCard(path("source"), path("card/no/such/folder/target")));
    QVERIFY(!copyFileToCard(path("missing"), path("card-target")));
    QVERIFY(!QFileInfo::exists(path("card-target")));
}

QTEST_GUILESS_MAIN(CardFilesTest)
#include "tst_cardfiles.moc"
