#include "syntheticslg.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <ctime>

#include <unistd.h>

namespace {

const char *const kTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";

const QByteArray kHeader =
    "UpperLimit,LowerLimit,DepthValid,Depth,WaterTempValid,WaterTemp,Temp2Valid,Temp2,Temp3Valid,Temp3,"
    "WaterSpeedValid,WaterSpeed,PositionValid,PositionX,PositionY,SurfaceDepth,SurfaceValid,TopOfBottomDepth,"
    "TopOfBottomValid,ColumnIs50kHz,TimeValid,TimeOffset[ms],SpeedTrackValid,Speed,Track,AltitudeValid,Altitude";

const QByteArray kUsage = "Sondrak.exe v1.3.0\n"
                          "Usage: \n"
                          "- to convert a .slg file to a .stk zipped file: \n"
                          "   Sondrak <SourceFile.slg> <DestinationPath> [-minNPoint <MinimumNumberOfPoints>]\n"
                          "- to convert a .stk file to a .csv file: \n"
                          "   Sondrak -csv <SourceFile.stk> <DestinationPath> \n"
                          "\n";

QByteArray dumpLine(bool depthValid, const QByteArray &depth, bool positionValid, int x, int y, bool timeValid,
                    int time)
{
    const auto flag = [](bool value) { return QByteArray(value ? "T" : "F"); };
    return "0,40," + flag(depthValid) + "," + depth + ",T,14.5,F,0,F,0,F,0," + flag(positionValid) + ","
        + QByteArray::number(x) + "," + QByteArray::number(y) + ",1.5,T,10,T,F," + flag(timeValid) + ","
        + QByteArray::number(time) + ",T,4.2,1.25,T,120\n";
}

// A dump of count valid points, one second apart.
QByteArray dumpOf(int count)
{
    QByteArray dump = kHeader + "\n";
    for (int i = 0; i < count; ++i)
        dump += dumpLine(true, "12.5", true, 1113195 + i, 6446276 - i, true, 1000 * i);
    return dump;
}

quint32 u32At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(data.constData()) + offset);
}

quint64 u64At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint64>(reinterpret_cast<const uchar *>(data.constData()) + offset);
}

quint64 fileTimeOfLocal(const QDateTime &localTime)
{
    const QDateTime asUtc(localTime.date(), localTime.time(), Qt::UTC);
    return quint64(asUtc.toMSecsSinceEpoch() + 11644473600000LL) * 10000ULL;
}

bool setLastWrite(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

// Runs copies of the real Sondrak with a fake Sondump beside them (the fake
// copies a prepared dump into the output it is given), in a temporary
// folder of their own.
class SondrakTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wrongArgumentsPrintUsage_data();
    void wrongArgumentsPrintUsage();
    void twoArgumentsAlwaysMeanConversion();
    void minimumPointsOption_data();
    void minimumPointsOption();
    void archiveIsNamedAfterLogAndTrack_data();
    void archiveIsNamedAfterLogAndTrack();
    void furtherDotInSourceNameCutsFinalName();
    void destinationWithOrWithoutSeparator_data();
    void destinationWithOrWithoutSeparator();
    void existingArchiveIsReplaced();
    void failuresLeaveNothingBehind_data();
    void failuresLeaveNothingBehind();
    void toolGetsPathsUnchanged();
    void fullTemporaryFolderFailsCleanly();
    void fullDestinationFailsCleanly();
    void csvMode();
    void csvOutputIsNeverItsSource_data();
    void csvOutputIsNeverItsSource();
    void debugChannelIsSilentUnlessAsked();
    void realSampleConverts();
    void synthesizedSlgSurvivesRoundTrip();
    void damagedLogGivesNoShortTrack_data();
    void damagedLogGivesNoShortTrack();

private:
    TestSupport::ChildResult sondrak(const QStringList &arguments,
                                     const QProcessEnvironment &extra = QProcessEnvironment());
    QString source(const QString &name = QStringLiteral("Log 1.slg"));
    void prepareDump(const QByteArray &dump);
    QString onlyArchive() const;
    // Converts source() with the prepared dump; the .stk file inside the archive.
    QByteArray convertedTrack(int minimumPoints);
    bool nothingLeftBehind() const;

    QTemporaryDir *mDir = nullptr;
    QString mBin;
    QString mTemp;
    QString mOut;
    QString mDump;
};

void SondrakTest::initTestCase()
{
    qputenv("TZ", kTimeZone);
    tzset();
}

void SondrakTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
    mBin = mDir->filePath("bin");
    mTemp = mDir->filePath("tmp");
    mOut = mDir->filePath("out");
    mDump = mDir->filePath("prepared-dump.txt");
    QVERIFY(QDir().mkpath(mTemp));
    QVERIFY(QDir().mkpath(mOut));
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/Sondrak", mBin, "Sondrak"));
    QVERIFY(TestSupport::copyExecutable(TestSupport::fakeToolPath(), mBin, "Sondump"));
    prepareDump(dumpOf(100));
}

void SondrakTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

TestSupport::ChildResult SondrakTest::sondrak(const QStringList &arguments, const QProcessEnvironment &extra)
{
    QProcessEnvironment environment;
    environment.insert("TMPDIR", mTemp);
    environment.insert("FAKE_TOOL_COPY_FROM", mDump);
    environment.insert(extra);
    return TestSupport::runChild(mBin + "/Sondrak", arguments, environment);
}

QString SondrakTest::source(const QString &name)
{
    const QString path = mDir->filePath(name);
    TestSupport::writeFile(path, "a log; the fake dump tool does not read it");
    setLastWrite(path, QDateTime(QDate(2012, 5, 6), QTime(7, 8, 9), Qt::LocalTime));
    return path;
}

void SondrakTest::prepareDump(const QByteArray &dump)
{
    QVERIFY(TestSupport::writeFile(mDump, dump));
}

QString SondrakTest::onlyArchive() const
{
    const QStringList entries = TestSupport::folderEntries(mOut);
    return entries.size() == 1 ? entries.first() : QString();
}

QByteArray SondrakTest::convertedTrack(int minimumPoints)
{
    if (sondrak({ source(), mOut, "-minNPoint", QString::number(minimumPoints) }).exitCode != 0)
        return QByteArray();
    return TestSupport::runChild("unzip", { "-p", mOut + "/" + onlyArchive() }).standardOutput;
}

bool SondrakTest::nothingLeftBehind() const
{
    return TestSupport::folderEntries(mTemp).isEmpty() && TestSupport::folderEntries(mOut).isEmpty();
}

void SondrakTest::wrongArgumentsPrintUsage_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList { "a.slg" };
    QTest::newRow("three without -csv") << QStringList { "a.slg", "out", "-minNPoint" };
    QTest::newRow("-csv not first") << QStringList { "a.stk", "-csv", "out" };
    QTest::newRow("-minNPoint first") << QStringList { "-minNPoint", "5", "a.slg", "out" };
    QTest::newRow("-minNPoint second") << QStringList { "a.slg", "-minNPoint", "5", "out" };
    QTest::newRow("-minNPoint in other case") << QStringList { "a.slg", "out", "-minnpoint", "5" };
    QTest::newRow("no number") << QStringList { "a.slg", "out", "-minNPoint", "abc" };
    QTest::newRow("empty number") << QStringList { "a.slg", "out", "-minNPoint", "" };
    QTest::newRow("five") << QStringList { "a.slg", "out", "-minNPoint", "5", "x" };
    QTest::newRow("empty destination") << QStringList { "a.slg", "" };
    QTest::newRow("empty destination with -minNPoint") << QStringList { "a.slg", "", "-minNPoint", "5" };
    QTest::newRow("empty -csv destination") << QStringList { "-csv", "a.stk", "" };
}

void SondrakTest::wrongArgumentsPrintUsage()
{
    QFETCH(QStringList, arguments);
    const TestSupport::ChildResult result = sondrak(arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.standardOutput, kUsage);
    QVERIFY(result.standardError.isEmpty());
    QVERIFY(nothingLeftBehind());
}

void SondrakTest::twoArgumentsAlwaysMeanConversion()
{
    // "-csv" is then the name of a log that does not exist.
    const TestSupport::ChildResult result = sondrak({ "-csv", mOut });
    QCOMPARE(result.exitCode, 100);
    QVERIFY(result.standardOutput.isEmpty());
    QVERIFY(nothingLeftBehind());
}

void SondrakTest::minimumPointsOption_data()
{
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("trailing text ignored, enough") << "50abc" << 50 << 0;
    QTest::newRow("trailing text ignored, too few") << "50abc" << 49 << 2;
    QTest::newRow("leading blanks") << " 3" << 3 << 0;
    QTest::newRow("plus sign") << "+3" << 2 << 2;
    QTest::newRow("negative lets an empty track through") << "-5" << 0 << 0;
    QTest::newRow("zero accepts an empty track") << "0" << 0 << 0;
    QTest::newRow("default is 100") << QString() << 99 << 2;
    QTest::newRow("default passes 100") << QString() << 100 << 0;
}

void SondrakTest::minimumPointsOption()
{
    QFETCH(QString, minimum);
    QFETCH(int, points);
    QFETCH(int, exitCode);
    prepareDump(dumpOf(points));
    QStringList arguments { source(), mOut };
    if (!minimum.isNull())
        arguments << "-minNPoint" << minimum;
    QCOMPARE(sondrak(arguments).exitCode, exitCode);
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
    if (exitCode == 0)
        QVERIFY(onlyArchive().endsWith(QStringLiteral("__%1.zip").arg(points)));
    else
        QVERIFY(nothingLeftBehind());
}

void SondrakTest::archiveIsNamedAfterLogAndTrack_data()
{
    QTest::addColumn<QByteArray>("points");
    QTest::addColumn<QString>("name");

    QTest::newRow("three points, times 0, 1000 and 1500")
        << dumpLine(true, "10", true, 1, 2, true, 0) + dumpLine(true, "11", true, 3, 4, true, 1000)
            + dumpLine(true, "12", true, 5, 6, true, 1500)
        << "Log 1__2012_05_06__07_08_09__1500__3";
    QTest::newRow("a larger time that is not valid does not count")
        << dumpLine(true, "10", true, 1, 2, true, 0) + dumpLine(true, "11", true, 3, 4, true, 1000)
            + dumpLine(true, "12", true, 5, 6, true, 1500) + dumpLine(true, "13", true, 7, 8, false, 9000)
            + dumpLine(true, "14", true, 9, 10, true, 1200)
        << "Log 1__2012_05_06__07_08_09__1500__5";
}

void SondrakTest::archiveIsNamedAfterLogAndTrack()
{
    QFETCH(QByteArray, points);
    QFETCH(QString, name);
    prepareDump(kHeader + "\n" + points);
    const QString log = source("Log 1.slg");
    QCOMPARE(sondrak({ log, mOut, "-minNPoint", "3" }).exitCode, 0);

    const QString archive = mOut + "/" + name + ".zip";
    QCOMPARE(TestSupport::folderEntries(mOut), QStringList { QFileInfo(archive).fileName() });
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
    QCOMPARE(TestSupport::runChild("unzip", { "-t", archive }).exitCode, 0);
    QCOMPARE(TestSupport::runChild("zipinfo", { "-1", archive }).standardOutput, name.toLatin1() + ".stk\n");

    const QByteArray stk = TestSupport::runChild("unzip", { "-p", archive }).standardOutput;
    const int count = points.count('\n');
    QCOMPARE(stk.size(), 372 + count * 20);
    QCOMPARE(stk.left(12).toHex(' '), QByteArray("6b 74 73 2e 68 01 00 00 01 01 00 00"));
    QVERIFY(stk.mid(12).startsWith(QFile::encodeName(log) + '\0'));
    QCOMPARE(u32At(stk, 12 + 300), quint32(QFileInfo(log).size()));
    QCOMPARE(u64At(stk, 12 + 312),
             fileTimeOfLocal(QDateTime(QDate(2012, 5, 6), QTime(7, 8, 9), Qt::LocalTime)));
    QCOMPARE(u32At(stk, 12 + 320), quint32(count));
    QCOMPARE(stk.mid(12 + 332, 24), QByteArray("2012:05:06 07:08:09,000") + '\0');
    // The first point: flags, position, 10 ft in metres, time.
    QCOMPARE(stk.mid(372, 20).toHex(' '), QByteArray("07 00 00 00 01 00 00 00 02 00 00 00 6f 12 43 40 00 00 00 00"));
}

void SondrakTest::furtherDotInSourceNameCutsFinalName()
{
    QCOMPARE(sondrak({ source("a.b.slg"), mOut }).exitCode, 0);
    QCOMPARE(TestSupport::folderEntries(mOut), QStringList { "a.zip" });
    QCOMPARE(TestSupport::runChild("zipinfo", { "-1", mOut + "/a.zip" }).standardOutput, QByteArray("a.stk\n"));
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
}

void SondrakTest::destinationWithOrWithoutSeparator_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("without") << QString();
    QTest::newRow("with /") << "/";
    QTest::newRow("with //") << "//";
}

void SondrakTest::destinationWithOrWithoutSeparator()
{
    QFETCH(QString, suffix);
    QCOMPARE(sondrak({ source(), mOut + suffix }).exitCode, 0);
    QCOMPARE(TestSupport::folderEntries(mOut), QStringList { "Log 1__2012_05_06__07_08_09__99000__100.zip" });
}

void SondrakTest::existingArchiveIsReplaced()
{
    const QString archive = mOut + "/Log 1__2012_05_06__07_08_09__99000__100.zip";
    QVERIFY(TestSupport::writeFile(archive, QByteArray(100000, 'x')));
    QCOMPARE(sondrak({ source(), mOut }).exitCode, 0);
    QCOMPARE(TestSupport::runChild("unzip", { "-t", archive }).exitCode, 0);
    QCOMPARE(TestSupport::folderEntries(mOut).size(), 1);
}

void SondrakTest::failuresLeaveNothingBehind_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("dump tool missing") << "no tool" << 100;
    QTest::newRow("dump tool not executable") << "tool not executable" << 100;
    QTest::newRow("dump tool writes nothing") << "empty dump" << 100;
    QTest::newRow("dump tool fails and writes nothing") << "tool exits 3" << 100;
    QTest::newRow("wrong header") << "wrong header" << 100;
    QTest::newRow("over-long line") << "long line" << 100;
    QTest::newRow("log cannot be described") << "no log" << 100;
    QTest::newRow("destination missing") << "no destination" << 100;
    QTest::newRow("too few points") << "too few" << 2;
}

void SondrakTest::failuresLeaveNothingBehind()
{
    QFETCH(QString, scenario);
    QFETCH(int, exitCode);

    QString log = source();
    QString destination = mOut;
    QProcessEnvironment environment;
    if (scenario == "no tool")
        QVERIFY(QFile::remove(mBin + "/Sondump"));
    else if (scenario == "tool not executable")
        QVERIFY(QFile(mBin + "/Sondump").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    else if (scenario == "empty dump")
        environment.insert("FAKE_TOOL_COPY_FROM", mDir->filePath("empty"));
    else if (scenario == "tool exits 3")
        environment.insert("FAKE_TOOL_EXIT", "3"), environment.insert("FAKE_TOOL_COPY_FROM", "/nonexistent");
    else if (scenario == "wrong header")
        prepareDump(QByteArray(kHeader).replace("Depth,", "depth,") + "\n" + dumpOf(200).mid(kHeader.size() + 1));
    else if (scenario == "long line")
        prepareDump(dumpOf(150) + QByteArray(1022, '7') + "\n" + dumpOf(10).mid(kHeader.size() + 1));
    else if (scenario == "no log")
        log = mDir->filePath("missing.slg");
    else if (scenario == "no destination")
        destination = mDir->filePath("missing");
    else if (scenario == "too few")
        prepareDump(dumpOf(99));
    QVERIFY(TestSupport::writeFile(mDir->filePath("empty"), QByteArray()));

    const TestSupport::ChildResult result = sondrak({ log, destination }, environment);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.standardOutput.isEmpty());
    QVERIFY(nothingLeftBehind());
    QVERIFY(!QFile::exists(mDir->filePath("missing")));
}

void SondrakTest::toolGetsPathsUnchanged()
{
    const QString log = source("it's a \"log\" $HOME \\ 1.slg");
    const QString argumentsFile = mDir->filePath("arguments.txt");
    QProcessEnvironment environment;
    environment.insert("FAKE_TOOL_ARGS_FILE", argumentsFile);
    QCOMPARE(sondrak({ log, mOut }, environment).exitCode, 0);

    const QStringList arguments = TestSupport::readLines(argumentsFile);
    QCOMPARE(arguments.size(), 2);
    QCOMPARE(arguments[0], log);
    // The dump goes to a new file inside the temporary folder.
    QVERIFY2(arguments[1].startsWith(mTemp + "/"), qPrintable(arguments[1]));
    QVERIFY(!QFile::exists(arguments[1]));
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
    // The base name comes from the text after the last separator, "\" included.
    QCOMPARE(onlyArchive(), QStringLiteral(" 1__2012_05_06__07_08_09__99000__100.zip"));
}

void SondrakTest::fullTemporaryFolderFailsCleanly()
{
    // Room for the dump but not for the track written beside it: without
    // the write check a track of missing points would be zipped.
    prepareDump(dumpOf(3000));
    const qint64 dumpSize = QFileInfo(mDump).size();
    TmpfsMount mount(mTemp, (dumpSize / 4096 + 3) * 4096);
    if (!mount.isMounted())
        QSKIP("cannot mount a small file system here");
    QVERIFY(3000 * 20 > 3 * 4096);
    const TestSupport::ChildResult result = sondrak({ source(), mOut });
    QCOMPARE(result.exitCode, 100);
    QVERIFY(nothingLeftBehind());
}

void SondrakTest::fullDestinationFailsCleanly()
{
    // Positions that do not compress, so that the archive outgrows the volume.
    QByteArray dump = kHeader + "\n";
    for (int i = 0; i < 4000; ++i)
        dump += dumpLine(true, "1", true, int(qHash(i) & 0x7FFFFFF), int(qHash(-i) & 0x7FFFFFF), true, i * 977);
    prepareDump(dump);
    TmpfsMount mount(mOut, 16384);
    if (!mount.isMounted())
        QSKIP("cannot mount a small file system here");
    const TestSupport::ChildResult result = sondrak({ source(), mOut });
    QCOMPARE(result.exitCode, 100);
    QVERIFY(nothingLeftBehind());
}

void SondrakTest::csvMode()
{
    prepareDump(kHeader + "\n" + dumpLine(true, "10", true, -5, 6, true, 700));
    const QString stk = mDir->filePath("track.stk");
    QVERIFY(TestSupport::writeFile(stk, convertedTrack(1)));

    const QString csvFolder = mDir->filePath("csv");
    QVERIFY(QDir().mkpath(csvFolder));
    QCOMPARE(sondrak({ "-csv", stk, csvFolder + "/" }).exitCode, 0);
    const QStringList lines = TestSupport::readLines(csvFolder + "/track.csv");
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[3], QStringLiteral("OrigLastWriteLocalTime,\"2012:05:06 07:08:09.000\""));
    QCOMPARE(lines[8], QStringLiteral("-5,6,T,3.048,T,700,T"));

    QByteArray damaged = TestSupport::readFile(stk);
    damaged[8] = 1, damaged[9] = 0, damaged[10] = 0; // version 1.0.0
    QVERIFY(TestSupport::writeFile(stk, damaged));
    QVERIFY(QFile::remove(csvFolder + "/track.csv"));
    QCOMPARE(sondrak({ "-csv", stk, csvFolder }).exitCode, 100);
    QVERIFY(TestSupport::folderEntries(csvFolder).isEmpty());
    QCOMPARE(sondrak({ "-csv", mDir->filePath("missing.stk"), csvFolder }).exitCode, 100);
}

void SondrakTest::csvOutputIsNeverItsSource_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("the track's own folder") << "track" << QString() << 100;
    QTest::newRow("the track's folder by another path") << "track/../track/." << QString() << 100;
    QTest::newRow("a symbolic link to the track") << "links" << "symbolic" << 100;
    QTest::newRow("a hard link to the track") << "links" << "hard" << 100;
    QTest::newRow("another folder") << "links" << QString() << 0;
}

void SondrakTest::csvOutputIsNeverItsSource()
{
    QFETCH(QString, destination);
    QFETCH(QString, link);
    QFETCH(int, exitCode);

    // A track file that happens to be named t.csv.
    const QString track = mDir->filePath("track/t.csv");
    const QByteArray content = convertedTrack(100);
    QCOMPARE(content.size(), 372 + 100 * 20);
    QVERIFY(TestSupport::writeFile(track, content));
    QVERIFY(QDir().mkpath(mDir->filePath("links")));
    const QString linked = mDir->filePath("links/t.csv");
    if (link == "symbolic")
        QVERIFY(QFile::link(track, linked));
    else if (link == "hard")
        QCOMPARE(::link(QFile::encodeName(track).constData(), QFile::encodeName(linked).constData()), 0);

    const TestSupport::ChildResult result = sondrak({ "-csv", track, mDir->filePath(destination) });
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(TestSupport::readFile(track), content);
    if (exitCode == 0)
        QCOMPARE(TestSupport::readLines(linked).size(), 8 + 100);
}

void SondrakTest::debugChannelIsSilentUnlessAsked()
{
    prepareDump(dumpOf(2));
    const QString stk = mDir->filePath("track.stk");
    QByteArray data = convertedTrack(1);
    data.append('\0');
    QVERIFY(TestSupport::writeFile(stk, data));

    const TestSupport::ChildResult quiet = sondrak({ "-csv", stk, mDir->path() });
    QCOMPARE(quiet.exitCode, 100);
    QVERIFY(quiet.standardOutput.isEmpty());
    QVERIFY(quiet.standardError.isEmpty());

    QProcessEnvironment debug;
    debug.insert("SONDRAK_DEBUG", "1");
    const TestSupport::ChildResult talkative = sondrak({ "-csv", stk, mDir->path() }, debug);
    QCOMPARE(talkative.exitCode, 100);
    QVERIFY(talkative.standardOutput.isEmpty());
    const QByteArray expected = "original filename:  " + QFile::encodeName(mDir->filePath("Log 1.slg")) + "\n"
        + "original filesize:  " + QByteArray::number(QFileInfo(mDir->filePath("Log 1.slg")).size()) + "\n";
    QVERIFY2(talkative.standardError.startsWith(expected), talkative.standardError);
    QVERIFY(talkative.standardError.contains("\nLast write time:  2012/05/06  07:08:09\n"
                                             "Number of points:  2\n"
                                             "stk file version:  1.1.0\n"
                                             "mOriginalLastWriteLocalTimeStr:  2012:05:06 07:08:09,000\n"
                                             "\n"
                                             "size mismatch !!!!!!\n"));
}

void SondrakTest::realSampleConverts()
{
    const QString sample = TestSupport::sourceDir() + "/tests/data/sonar/arabia_example.sl2";
    QVERIFY(QFile::exists(sample));
    const QString log = mDir->filePath("arabia.slg");
    QVERIFY(QFile::copy(sample, log));
    QVERIFY(setLastWrite(log, QDateTime(QDate(2018, 9, 11), QTime(10, 0, 1), Qt::LocalTime)));

    QProcessEnvironment environment;
    environment.insert("TMPDIR", mTemp);
    const TestSupport::ChildResult result = TestSupport::runChild(TestSupport::binDir() + "/Sondrak", { log, mOut }, environment);
    QCOMPARE(result.exitCode, 0);
    // Every frame is a point; the time offsets end at 1404539 ms.
    QCOMPARE(TestSupport::folderEntries(mOut), QStringList { "arabia__2018_09_11__10_00_01__1404539__1308.zip" });
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
}

void SondrakTest::synthesizedSlgSurvivesRoundTrip()
{
    // Synthetic log, made up here by the published layout.
    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 120; ++i) {
        SyntheticSlg::Record record = SyntheticSlg::typical(i);
        switch (i % 5) {
        case 1:
            record.flags = 0x6D15, record.unknownA = 0xDEADBEEF;
            break;
        case 2:
            record.flags = 0x6D16, record.unknownB1 = 7, record.unknownB2 = 8;
            break;
        case 3:
            record.flags = 0x6F14; // depth not valid
            break;
        case 4:
            record.flags = 0x6D14 & ~0x0100 & ~0x2000; // no position, no time
            break;
        }
        records << record;
    }
    const QString log = mDir->filePath("synthetic.slg");
    QVERIFY(TestSupport::writeFile(log, SyntheticSlg::log(records, 1200)));
    QVERIFY(setLastWrite(log, QDateTime(QDate(2020, 2, 29), QTime(23, 59, 58), Qt::LocalTime)));

    QProcessEnvironment environment;
    environment.insert("TMPDIR", mTemp);
    QCOMPARE(TestSupport::runChild(TestSupport::binDir() + "/Sondrak", { log, mOut }, environment).exitCode, 0);
    const QString largestTime = QString::number(records[118].timeOffset);
    const QString archive = mOut + "/synthetic__2020_02_29__23_59_58__" + largestTime + "__120.zip";
    QVERIFY2(QFile::exists(archive), qPrintable(TestSupport::folderEntries(mOut).join(' ')));

    const QString text = mDir->filePath("back.txt");
    QCOMPARE(TestSupport::runChild(TestSupport::binDir() + "/Sondump", { archive, text }).exitCode, 0);
    const QStringList lines = TestSupport::readLines(text);
    QCOMPARE(lines.size(), 121);
    QCOMPARE(lines[0].toLatin1(), kHeader);
    for (int i = 0; i < records.size(); ++i) {
        const QStringList fields = lines[i + 1].split(',');
        QCOMPARE(fields.size(), 27);
        const SyntheticSlg::Record &record = records[i];
        const bool hasPosition = record.flags & 0x0100;
        const bool hasTime = record.flags & 0x2000;
        QCOMPARE(fields[2], QString((record.flags & 0x0200) ? "F" : "T"));
        QVERIFY(std::fabs(fields[3].toFloat() - record.depth) < 1e-5f * record.depth);
        QCOMPARE(fields[12], QString(hasPosition ? "T" : "F"));
        QCOMPARE(fields[13].toInt(), hasPosition ? record.positionX : 0);
        QCOMPARE(fields[14].toInt(), hasPosition ? record.positionY : 0);
        QCOMPARE(fields[20], QString(hasTime ? "T" : "F"));
        QCOMPARE(fields[21].toUInt(), hasTime ? record.timeOffset : 0u);
    }
}

void SondrakTest::damagedLogGivesNoShortTrack_data()
{
    QTest::addColumn<int>("firstDamaged");
    QTest::addColumn<int>("lastDamaged");
    QTest::addColumn<int>("exitCode");

    // The dump tool passes over the damaged record; the track lacks only it.
    QTest::newRow("one damaged record in the middle") << 60 << 60 << 0;
    // Nothing after record 60 can be decoded: half a track is no track.
    QTest::newRow("records not understood from the middle on") << 60 << 119 << 100;
}

void SondrakTest::damagedLogGivesNoShortTrack()
{
    QFETCH(int, firstDamaged);
    QFETCH(int, lastDamaged);
    QFETCH(int, exitCode);

    QVector<SyntheticSlg::Record> records;
    for (int i = 0; i < 120; ++i) {
        records << SyntheticSlg::typical(i);
        if (i >= firstDamaged && i <= lastDamaged)
            records.last().sampleCountError = 5;
    }
    const QString log = mDir->filePath("damaged.slg");
    QVERIFY(TestSupport::writeFile(log, SyntheticSlg::log(records, 1200)));
    QVERIFY(setLastWrite(log, QDateTime(QDate(2021, 6, 1), QTime(8, 0, 0), Qt::LocalTime)));

    QProcessEnvironment environment;
    environment.insert("TMPDIR", mTemp);
    const TestSupport::ChildResult result =
        TestSupport::runChild(TestSupport::binDir() + "/Sondrak", { log, mOut, "-minNPoint", "10" }, environment);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(TestSupport::folderEntries(mTemp).isEmpty());
    if (exitCode != 0) {
        QVERIFY(nothingLeftBehind());
        return;
    }
    const int points = 120 - (lastDamaged - firstDamaged + 1);
    const QString archive = mOut + "/damaged__2021_06_01__08_00_00__" + QString::number(records[119].timeOffset) + "__"
        + QString::number(points) + ".zip";
    QCOMPARE(TestSupport::folderEntries(mOut), QStringList { QFileInfo(archive).fileName() });

    const QString text = mDir->filePath("back.txt");
    QCOMPARE(TestSupport::runChild(TestSupport::binDir() + "/Sondump", { archive, text }).exitCode, 0);
    const QStringList lines = TestSupport::readLines(text);
    QCOMPARE(lines.size(), 1 + points);
    QStringList times;
    for (int i = 1; i < lines.size(); ++i)
        times << lines[i].split(',').value(21);
    QStringList expected;
    for (int i = 0; i < records.size(); ++i) {
        if (i < firstDamaged || i > lastDamaged)
            expected << QString::number(records[i].timeOffset);
    }
    QCOMPARE(times, expected);
}

QTEST_GUILESS_MAIN(SondrakTest)
#include "tst_sondrak.moc"
