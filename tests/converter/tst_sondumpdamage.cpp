#include "dumptestsupport.h"
#include "exitstatus.h"
#include "syntheticslg.h"
#include "testsupport.h"
#include "zipper.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace DumpTest;

// Sondump on damaged logs and tracks: what it skips, where it gives up, and
// that no damage crashes it or makes it invent soundings.
class SondumpDamageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void slgGivesUpWhenNoRecordFollows_data();
    void slgGivesUpWhenNoRecordFollows();
    void sl2GivesUpWhenNoFrameFollows_data();
    void sl2GivesUpWhenNoFrameFollows();
    void damagedRecordsAreSkipped_data();
    void damagedRecordsAreSkipped();
    void damageNeverInventsSoundings_data();
    void damageNeverInventsSoundings();
    void damagedArchives_data();
    void damagedArchives();
    void truncationsNeverCrash_data();
    void truncationsNeverCrash();
    void byteFlipsNeverCrash_data();
    void byteFlipsNeverCrash();

private:
    QTemporaryDir *mDir = nullptr;
};

void SondumpDamageTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void SondumpDamageTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

void SondumpDamageTest::slgGivesUpWhenNoRecordFollows_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("countError");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<QString>("reason");

    QTest::newRow("count one too high") << 0x6D14 << 1 << 1200 << "sample count 1153 where the block leaves 1152";
    QTest::newRow("count one too low") << 0x6D15 << -1 << 1200 << "(flag word 0x6D15 not understood)";
    QTest::newRow("fields overrun a small block") << 0x7FFF << 0 << 40 << "do not fit a block of 40 bytes";
}

void SondumpDamageTest::slgGivesUpWhenNoRecordFollows()
{
    QFETCH(int, flags);
    QFETCH(int, countError);
    QFETCH(int, blockSize);
    QFETCH(QString, reason);

    // From record 3 on every record has a flag word whose layout is not
    // understood: nothing after the first of them can be decoded.
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 6; ++i)
        records << SyntheticSlg::typical(i);
    for (int i = 0; i < records.size(); ++i) {
        records[i].flags = i < 3 ? 0x0000 : uint16_t(flags); // 0x0000 fits any block of 12 bytes and more
        records[i].sampleCountError = i < 3 ? 0 : countError;
    }
    const Decoded decoded = decode(SyntheticSlg::log(records, uint16_t(blockSize)));
    QCOMPARE(decoded.status, int(sondump::Undecodable));
    QCOMPARE(decoded.lines.size(), 1 + 3);
    QVERIFY(wellFormed(decoded));
    QVERIFY2(decoded.message.startsWith(QStringLiteral("record 3 at offset %1: ").arg(10 + 3 * blockSize)),
             qPrintable(decoded.message));
    QVERIFY2(decoded.message.contains(reason), qPrintable(decoded.message));
    QVERIFY2(decoded.message.endsWith(QStringLiteral("; no record can be found after it")),
             qPrintable(decoded.message));
}

void SondumpDamageTest::sl2GivesUpWhenNoFrameFollows_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("frame smaller than its header") << 28 << 100 << "frame 2 at offset 4136: size 100 is smaller";
    QTest::newRow("frame size zero") << 28 << 0 << "frame 2 at offset 4136: size 0 is smaller";
    QTest::newRow("echo count disagrees") << 34 << 1921 << "frame 2 at offset 4136: echo byte count 1921";
}

void SondumpDamageTest::sl2GivesUpWhenNoFrameFollows()
{
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(QString, message);
    // The first four frames, the last two damaged: more than a damaged last
    // frame, and no frame follows.
    QByteArray log = sample("arabia_example.sl2").left(8 + 4 * 2064);
    QCOMPARE(log.size(), 8 + 4 * 2064);
    for (int frame = 8 + 2 * 2064; frame < log.size(); frame += 2064)
        qToLittleEndian(quint16(value), reinterpret_cast<uchar *>(log.data()) + frame + offset);
    const Decoded decoded = decode(log);
    QCOMPARE(decoded.status, int(sondump::Undecodable));
    QCOMPARE(decoded.lines.size(), 1 + 2);
    QVERIFY2(decoded.message.startsWith(message), qPrintable(decoded.message));
    QVERIFY2(decoded.message.endsWith(QStringLiteral("; no frame can be found after it")),
             qPrintable(decoded.message));
}

void SondumpDamageTest::damagedRecordsAreSkipped_data()
{
    QTest::addColumn<QByteArray>("intact");
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<QList<int>>("lostRows");
    QTest::addColumn<QByteArray>("summary");

    // A real log: frames of 2064 bytes after the 8-byte header.
    const QByteArray sl2 = sample("arabia_example.sl2");
    const int frame600 = 8 + 600 * 2064;
    const auto setU16 = [](QByteArray data, int at, quint16 value) {
        qToLittleEndian(value, reinterpret_cast<uchar *>(data.data()) + at);
        return data;
    };
    QTest::newRow("SL2, frame size damaged") << sl2 << setU16(sl2, frame600 + 28, 100) << QList<int> { 600 }
                                             << QByteArray("Sondump: skipped 1 damaged record (2064 bytes)\n");
    QTest::newRow("SL2, echo byte count damaged")
        << sl2 << setU16(sl2, frame600 + 34, 1921) << QList<int> { 600 }
        << QByteArray("Sondump: skipped 1 damaged record (2064 bytes)\n");
    QTest::newRow("SL2, two frame headers zeroed")
        << sl2 << QByteArray(sl2).replace(frame600, 2064 + 512, QByteArray(2064 + 512, '\0')) << QList<int> { 600, 601 }
        << QByteArray("Sondump: skipped 2 damaged records (4128 bytes)\n");
    // The frame keeps its header, so its sounding is still whole.
    QTest::newRow("SL2, frame cut short") << sl2 << QByteArray(sl2).remove(frame600 + 500, 1000) << QList<int>()
                                          << QByteArray();
    QTest::newRow("SL2, bytes added between frames")
        << sl2 << QByteArray(sl2).insert(frame600, QByteArray("garbage")) << QList<int>()
        << QByteArray("Sondump: skipped 1 damaged record (7 bytes)\n");
    QByteArray noise(100 * 2064, '\0');
    QRandomGenerator generator(7);
    for (char &byte : noise)
        byte = char(generator.bounded(256));
    QList<int> hundredFrames;
    for (int i = 600; i < 700; ++i)
        hundredFrames << i;
    QTest::newRow("SL2, a hundred frames of noise")
        << sl2 << QByteArray(sl2).replace(frame600, noise.size(), noise) << hundredFrames
        << QByteArray("Sondump: skipped 100 damaged records (206400 bytes)\n");
    QTest::newRow("SL2, last frame damaged") << sl2 << setU16(sl2, 8 + 1307 * 2064 + 34, 7) << QList<int> { 1307 }
                                             << QByteArray("Sondump: skipped 1 damaged record (2064 bytes)\n");
    QTest::newRow("SL2, tail never written")
        << sl2 << QByteArray(sl2).replace(8 + 1305 * 2064, 3 * 2064, QByteArray(3 * 2064, '\0'))
        << QList<int> { 1305, 1306, 1307 } << QByteArray("Sondump: skipped 3 damaged records (6192 bytes)\n");

    // A synthetic log: records of 1200 bytes after the 10-byte header.
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 100; ++i) {
        records << SyntheticSlg::typical(i);
        records.last().flags = uint16_t(QList<int> { 0x6D14, 0x6D15, 0x6D16, 0x6F14 }[i % 4]);
    }
    const QByteArray slg = SyntheticSlg::log(records, 1200);
    const int record50 = 10 + 50 * 1200;
    QVector<SyntheticSlg::Record> miscounted = records;
    miscounted[50].sampleCountError = 3;
    QTest::newRow("SLG, sample count wrong") << slg << SyntheticSlg::log(miscounted, 1200) << QList<int> { 50 }
                                             << QByteArray("Sondump: skipped 1 damaged record (1200 bytes)\n");
    miscounted[51].sampleCountError = -7;
    QTest::newRow("SLG, two records in a row") << slg << SyntheticSlg::log(miscounted, 1200) << QList<int> { 50, 51 }
                                               << QByteArray("Sondump: skipped 2 damaged records (2400 bytes)\n");
    QTest::newRow("SLG, record zeroed") << slg << QByteArray(slg).replace(record50, 1200, QByteArray(1200, '\0'))
                                        << QList<int> { 50 }
                                        << QByteArray("Sondump: skipped 1 damaged record (1200 bytes)\n");
    QTest::newRow("SLG, record cut short") << slg << QByteArray(slg).remove(record50 + 100, 500) << QList<int>()
                                           << QByteArray();
    QTest::newRow("SLG, record cut inside its fields") << slg << QByteArray(slg).remove(record50 + 20, 500)
                                                       << QList<int> { 50 }
                                                       << QByteArray("Sondump: skipped 1 damaged record (700 bytes)\n");
    QTest::newRow("SLG, bytes added between records")
        << slg << QByteArray(slg).insert(record50, QByteArray("xyz12")) << QList<int>()
        << QByteArray("Sondump: skipped 1 damaged record (5 bytes)\n");
    miscounted = records;
    miscounted[99].sampleCountError = 1;
    QTest::newRow("SLG, last whole record damaged, a cut-off one after it")
        << slg << SyntheticSlg::log(miscounted, 1200) + SyntheticSlg::record(records[0], 1200).left(600)
        << QList<int> { 99 } << QByteArray("Sondump: skipped 1 damaged record (1800 bytes)\n");
    QTest::newRow("SLG, tail never written")
        << slg << QByteArray(slg).replace(10 + 97 * 1200, 3 * 1200, QByteArray(3 * 1200, '\0'))
        << QList<int> { 97, 98, 99 } << QByteArray("Sondump: skipped 3 damaged records (3600 bytes)\n");
}

void SondumpDamageTest::damagedRecordsAreSkipped()
{
    QFETCH(QByteArray, intact);
    QFETCH(QByteArray, damaged);
    QFETCH(QList<int>, lostRows);
    QFETCH(QByteArray, summary);

    const auto dump = [this](const QByteArray &log, const QString &name) {
        const QString input = mDir->filePath(name + ".log");
        const QString output = mDir->filePath(name + ".txt");
        TestSupport::writeFile(input, log);
        const TestSupport::ChildResult run =
            TestSupport::runChild(TestSupport::binDir() + "/Sondump", { input, output });
        return qMakePair(run, TestSupport::readLines(output));
    };
    const auto reference = dump(intact, "intact");
    QCOMPARE(reference.first.exitCode, 0);
    QVERIFY(reference.first.standardError.isEmpty());
    QVERIFY(reference.second.size() > 100);

    const auto result = dump(damaged, "damaged");
    QCOMPARE(result.first.standardError, summary);
    QCOMPARE(result.first.exitCode, 0);
    // Every sounding but the damaged ones, in order: those after the damage
    // are found again.
    QStringList expected = reference.second;
    for (int i = lostRows.size() - 1; i >= 0; --i)
        expected.removeAt(1 + lostRows[i]);
    QCOMPARE(result.second.size(), expected.size());
    QCOMPARE(result.second, expected);
}

void SondumpDamageTest::damageNeverInventsSoundings_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<int>("firstRecord");
    QTest::addColumn<int>("recordSize");

    const QByteArray sl2 = sample("arabia_example.sl2");
    QTest::newRow("SL2 sample, 200 frames") << sl2.left(8 + 200 * 2064) << 8 << 2064;
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 200; ++i) {
        records << SyntheticSlg::typical(i);
        records.last().flags = uint16_t(QList<int> { 0x6D14, 0x6D15, 0x6D16, 0x6F14 }[i % 4]);
    }
    QTest::newRow("synthetic SLG, 200 records") << SyntheticSlg::log(records, 1200) << 10 << 1200;
}

void SondumpDamageTest::damageNeverInventsSoundings()
{
    QFETCH(QByteArray, log);
    QFETCH(int, firstRecord);
    QFETCH(int, recordSize);

    const Decoded reference = decode(log);
    QCOMPARE(reference.status, int(sondump::Success));
    const int total = reference.lines.size() - 1;
    QRandomGenerator generator(20240611);
    for (int round = 0; round < 400; ++round) {
        // Damage away from both ends: overwritten with noise or zeros, cut
        // out, or noise put in.
        const int length = 1 + generator.bounded(3000);
        const int from = firstRecord + 2 * recordSize + generator.bounded(log.size() - 6 * recordSize);
        QByteArray noise(length, '\0');
        const int kind = round % 4;
        if (kind != 1) {
            for (char &byte : noise)
                byte = char(generator.bounded(256));
        }
        QByteArray damaged = log;
        int to = from + length;
        if (kind <= 1) {
            damaged.replace(from, length, noise);
        } else if (kind == 2) {
            damaged.remove(from, length);
        } else {
            damaged.insert(from, noise);
            to = from + 1;
        }

        // Records wholly before or after the damage come out as they were;
        // in between, at most one row per record the damage touched.
        const int before = (from - firstRecord) / recordSize;
        const int after = total - (to - firstRecord + recordSize - 1) / recordSize;
        const Decoded decoded = decode(damaged);
        const QString where =
            QStringLiteral("round %1, kind %2, bytes %3 to %4").arg(round).arg(kind).arg(from).arg(to);
        QVERIFY2(decoded.status == sondump::Success, qPrintable(where + ": " + decoded.message));
        const int rows = decoded.lines.size() - 1;
        QVERIFY2(rows >= before + after && rows <= total, qPrintable(where));
        QVERIFY2(decoded.lines.mid(0, 1 + before) == reference.lines.mid(0, 1 + before), qPrintable(where));
        QVERIFY2(decoded.lines.mid(decoded.lines.size() - after) == reference.lines.mid(reference.lines.size() - after),
                 qPrintable(where));
    }
}

void SondumpDamageTest::damagedArchives_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");

    QTest::newRow("no track inside") << "no stk" << "the archive holds no .stk track";
    QTest::newRow("check sum wrong") << "crc" << "damaged (check sum or length)";
    QTest::newRow("track with a byte too many") << "size" << "size mismatch";
    QTest::newRow("old version") << "version" << "not a .stk track of a readable version";
    QTest::newRow("only the local header") << "cut" << "not a readable zip archive";
}

void SondumpDamageTest::damagedArchives()
{
    QFETCH(QString, damage);
    QFETCH(QString, message);
    QByteArray archive = sondrakArchive(mDir->path(), 5);
    const QString stk = mDir->filePath("track.stk");
    const QString zip = mDir->filePath("track.zip");
    const auto rezip = [&](const QString &file) {
        QFile::remove(zip);
        CZipper zipper;
        zipper.Open(QFile::encodeName(zip).toStdString(), false);
        zipper.AddFile(QFile::encodeName(file).toStdString());
        zipper.Close();
        return TestSupport::readFile(zip);
    };
    if (damage == "no stk") {
        TestSupport::writeFile(mDir->filePath("notes.txt"), "no track");
        archive = rezip(mDir->filePath("notes.txt"));
    } else if (damage == "crc") {
        archive[14] = char(archive[14] ^ 0x55); // the local header's check sum
        const int central = archive.lastIndexOf(QByteArray("PK\x01\x02", 4));
        archive[central + 16] = char(archive[central + 16] ^ 0x55);
    } else if (damage == "size") {
        QByteArray data = TestSupport::readFile(stk);
        TestSupport::writeFile(stk, data + '\0');
        archive = rezip(stk);
    } else if (damage == "version") {
        QByteArray data = TestSupport::readFile(stk);
        data[9] = 0;
        TestSupport::writeFile(stk, data);
        archive = rezip(stk);
    } else if (damage == "cut") {
        archive.truncate(40);
    }
    const Decoded decoded = decode(archive);
    QCOMPARE(decoded.status, int(sondump::Undecodable));
    QVERIFY2(decoded.message.contains(message), qPrintable(decoded.message));
    QVERIFY(wellFormed(decoded));
}

void SondumpDamageTest::truncationsNeverCrash_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("fullRows");

    QTest::newRow("SL2 sample") << sample("node-sl2format_version-1.sl2") << 7;
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 6; ++i) {
        records << SyntheticSlg::typical(i);
        records.last().flags = uint16_t(QList<int> { 0x6D14, 0x6D15, 0x6D16, 0x6F14, 0x7FFF, 0x0000 }[i]);
    }
    QTest::newRow("synthetic SLG") << SyntheticSlg::log(records, 200) << 6;
    QTemporaryDir folder;
    QTest::newRow("Sondrak archive") << sondrakArchive(folder.path(), 40) << 40;
}

void SondumpDamageTest::truncationsNeverCrash()
{
    QFETCH(QByteArray, input);
    QFETCH(int, fullRows);
    QVERIFY(input.size() > 100);
    for (int length = 0; length <= input.size(); ++length) {
        const Decoded decoded = decode(input.left(length));
        QVERIFY2(decoded.status == sondump::Success || decoded.status == sondump::UnknownFormat
                     || decoded.status == sondump::Undecodable,
                 qPrintable(QString::number(length)));
        QVERIFY2(wellFormed(decoded), qPrintable(QString::number(length)));
        QVERIFY(decoded.lines.size() <= fullRows + 1);
        if (length == input.size()) {
            QCOMPARE(decoded.status, int(sondump::Success));
            QCOMPARE(decoded.lines.size(), fullRows + 1);
        }
    }
}

void SondumpDamageTest::byteFlipsNeverCrash_data()
{
    truncationsNeverCrash_data();
}

void SondumpDamageTest::byteFlipsNeverCrash()
{
    QFETCH(QByteArray, input);
    QRandomGenerator generator(20240607);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = input;
        const int flips = 1 + generator.bounded(4);
        for (int i = 0; i < flips; ++i) {
            const int at = generator.bounded(damaged.size());
            damaged[at] = char(damaged[at] ^ (1 << generator.bounded(8)));
        }
        const Decoded decoded = decode(damaged);
        QVERIFY2(decoded.status == sondump::Success || decoded.status == sondump::UnknownFormat
                     || decoded.status == sondump::Undecodable,
                 qPrintable(QString::number(round)));
        QVERIFY2(wellFormed(decoded), qPrintable(QString::number(round)));
    }
}

QTEST_GUILESS_MAIN(SondumpDamageTest)
#include "tst_sondumpdamage.moc"
