#include "cardfiles.h"
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

    void removeTreeWithHiddenAndNested();
    void removeMissingTreeIsSuccess();
    void removeTreeNeverFollowsLinks_data();
    void removeTreeNeverFollowsLinks();
    void clearingEmptiesTheSonarFolder_data();
    void clearingEmptiesTheSonarFolder();
    void catalogueRemoval();
    void sizeOfFilesToRemove_data();
    void sizeOfFilesToRemove();

    void unzipEntries();
    void unzipIntoExistingFolder();
    void unzipEmptyArchive();
    void unzipDamagedArchive_data();
    void unzipDamagedArchive();
    void unzipEntryFilter();
    void zipSlipIsRefused_data();
    void zipSlipIsRefused();
    void unzipNonAsciiNames();
    void unzipStopsAtItsLimit_data();
    void unzipStopsAtItsLimit();

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

void CardFilesTest::removeTreeNeverFollowsLinks_data()
{
    QTest::addColumn<QString>("link"); // the link to "precious", below the folder removed
    QTest::newRow("link inside the folder") << "tree/link";
    QTest::newRow("link deeper inside") << "tree/sub/link";
    QTest::newRow("the folder itself is a link") << "tree";
}

void CardFilesTest::removeTreeNeverFollowsLinks()
{
    QFETCH(QString, link);
    QVERIFY(writeFile(path("precious/keep.txt"), "keep"));
    QVERIFY(writeFile(path("precious/deep/more.txt"), "more"));
    QVERIFY(QDir().mkpath(QFileInfo(path(link)).path()));
    QVERIFY(QFile::link(path("precious"), path(link)));
    QVERIFY(removeDirectoryTree(QDir(path("tree"))));
    QVERIFY(!QFileInfo::exists(path("tree")) && !QFileInfo(path("tree")).isSymLink());
    QCOMPARE(readFile(path("precious/keep.txt")), QByteArray("keep"));
    QCOMPARE(readFile(path("precious/deep/more.txt")), QByteArray("more"));
}

// Converted tracks of an earlier run must not be sent again, whether or not
// the download folder is there yet.
void CardFilesTest::clearingEmptiesTheSonarFolder_data()
{
    QTest::addColumn<bool>("downloadFolderExists");
    QTest::newRow("download folder present") << true;
    QTest::newRow("download folder missing") << false;
}

void CardFilesTest::clearingEmptiesTheSonarFolder()
{
    QFETCH(bool, downloadFolderExists);
    QVERIFY(writeFile(path("area/ugd/stk-tracks/old.zip"), "converted last run"));
    if (downloadFolderExists)
        QVERIFY(writeFile(path("area/Download/Velamari/a.vl2"), "a"));
    clearDownloadArea(QDir(path("area/Download")));
    QVERIFY(!QFileInfo::exists(path("area/ugd")));
    QVERIFY(!QFileInfo::exists(path("area/Download")));
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

void CardFilesTest::sizeOfFilesToRemove_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<quint32>("cluster");
    QTest::addColumn<quint64>("size");
    // The folder holds a.vl2 (1 byte), b.VL2 (4097), c.vl3 (10), the hidden
    // .d.vl2 and sub/e.vl2: hidden files and sub-folders are not counted,
    // the card's names match in any letter case.
    QTest::newRow("one pattern") << "charts" << QStringList { "*.vl2" } << 4096u << quint64(4096 + 8192);
    QTest::newRow("two patterns") << "charts" << QStringList { "*.vl2", "*.vl3" } << 4096u << quint64(3 * 4096 + 4096);
    QTest::newRow("no pattern matches nothing") << "charts" << QStringList {} << 4096u << quint64(0);
    QTest::newRow("cluster size unknown") << "charts" << QStringList { "*.vl2" } << 0u << quint64(0);
    QTest::newRow("missing folder") << "missing" << QStringList { "*.vl2" } << 4096u << quint64(0);
}

void CardFilesTest::sizeOfFilesToRemove()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, filters);
    QFETCH(quint32, cluster);
    QVERIFY(writeFile(path("charts/a.vl2"), QByteArray(1, 'x')));
    QVERIFY(writeFile(path("charts/b.VL2"), QByteArray(4097, 'x')));
    QVERIFY(writeFile(path("charts/c.vl3"), QByteArray(10, 'x')));
    QVERIFY(writeFile(path("charts/.d.vl2"), QByteArray(10, 'x')));
    QVERIFY(writeFile(path("charts/sub/e.vl2"), QByteArray(10, 'x')));
    QTEST(::sizeOfFilesToRemove(QDir(path(folder)), filters, cluster), "size");
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

void CardFilesTest::unzipDamagedArchive_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");
    const QString notOpened = "^zip\\.open\\(\\): -?\\d+$";
    QTest::newRow("cut in half") << "half" << notOpened;
    QTest::newRow("no archive at all") << "noise" << notOpened;
    QTest::newRow("missing") << "missing" << notOpened;
    // The directory breaks after its first record: not an archive of one file.
    QTest::newRow("broken directory") << "directory" << "^getCurrentFileInfo\\(\\): -?\\d+\n$";
}

void CardFilesTest::unzipDamagedArchive()
{
    QFETCH(QString, damage);
    QFETCH(QString, message);
    QVERIFY(ZipBuilder::write(path("good.zip"), { { "a.ugc", QByteArray(5000, 'a') }, { "b.ugc", "B" } }));
    QByteArray archive = readFile(path("good.zip"));
    if (damage == "half") {
        archive.truncate(archive.size() / 2);
    } else if (damage == "noise") {
        archive = "this is not an archive at all";
    } else if (damage == "directory") {
        const int first = archive.indexOf(QByteArray("PK\x01\x02", 4));
        const int second = archive.indexOf(QByteArray("PK\x01\x02", 4), first + 4);
        QVERIFY(first > 0 && second > first);
        archive[second + 2] = 'X';
    }
    if (damage != "missing")
        QVERIFY(writeFile(path("damaged.zip"), archive));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(message));
    QVERIFY(!unzipArchive(path("damaged.zip"), path("out"), QString()));
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

void CardFilesTest::unzipStopsAtItsLimit_data()
{
    QTest::addColumn<quint64>("limit");
    QTest::addColumn<bool>("unpacked");
    // Two entries of 60000 and 50000 bytes.
    QTest::newRow("room for all") << quint64(110000) << true;
    QTest::newRow("one byte short") << quint64(109999) << false;
    QTest::newRow("not even the first") << quint64(1000) << false;
}

void CardFilesTest::unzipStopsAtItsLimit()
{
    QFETCH(quint64, limit);
    QFETCH(bool, unpacked);
    QVERIFY(ZipBuilder::write(path("a.zip"), { { "one.ugc", QByteArray(60000, 'a') }, { "two.ugc", QByteArray(50000, 'b') } }));
    QStringList extracted;
    QCOMPARE(unzipArchive(path("a.zip"), path("out"), QString(), &extracted, limit), unpacked);
    // A stopped archive leaves nothing of itself behind.
    const QStringList expected = unpacked ? QStringList { "one.ugc", "two.ugc" } : QStringList();
    QCOMPARE(TestSupport::folderEntries(path("out")), expected);
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
