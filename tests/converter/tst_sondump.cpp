#include "dumptestsupport.h"
#include "exitstatus.h"
#include "syntheticslg.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace DumpTest;

namespace {

QString flagText(bool flag)
{
    return flag ? QStringLiteral("T") : QStringLiteral("F");
}

// The 27 columns of a synthetic record, by the mapping of the published
// format description: absent values are 0, Y comes before X in the record.
void compareRow(const QByteArray &line, const SyntheticSlg::Record &r)
{
    const QList<QByteArray> f = line.split(',');
    QCOMPARE(f.size(), 27);
    const auto has = [&r](uint16_t bit) { return (r.flags & bit) != 0; };
    const auto real = [&f](int column) { return f[column].toFloat(); };
    QCOMPARE(real(0), has(0x0008) ? r.upperLimit : 0.0f);
    QCOMPARE(real(1), r.lowerLimit);
    QCOMPARE(QString(f[2]), flagText(!has(0x0200)));
    QCOMPARE(real(3), r.depth);
    QCOMPARE(QString(f[4]), flagText(has(0x0010)));
    QCOMPARE(real(5), has(0x0010) ? r.waterTemp : 0.0f);
    QCOMPARE(QString(f[6]), flagText(has(0x0020)));
    QCOMPARE(real(7), has(0x0020) ? r.temp2 : 0.0f);
    QCOMPARE(QString(f[8]), flagText(has(0x0040)));
    QCOMPARE(real(9), has(0x0040) ? r.temp3 : 0.0f);
    QCOMPARE(QString(f[10]), flagText(has(0x0080)));
    QCOMPARE(real(11), has(0x0080) ? r.waterSpeed : 0.0f);
    QCOMPARE(QString(f[12]), flagText(has(0x0100)));
    QCOMPARE(f[13].toInt(), has(0x0100) ? r.positionX : 0);
    QCOMPARE(f[14].toInt(), has(0x0100) ? r.positionY : 0);
    QCOMPARE(real(15), has(0x0400) ? r.surfaceDepth : 0.0f);
    QCOMPARE(QString(f[16]), flagText(has(0x0400)));
    QCOMPARE(real(17), has(0x0800) ? r.topOfBottomDepth : 0.0f);
    QCOMPARE(QString(f[18]), flagText(has(0x0800)));
    QCOMPARE(QString(f[19]), flagText(has(0x1000)));
    QCOMPARE(QString(f[20]), flagText(has(0x2000)));
    QCOMPARE(f[21].toULongLong(), has(0x2000) ? quint64(r.timeOffset) : 0ull);
    QCOMPARE(QString(f[22]), flagText(has(0x4000)));
    QCOMPARE(real(23), has(0x4000) ? r.speed : 0.0f);
    QCOMPARE(real(24), has(0x4000) ? r.track : 0.0f);
    QCOMPARE(QString(f[25]), flagText(has(0x0004)));
    QCOMPARE(real(26), has(0x0004) ? r.altitude : 0.0f);
}

// Distinct values in every field, so that a field read from the wrong place shows.
SyntheticSlg::Record distinctRecord(uint16_t flags)
{
    SyntheticSlg::Record r;
    r.flags = flags;
    r.lowerLimit = 61.5f;
    r.depth = 23.25f;
    r.upperLimit = 2.5f;
    r.waterTemp = 17.125f;
    r.waterSpeed = 3.75f;
    r.positionY = 6446276;
    r.positionX = -1113195;
    r.surfaceDepth = 1.125f;
    r.topOfBottomDepth = 22.75f;
    r.temp2 = 9.5f;
    r.temp3 = 8.25f;
    r.unknownA = 0x41414141;
    r.unknownB1 = 0x42424242;
    r.unknownB2 = 0x43434343;
    r.timeOffset = 3000000000u; // above 31 bits: the offset is unsigned
    r.speed = 5.5f;
    r.track = 3.14159f;
    r.altitude = -10000.0f;
    return r;
}

} // namespace

class SondumpTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void realSl2Samples_data();
    void realSl2Samples();
    void slgFlagWords_data();
    void slgFlagWords();
    void cutOffLastRecordIsIgnored_data();
    void cutOffLastRecordIsIgnored();
    void unusableInput_data();
    void unusableInput();
    void sondrakTracks();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir *mDir = nullptr;
};

void SondumpTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void SondumpTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

void SondumpTest::realSl2Samples_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<float>("depth");
    QTest::addColumn<float>("lowerLimit");
    QTest::addColumn<float>("waterTemperature");
    QTest::addColumn<QList<quint64>>("firstTimes");
    QTest::addColumn<quint64>("lastTime");
    QTest::addColumn<int>("keelDepthSum");

    // Values stated by the samples' publishers and in SOURCES.md.
    QTest::newRow("arabia") << "arabia_example.sl2" << 1308 << 4433307 << 7003054 << 2.62f << 13.3f << 15.84112f
                            << QList<quint64> { 1317703, 1317706, 1318036, 1318905, 1318946, 1318982, 1319130,
                                                1319140, 1319216, 1319222 }
                            << quint64(1404539) << 429;
    QTest::newRow("node-sl2format, two stray bytes at the end")
        << "node-sl2format_version-1.sl2" << 7 << 1372428 << 8179735 << 4.009f << 7.9f << 8.03f
        << QList<quint64> { 48, 50, 156, 158, 159, 258, 258 } << quint64(258) << 0;
}

void SondumpTest::realSl2Samples()
{
    QFETCH(QString, file);
    QFETCH(int, frames);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(float, depth);
    QFETCH(float, lowerLimit);
    QFETCH(float, waterTemperature);
    QFETCH(QList<quint64>, firstTimes);
    QFETCH(quint64, lastTime);
    QFETCH(int, keelDepthSum);

    const QString input = TestSupport::sourceDir() + "/tests/data/sonar/" + file;
    const QString output = mDir->filePath("dump.txt");
    const TestSupport::ChildResult run = TestSupport::runChild(TestSupport::binDir() + "/Sondump", { input, output });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.standardError.isEmpty());

    const QStringList lines = TestSupport::readLines(output);
    QCOMPARE(lines.size(), frames + 1);
    QCOMPARE(lines[0].toLatin1(), kHeader);
    const QStringList first = lines[1].split(',');
    QCOMPARE(first.size(), 27);
    QCOMPARE(first[12], QStringLiteral("T"));
    QCOMPARE(first[13].toInt(), x);
    QCOMPARE(first[14].toInt(), y);
    QCOMPARE(first[2], QStringLiteral("T"));
    QCOMPARE(first[3].toFloat(), depth);
    QCOMPARE(first[1].toFloat(), lowerLimit);
    QVERIFY(qAbs(first[5].toFloat() - waterTemperature) < 0.001f);

    double keelDepths = 0;
    quint64 previous = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(',');
        QCOMPARE(fields.size(), 27);
        QCOMPARE(fields[20], QStringLiteral("T"));
        const quint64 time = fields[21].toULongLong();
        if (i - 1 < firstTimes.size())
            QCOMPARE(time, firstTimes[i - 1]);
        QVERIFY(time >= previous);
        previous = time;
        keelDepths += fields[15].toDouble();
    }
    QCOMPARE(previous, lastTime);
    QCOMPARE(int(keelDepths), keelDepthSum);
}

void SondumpTest::slgFlagWords_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("blockSize");

    // Words seen in real files.
    QTest::newRow("0x6D14") << 0x6D14 << 1200;
    QTest::newRow("0x6D15, unknown value A") << 0x6D15 << 1200;
    QTest::newRow("0x6D16, unknown values B") << 0x6D16 << 1200;
    QTest::newRow("0x6F14, depth not valid") << 0x6F14 << 2450;
    // Every other field on its own and all together.
    QTest::newRow("lower limit and depth only") << 0x0000 << 1970;
    QTest::newRow("upper limit") << 0x0008 << 3200;
    QTest::newRow("temperatures 2 and 3") << 0x0060 << 1200;
    QTest::newRow("water speed") << 0x0080 << 1200;
    QTest::newRow("altitude") << 0x0004 << 1200;
    QTest::newRow("50 kHz column") << 0x1000 << 1200;
    QTest::newRow("unknown bit 15 adds nothing") << 0x8000 << 1200;
    QTest::newRow("every field") << 0x7FFF << 1200;
    QTest::newRow("every field, no echo bytes") << 0x7FFF << 76;
}

void SondumpTest::slgFlagWords()
{
    QFETCH(int, flags);
    QFETCH(int, blockSize);
    QCOMPARE(SyntheticSlg::recordHeaderLength(0x6D14), 48);
    QCOMPARE(SyntheticSlg::recordHeaderLength(0x6D15), 52);
    QCOMPARE(SyntheticSlg::recordHeaderLength(0x6D16), 56);

    QVector<SyntheticSlg::Record> records { distinctRecord(uint16_t(flags)), SyntheticSlg::typical(1) };
    records[1].flags = uint16_t(flags);
    const Decoded decoded = decode(SyntheticSlg::log(records, uint16_t(blockSize)));
    QCOMPARE(decoded.status, int(sondump::Success));
    QCOMPARE(decoded.lines.size(), 3);
    QCOMPARE(decoded.lines[0], kHeader);
    compareRow(decoded.lines[1], records[0]);
    compareRow(decoded.lines[2], records[1]);
}

void SondumpTest::cutOffLastRecordIsIgnored_data()
{
    QTest::addColumn<int>("cut");
    QTest::newRow("one byte short") << 1;
    QTest::newRow("half a record") << 600;
    QTest::newRow("only its first byte") << 1199;
}

void SondumpTest::cutOffLastRecordIsIgnored()
{
    QFETCH(int, cut);
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 4; ++i)
        records << SyntheticSlg::typical(i);
    QByteArray log = SyntheticSlg::log(records, 1200);
    log.chop(cut);
    const Decoded decoded = decode(log);
    QCOMPARE(decoded.status, int(sondump::Success));
    QCOMPARE(decoded.lines.size(), 1 + 3);
    compareRow(decoded.lines[3], records[2]);

    // SL2: the same for a frame cut short.
    QByteArray sl2 = sample("arabia_example.sl2");
    sl2.chop(cut);
    const Decoded frames = decode(sl2);
    QCOMPARE(frames.status, int(sondump::Success));
    QCOMPARE(frames.lines.size(), 1 + 1307);
}

void SondumpTest::unusableInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << QByteArray() << int(sondump::UnknownFormat) << 0 << "too short";
    QTest::newRow("one byte") << QByteArray(1, '\1') << int(sondump::UnknownFormat) << 0 << "too short";
    QTest::newRow("text") << QByteArray("hello, world\n") << int(sondump::UnknownFormat) << 0
                          << "not a sonar log or track (format word 0x6568)";
    QTest::newRow("SL3") << QByteArray::fromHex("0300010000000000") << int(sondump::UnknownFormat) << 0
                         << "SL3 logs (format word 3) are not supported";
    QTest::newRow("SLG header cut") << QByteArray::fromHex("010000000400") << int(sondump::Undecodable) << 0
                                    << "the file ends inside its 10-byte header";
    QTest::newRow("SLG block size 0") << SyntheticSlg::fileHeader(0) + QByteArray(100, 'x')
                                      << int(sondump::Undecodable) << 0 << "block size 0 is smaller";
    QTest::newRow("SLG block size 11") << SyntheticSlg::fileHeader(11) + QByteArray(100, '\0')
                                       << int(sondump::Undecodable) << 0 << "block size 11 is smaller";
    QTest::newRow("SLG header only") << SyntheticSlg::fileHeader(1200) << int(sondump::Success) << 1 << "";
    QTest::newRow("SL2 header cut") << QByteArray::fromHex("0200000080") << int(sondump::Undecodable) << 0
                                    << "the file ends inside its 8-byte header";
    QTest::newRow("SL2 header only") << QByteArray::fromHex("0200010080 0C0000") << int(sondump::Success) << 1
                                     << "";
}

void SondumpTest::unusableInput()
{
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(int, lines);
    QFETCH(QString, message);
    const Decoded decoded = decode(input);
    QCOMPARE(decoded.status, status);
    QCOMPARE(decoded.lines.size(), lines);
    QVERIFY2(decoded.message.startsWith(message), qPrintable(decoded.message));
    QVERIFY(wellFormed(decoded));
}

void SondumpTest::sondrakTracks()
{
    const QByteArray archive = sondrakArchive(mDir->path(), 25);
    const QByteArray track = TestSupport::readFile(mDir->filePath("track.stk"));
    for (const QByteArray &input : { archive, track }) {
        const Decoded decoded = decode(input);
        QCOMPARE(decoded.status, int(sondump::Success));
        QCOMPARE(decoded.lines.size(), 26);
        for (int i = 0; i < 25; ++i) {
            const QList<QByteArray> f = decoded.lines[i + 1].split(',');
            QCOMPARE(f.size(), 27);
            QCOMPARE(QString(f[2]), flagText(i % 3 != 0));
            QCOMPARE(f[3].toFloat(), 10.0f + i); // metres and back give the same float here
            QCOMPARE(QString(f[12]), flagText(i % 2 == 0));
            QCOMPARE(f[13].toInt(), 1372428 + i);
            QCOMPARE(f[14].toInt(), -8179735 - i);
            QCOMPARE(QString(f[20]), QStringLiteral("T"));
            QCOMPARE(f[21].toInt(), 48 + 100 * i);
        }
    }
}

void SondumpTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");

    const QString dir = QStringLiteral("@DIR@");
    QTest::newRow("log dumped") << QStringList { dir + "/log.slg", dir + "/out.txt" } << 0 << QString();
    QTest::newRow("no arguments") << QStringList() << 1 << "Usage: Sondump <input";
    QTest::newRow("three arguments") << QStringList { "a", "b", "c" } << 1 << "Usage: Sondump <input";
    QTest::newRow("missing input") << QStringList { dir + "/missing.slg", dir + "/out.txt" } << 2
                                   << "Sondump: @DIR@/missing.slg: No such file";
    QTest::newRow("input is a folder") << QStringList { dir + "/folder", dir + "/out.txt" } << 2
                                       << "Sondump: @DIR@/folder: Is a directory";
    QTest::newRow("output folder missing") << QStringList { dir + "/log.slg", dir + "/no/out.txt" } << 2
                                           << "Sondump: @DIR@/log.slg: @DIR@/no/out.txt: No such file";
    QTest::newRow("output is a folder") << QStringList { dir + "/log.slg", dir + "/folder" } << 2
                                        << "Sondump: @DIR@/log.slg: @DIR@/folder: Is a directory";
    QTest::newRow("output is the input") << QStringList { dir + "/log.slg", dir + "/./log.slg" } << 1
                                         << "Sondump: @DIR@/log.slg: the input and the output are the same file";
    QTest::newRow("unknown input") << QStringList { dir + "/text.txt", dir + "/out.txt" } << 3
                                   << "Sondump: @DIR@/text.txt: not a sonar log or track";
    QTest::newRow("undecodable record") << QStringList { dir + "/bad.slg", dir + "/out.txt" } << 4
                                        << "Sondump: @DIR@/bad.slg: record 1 at offset 1210";
}

void SondumpTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);

    QVector<SyntheticSlg::Record> records { SyntheticSlg::typical(0), SyntheticSlg::typical(1) };
    QVERIFY(TestSupport::writeFile(mDir->filePath("log.slg"), SyntheticSlg::log(records, 1200)));
    // Nothing after the first record decodes.
    records << SyntheticSlg::typical(2);
    records[1].sampleCountError = records[2].sampleCountError = 2;
    QVERIFY(TestSupport::writeFile(mDir->filePath("bad.slg"), SyntheticSlg::log(records, 1200)));
    QVERIFY(TestSupport::writeFile(mDir->filePath("text.txt"), "just text"));
    QVERIFY(QDir().mkpath(mDir->filePath("folder")));
    QVERIFY(TestSupport::writeFile(mDir->filePath("out.txt"), "an earlier run's text"));
    const QStringList entries = TestSupport::folderEntries(mDir->path());

    for (QString &argument : arguments)
        argument.replace("@DIR@", mDir->path());
    const TestSupport::ChildResult run = TestSupport::runChild(TestSupport::binDir() + "/Sondump", arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromLocal8Bit(run.standardError).startsWith(QString(error).replace("@DIR@", mDir->path())),
             run.standardError);
    QCOMPARE(run.standardError.isEmpty(), error.isEmpty());
    QVERIFY(run.standardOutput.isEmpty());
    QCOMPARE(TestSupport::readFile(mDir->filePath("log.slg")).size(), 10 + 2 * 1200);
    // The output is replaced only by a whole dump, and no temporary file stays.
    QCOMPARE(TestSupport::folderEntries(mDir->path()), entries);
    QVERIFY(TestSupport::folderEntries(mDir->filePath("folder")).isEmpty());
    const QStringList out = TestSupport::readLines(mDir->filePath("out.txt"));
    if (exitCode == 0) {
        QCOMPARE(out.size(), 3);
        QCOMPARE(out[0].toLatin1(), kHeader);
    } else {
        QCOMPARE(out, QStringList { "an earlier run's text" });
    }
}

QTEST_GUILESS_MAIN(SondumpTest)
#include "tst_sondump.moc"
