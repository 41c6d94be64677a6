#include "chip.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class ChipTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingRootDoesNotOpen();
    void emptyRootDoesNotOpen();
    void tagWithoutVelamariFolder();
    void velamariFolderWithoutTag();
    void tagIsFirstLineTrimmed();
    void emptyTagFileStillCounts();
    void indexParsing();
    void firstCompletePewterRecordWins();
    void indexWithoutPewter();
    void oldChartFilesInAnyCase_data();
    void oldChartFilesInAnyCase();
    void reopenForgetsEarlierCard();
    void tagMatchesFollowsTheCard();
    void writableCardLeavesNoScratchFile();
    void writeProtectedCard();
    void closedChipIsNotWritable();

private:
    QString root() const { return mDir->path(); }
    void write(const QString &relative, const QByteArray &data)
    {
        QVERIFY(TestSupport::writeFile(mDir->filePath(relative), data));
    }
    QTemporaryDir *mDir = nullptr;
};

void ChipTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void ChipTest::cleanup()
{
    chmod(QFile::encodeName(root()).constData(), 0700);
    delete mDir;
}

void ChipTest::missingRootDoesNotOpen()
{
    Chip chip;
    QVERIFY(!chip.open(root() + "/gone"));
    QVERIFY(!chip.rootDir());
    QVERIFY(chip.tag().isEmpty());
    QVERIFY(!chip.open(QString()));
}

void ChipTest::emptyRootDoesNotOpen()
{
    Chip chip;
    QVERIFY(!chip.open(root()));
    QVERIFY(!chip.rootDir());
}

void ChipTest::tagWithoutVelamariFolder()
{
    write("nTag.txt", "ABC123\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QCOMPARE(chip.tag(), QStringLiteral("ABC123"));
    QVERIFY(chip.rootDir());
    QVERIFY(!chip.velamariDir());
    QVERIFY(!chip.chartsDir());
    QVERIFY(chip.entries().empty());
    QVERIFY(!chip.hasPewterEntry());
}

void ChipTest::velamariFolderWithoutTag()
{
    QVERIFY(QDir().mkpath(root() + "/Velamari"));
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(chip.tag().isEmpty());
    QVERIFY(chip.velamariDir());
    QCOMPARE(chip.chartsDir()->path(), root() + "/Velamari/Charts");
    QCOMPARE(chip.ugcDir()->path(), root() + "/Velamari/Charts/UGC");
    QCOMPARE(chip.indexFile()->fileName(), root() + "/Velamari/Index.txt");
}

void ChipTest::tagIsFirstLineTrimmed()
{
    write("nTag.txt", "   VX-0042 \t\r\nsecond line\nthird\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QCOMPARE(chip.tag(), QStringLiteral("VX-0042"));
}

void ChipTest::emptyTagFileStillCounts()
{
    write("nTag.txt", "");
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(chip.tag().isEmpty());
}

void ChipTest::indexParsing()
{
    write("nTag.txt", "T\n");
    write("Velamari/Index.txt",
          "Header: ignored before the first record\n"
          "directory: Pewter01\n"
          "TYPE : pewter\n"
          "Chart: Gulf of Naples\n"
          "Version: 3\n"
          "Edition date: 2012-05-06 07:08:09\n"
          "Description:\n"
          "a line without colon\n"
          "Colour: blue\n"
          "Directory: Broken\n"
          "Type: Gold\n"
          "Chart: lacks a version\n"
          "Edition date: 2013\n"
          "Directory: Gold02\n"
          "Type: Gold\n"
          "Chart: Tyrrhenian: North\n"
          "Version: 1\n"
          "Version: 2\n"
          "Edition date: 2014\n"
          "Description: the: last\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    const std::vector<ChartIndexEntry> &entries = chip.entries();
    QCOMPARE(int(entries.size()), 2);
    QCOMPARE(entries[0].directory, QStringLiteral("Pewter01"));
    QCOMPARE(entries[0].type, QStringLiteral("pewter"));
    QCOMPARE(entries[0].editionDate, QStringLiteral("2012-05-06 07:08:09"));
    QVERIFY(entries[0].description.isEmpty());
    QCOMPARE(entries[1].chart, QStringLiteral("Tyrrhenian: North"));
    QCOMPARE(entries[1].version, QStringLiteral("2"));
    QCOMPARE(entries[1].description, QStringLiteral("the: last"));
    QVERIFY(chip.hasPewterEntry());
    QCOMPARE(chip.pewterIndex(), 0);
    QCOMPARE(chip.pewterEntry()->directory, QStringLiteral("Pewter01"));
}

void ChipTest::firstCompletePewterRecordWins()
{
    write("Velamari/Index.txt",
          "Directory: Gold\nType: Gold\nChart: a\nVersion: 1\nEdition date: x\n"
          "Directory: P-incomplete\nType: Pewter\nChart: b\nEdition date: x\n"
          "Directory: P1\nType: PEWTER\nChart: c\nVersion: 1\nEdition date: x\n"
          "Directory: P2\nType: Pewter\nChart: d\nVersion: 1\nEdition date: x\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QCOMPARE(int(chip.entries().size()), 3);
    QCOMPARE(chip.pewterIndex(), 1);
    QCOMPARE(chip.pewterEntry()->directory, QStringLiteral("P1"));
}

void ChipTest::indexWithoutPewter()
{
    write("Velamari/Index.txt", "Directory: G\nType: Gold\nChart: a\nVersion: 1\nEdition date: x\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(!chip.hasPewterEntry());
    QCOMPARE(chip.pewterIndex(), -1);
    QVERIFY(!chip.pewterEntry());
}

void ChipTest::oldChartFilesInAnyCase_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("old");
    QTest::newRow("lower case") << "Velamari/Charts/a.vl2" << true;
    QTest::newRow("capitals") << "Velamari/Charts/A.VL2" << true;
    QTest::newRow("hidden") << "Velamari/Charts/.b.vl2" << true;
    QTest::newRow("other extension") << "Velamari/Charts/a.vl3" << false;
    QTest::newRow("only in UGC") << "Velamari/Charts/UGC/a.vl2" << false;
}

void ChipTest::oldChartFilesInAnyCase()
{
    QFETCH(QString, file);
    write(file, "x");
    Chip chip;
    QVERIFY(chip.open(root()));
    QTEST(chip.hasOldChartFiles(), "old");
}

void ChipTest::reopenForgetsEarlierCard()
{
    write("nTag.txt", "FIRST\n");
    write("Velamari/Index.txt", "Directory: P\nType: Pewter\nChart: c\nVersion: 1\nEdition date: x\n");
    write("Velamari/Charts/x.vl2", "x");
    QTemporaryDir other;
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(chip.hasPewterEntry());
    QVERIFY(!chip.open(other.path()));
    QVERIFY(chip.tag().isEmpty());
    QVERIFY(!chip.hasPewterEntry());
    QVERIFY(!chip.hasOldChartFiles());
    QVERIFY(chip.entries().empty());
}

void ChipTest::tagMatchesFollowsTheCard()
{
    write("nTag.txt", "AAA\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(chip.tagMatches());

    write("nTag.txt", "aaa\n");
    QVERIFY(!chip.tagMatches()); // letter case counts

    QFile::remove(root() + "/nTag.txt");
    QVERIFY(!chip.tagMatches());

    QVERIFY(QDir().mkpath(root() + "/Velamari"));
    Chip untagged;
    QVERIFY(untagged.open(root()));
    QVERIFY(untagged.tagMatches()); // no tag before, none now

    Chip closed;
    QVERIFY(!closed.tagMatches());
}

void ChipTest::writableCardLeavesNoScratchFile()
{
    write("nTag.txt", "W\n");
    Chip chip;
    QVERIFY(chip.open(root()));
    QVERIFY(chip.isWritable());
    QVERIFY(!QFile::exists(root() + "/wr-test"));
    QCOMPARE(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList { "nTag.txt" });
}

void ChipTest::writeProtectedCard()
{
    if (!TestSupport::permissionsAreIgnored()) {
        write("nTag.txt", "RO\n");
        Chip chip;
        QVERIFY(chip.open(root()));
        QCOMPARE(chmod(QFile::encodeName(root()).constData(), 0500), 0);
        QVERIFY(!chip.isWritable());
        QVERIFY(!QFile::exists(root() + "/wr-test"));
        return;
    }
    // Root writes into read-only folders; a volume mounted read-only stops it.
    TmpfsMount card(root() + "/card", 1024 * 1024);
    if (!card.isMounted())
        QSKIP("running as root without permission to mount: cannot make a write-protected card");
    QVERIFY(TestSupport::writeFile(card.mountPoint() + "/nTag.txt", "RO\n"));
    QVERIFY(card.remountReadOnly());
    Chip chip;
    QVERIFY(chip.open(card.mountPoint()));
    QCOMPARE(chip.tag(), QStringLiteral("RO"));
    QVERIFY(!chip.isWritable());
    QVERIFY(!QFile::exists(card.mountPoint() + "/wr-test"));
}

void ChipTest::closedChipIsNotWritable()
{
    Chip chip;
    QVERIFY(!chip.isWritable());
    write("nTag.txt", "X\n");
    QVERIFY(chip.open(root()));
    QVERIFY(mDir->remove());
    QVERIFY(!chip.isWritable());
}

QTEST_GUILESS_MAIN(ChipTest)
#include "tst_chip.moc"
