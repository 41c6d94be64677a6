#include "cardformat.h"
#include "cardupdatefixture.h"
#include "errorcodes.h"
#include "testsupport.h"
#include "zipbuilder.h"

#include <QFile>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// Whole card updates onto a card that loses writes or whose file system
// cannot hold a file of the update.
class CardIntegrityTest : public CardUpdateFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { startStore(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void readBack_data();
    void readBack();
    void fileTooLargeForTheCardsFormat_data();
    void fileTooLargeForTheCardsFormat();
    void sizesThatArrivedAreCheckedAgain_data();
    void sizesThatArrivedAreCheckedAgain();
};

void CardIntegrityTest::readBack_data()
{
    QTest::addColumn<QString>("altered");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("readBackOn");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("card keeps everything") << QString() << QString() << true << 0;
    QTest::newRow("chart file: one byte flipped") << "Velamari/Charts/b.vl2" << "flip" << true
                                                  << int(ErrorCardReadBackMismatch);
    QTest::newRow("chart file: cut short") << "Velamari/Charts/b.vl2" << "truncate" << true
                                           << int(ErrorCardReadBackMismatch);
    QTest::newRow("archive member: one byte flipped") << "Velamari/Charts/UGC/Region/r2.ugc" << "flip" << true
                                                      << int(ErrorCardReadBackMismatch);
    // Turned off, a card that lost a write goes unnoticed, as before.
    QTest::newRow("read-back off") << "Velamari/Charts/b.vl2" << "flip" << false << 0;
}

void CardIntegrityTest::readBack()
{
    QFETCH(QString, altered);
    QFETCH(QString, how);
    QFETCH(bool, readBackOn);
    QFETCH(int, errorCode);

    const QByteArray b(300000, 'b');
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("b.vl2", "Velamari/Charts/b.vl2", b);
    QVERIFY(ZipBuilder::write(mDir->filePath("region.zip"), { { "r1.ugc", "1" }, { "r2.ugc", "22" } }));
    serve("region.zip", "Velamari/Charts/UGC/Region", readFile(mDir->filePath("region.zip")), 2, 3);
    publishManifest();
    mReadBack = readBackOn;
    // The card loses the write after the copy reported it done; the hook
    // runs when the read-back (or nobody) looks past the cache.
    const QString victim = altered.isEmpty() ? QString() : QDir(card(altered)).absolutePath();
    mEnvironment->setCacheDropHook([victim, how](const QString &path) {
        if (victim.isEmpty() || QDir(path).absolutePath() != victim)
            return;
        QFile file(path);
        if (how == "truncate") {
            file.resize(file.size() / 2);
            return;
        }
        file.open(QIODevice::ReadWrite);
        file.seek(file.size() - 1);
        file.write("~");
    });
    runUpdate(true, true);

    if (errorCode == 0) {
        QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "ugc", "completed" }));
        QCOMPARE(mOutcome.progress.last(), 100.0f);
        QCOMPARE(mLog->linesStartingWith({ "- Read back from the card:" }).size(), readBackOn ? 1 : 0);
        if (altered.isEmpty())
            QCOMPARE(readFile(card("Velamari/Charts/b.vl2")), b);
        return;
    }
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "ugc", "error" }));
    QCOMPARE(mOutcome.errorCode, errorCode);
    QCOMPARE(errorCodeName(errorCode), QStringLiteral("ErrorCardReadBackMismatch"));
    QCOMPARE(QDir(mOutcome.errorMessage).absolutePath(), victim);
    const QStringList lines = mLog->linesStartingWith({ "*** The card did not keep what was written:" });
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(victim), qPrintable(lines.first()));
}

void CardIntegrityTest::fileTooLargeForTheCardsFormat_data()
{
    QTest::addColumn<QString>("fileSystem");
    QTest::addColumn<qint64>("plainSize");
    QTest::addColumn<qint64>("archiveUnzipped");
    QTest::addColumn<int>("archiveFiles");
    // The entry refused before anything is downloaded; empty when the
    // format holds every file and the run goes on to the download.
    QTest::addColumn<QString>("refused");

    const qint64 fatLimit = 4294967295LL;
    QTest::newRow("FAT, chart file of 4 GiB") << "vfat" << fatLimit + 1 << qint64(10) << 1 << "Velamari/Charts/big.vl2";
    QTest::newRow("FAT, archive of one 5 GiB file")
        << "vfat" << qint64(5) << 5 * 1073741824LL << 1 << "Velamari/Charts/UGC/Region/region.zip";
    QTest::newRow("FAT, chart file of 4 GiB - 1") << "vfat" << fatLimit << qint64(10) << 1 << QString();
    // Many files of 5 GiB in all: none need be too large.
    QTest::newRow("FAT, archive of two files, 5 GiB in all") << "vfat" << qint64(5) << 5 * 1073741824LL << 2 << QString();
    QTest::newRow("exFAT, chart file of 5 GiB") << "exfat" << 5 * 1073741824LL << qint64(10) << 1 << QString();
}

void CardIntegrityTest::fileTooLargeForTheCardsFormat()
{
    QFETCH(QString, fileSystem);
    QFETCH(qint64, plainSize);
    QFETCH(qint64, archiveUnzipped);
    QFETCH(int, archiveFiles);
    QFETCH(QString, refused);

    mEnvironment->setFileSystemType(fileSystem);
    mEnvironment->setFreeBytes(64 * 1073741824LL);
    serve("big.vl2", "Velamari/Charts/big.vl2", "short", -1, -1, plainSize);
    ZipBuilder::Entries entries;
    for (int i = 0; i < archiveFiles; ++i)
        entries.append({ QStringLiteral("r%1.ugc").arg(i), "r" });
    QVERIFY(ZipBuilder::write(mDir->filePath("region.zip"), entries));
    serve("region.zip", "Velamari/Charts/UGC/Region", readFile(mDir->filePath("region.zip")), archiveFiles,
          archiveUnzipped);
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, true);

    if (refused.isEmpty()) {
        QVERIFY(mOutcome.phases.contains("download"));
        QVERIFY(mOutcome.errorCode != ErrorFileTooLargeForCard);
        return;
    }
    QCOMPARE(mOutcome.phases, (QStringList { "init", "error" }));
    QCOMPARE(mOutcome.errorCode, int(ErrorFileTooLargeForCard));
    QCOMPARE(errorCodeName(mOutcome.errorCode), QStringLiteral("ErrorFileTooLargeForCard"));
    QCOMPARE(mOutcome.errorMessage, refused);
    QCOMPARE(mServer.server().requestCount("/files/big.vl2"), 0);
    QCOMPARE(mServer.server().requestCount("/files/region.zip"), 0);
    QCOMPARE(tree(card()), before);
}

void CardIntegrityTest::sizesThatArrivedAreCheckedAgain_data()
{
    QTest::addColumn<QString>("fileSystem");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("refused");

    QTest::newRow("FAT, 4 GiB - 1") << "vfat" << 4294967295LL << false;
    QTest::newRow("FAT, 4 GiB") << "vfat" << 4294967296LL << true;
    QTest::newRow("exFAT, 4 GiB") << "exfat" << 4294967296LL << false;
    QTest::newRow("ext4, 4 GiB") << "ext4" << 4294967296LL << false;
}

void CardIntegrityTest::sizesThatArrivedAreCheckedAgain()
{
    QFETCH(QString, fileSystem);
    QFETCH(qint64, size);
    QFETCH(bool, refused);

    // Sparse: the size is real, the disk holds next to nothing.
    const QString small = mDir->filePath("download/small.vl2");
    const QString big = mDir->filePath("download/big.vl2");
    QVERIFY(writeFile(small, "s"));
    QVERIFY(writeFile(big, QByteArray()));
    QVERIFY(QFile(big).resize(size));
    mEnvironment->setFileSystemType(fileSystem);
    const CardFormat format(card());
    QCOMPARE(format.firstTooLarge({ QFileInfo(small), QFileInfo(big) }), refused ? QFileInfo(big).absoluteFilePath() : QString());
}

QTEST_GUILESS_MAIN(CardIntegrityTest)
#include "tst_cardintegrity.moc"
