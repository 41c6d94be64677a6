#include "archiveunpacker.h"
#include "fileobject.h"
#include "installation.h"
#include "testsupport.h"
#include "zipbuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// Archives unpacked in the download area while other files still download.
class ArchiveUnpackerTest : public QObject
{
    Q_OBJECT

private slots:
    void unpacksWhatArrived_data();
    void unpacksWhatArrived();

private:
    FileObject *entry(const QString &destination, const QString &name)
    {
        auto *object = new FileObject(destination, "1", "http://h/" + name, name, QString());
        mEntries.append(object);
        return object;
    }
    QList<FileObject *> mEntries;
};

void ArchiveUnpackerTest::unpacksWhatArrived_data()
{
    QTest::addColumn<QString>("regionFolder");
    QTest::addColumn<bool>("regionDamaged");
    QTest::addColumn<bool>("unpackedBeforeFinish");
    QTest::addColumn<bool>("result");

    QTest::newRow("unpacked as soon as it arrived") << "Velamari/Charts/UGC/Region" << false << true << true;
    // The chart folder also receives the plain chart file: the archive waits
    // for every download, so that the folder ends as if unpacked last.
    QTest::newRow("folder shared with a download") << "Velamari/Charts" << false << false << true;
    // Unpacked early and failed: the run hears it at finish, and the other
    // archive is still unpacked.
    QTest::newRow("damaged archive") << "Velamari/Charts/UGC/Region" << true << true << false;
}

void ArchiveUnpackerTest::unpacksWhatArrived()
{
    QFETCH(QString, regionFolder);
    QFETCH(bool, regionDamaged);
    QFETCH(bool, unpackedBeforeFinish);
    QFETCH(bool, result);

    QTemporaryDir dir;
    const QDir downloadDir(dir.filePath("download"));
    QVERIFY(writeFile(dir.filePath("card/nTag.txt"), "CARD\n"));
    const QString plainPath = downloadDir.filePath("Velamari/Charts/a.vl2");
    QVERIFY(writeFile(plainPath, "new a"));
    const QString regionZip = downloadDir.filePath(regionFolder + "/region.zip");
    if (regionDamaged)
        QVERIFY(writeFile(regionZip, "PK no archive"));
    else
        QVERIFY(ZipBuilder::write(regionZip, { { "r1.ugc", "1" }, { "Deep/r2.ugc", "22" } }));
    const QString marksZip = downloadDir.filePath("Velamari/Charts/UGC/Marks/marks.zip");
    QVERIFY(ZipBuilder::write(marksZip, { { "m.ugc", "m" } }));

    const QList<FileObject *> list { entry("Velamari/Charts/a.vl2", "a.vl2"), entry(regionFolder, "region.zip"),
                                     entry("Velamari/Charts/UGC/Marks", "marks.zip") };
    Installation installation(false, true, dir.filePath("card"), QString());
    ArchiveUnpacker unpacker(installation, downloadDir, list);
    unpacker.fileArrived(plainPath); // no archive: nothing to do
    unpacker.fileArrived(regionZip);
    if (unpackedBeforeFinish) {
        // It went while "the rest" still downloads, before finish().
        QTRY_COMPARE(unpacker.unpackedEarly(), 1);
        QCOMPARE(QFileInfo::exists(downloadDir.filePath(regionFolder + "/r1.ugc")), !regionDamaged);
    }
    QCOMPARE(unpacker.finish(), result);
    QCOMPARE(unpacker.unpackedEarly(), unpackedBeforeFinish ? 1 : 0);
    // Too late once finished: nothing more starts.
    unpacker.fileArrived(marksZip);
    QCOMPARE(unpacker.unpackedEarly(), unpackedBeforeFinish ? 1 : 0);

    QCOMPARE(readFile(downloadDir.filePath("Velamari/Charts/UGC/Marks/m.ugc")), QByteArray("m"));
    QVERIFY(!QFileInfo::exists(marksZip));
    QCOMPARE(readFile(plainPath), QByteArray("new a"));
    if (!regionDamaged) {
        QCOMPARE(readFile(downloadDir.filePath(regionFolder + "/Deep/r2.ugc")), QByteArray("22"));
        QVERIFY(!QFileInfo::exists(regionZip));
        QCOMPARE(installation.filesToInstall(list, downloadDir).size(), 1 + 2 + 1);
    }
    qDeleteAll(mEntries);
    mEntries.clear();
}

QTEST_GUILESS_MAIN(ArchiveUnpackerTest)
#include "tst_archiveunpacker.moc"
