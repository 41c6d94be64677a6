#include "environment.h"
#include "logging.h"
#include "platformenvironment.h"
#include "testsupport.h"
#include "tracktools.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

using Runner = bool (*)(const QDir &, const QString &, const QString &);

} // namespace

class TrackToolsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void projection_data();
    void projection();
    void toolRuns_data();
    void toolRuns();
    void toolGetsArgumentsUnchanged_data();
    void toolGetsArgumentsUnchanged();
    void t3dPositionText_data();
    void t3dPositionText();
    void slgPositionText_data();
    void slgPositionText();
    void missingSlgTextIsReported();
    void realToolsGiveTrackPosition();

private:
    QStringList logLines();

    QTemporaryDir *mDir = nullptr;
};

void TrackToolsTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
    QVERIFY(openLogFile(mDir->filePath("log")));
    qInstallMessageHandler(logMessageHandler);
}

void TrackToolsTest::cleanup()
{
    qInstallMessageHandler(nullptr);
    closeLogFile();
    delete mDir;
    mDir = nullptr;
}

QStringList TrackToolsTest::logLines()
{
    qInstallMessageHandler(nullptr);
    closeLogFile();
    return TestSupport::readLines(mDir->filePath("log"));
}

void TrackToolsTest::projection_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");

    QTest::newRow("central Europe") << 1113195.0 << 6446276.0 << true << 50.1886 << 9.9996;
    QTest::newRow("origin") << 0.0 << 0.0 << true << 0.0 << 0.0;
    QTest::newRow("south-west") << -1113195.0 << -6446276.0 << true << -50.1886 << -9.9996;
    QTest::newRow("y at the limit") << 0.0 << 15433199.0 << false << 0.0 << 0.0;
    QTest::newRow("negative y at the limit") << 0.0 << -15433199.0 << false << 0.0 << 0.0;
    QTest::newRow("y just below the limit") << 0.0 << 15433198.0 << true << 79.9000 << 0.0;
    QTest::newRow("x wraps east to west and clamps") << 20038301.0 << 0.0 << true << 0.0 << -180.0;
    QTest::newRow("x wraps west to east and clamps") << -20038301.0 << 0.0 << true << 0.0 << 180.0;
    QTest::newRow("x at the edge stays") << 20038300.0 << 0.0 << true << 0.0 << 180.0;
    QTest::newRow("x beyond a full turn") << 30000000.0 << 0.0 << true << 0.0 << -90.5161;
    QTest::newRow("not a number") << 0.0 << std::numeric_limits<double>::quiet_NaN() << false << 0.0 << 0.0;
}

void TrackToolsTest::projection()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(bool, result);
    QFETCH(double, latitude);
    QFETCH(double, longitude);

    double outLatitude = 99;
    double outLongitude = 99;
    QCOMPARE(TrackTools::mercatorToLatLon(x, y, outLongitude, outLatitude), result);
    QCOMPARE(QString::number(outLatitude, 'f', 4), QString::number(latitude, 'f', 4));
    if (result)
        QCOMPARE(QString::number(outLongitude, 'f', 4), QString::number(longitude, 'f', 4));
    // At the edges the unclamped value lies a few metres beyond 180 degrees.
    if (result && std::fabs(longitude) == 180.0)
        QCOMPARE(outLongitude, longitude);
}

void TrackToolsTest::toolRuns_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("log");

    const struct { const char *tool; const char *message; } tools[] = {
        { "Wakeform", "********** Fsh conversion failed - error:  3" },
        { "Sondrak", "********** Slg conversion failed - error:  3" },
        { "Sondump", "********** Zip conversion failed - error:  3" },
    };
    for (const auto &tool : tools) {
        QTest::addRow("%s exits 0", tool.tool) << tool.tool << "0" << true << QStringList();
        QTest::addRow("%s exits 3", tool.tool) << tool.tool << "3" << false << QStringList { tool.message };
        QTest::addRow("%s missing", tool.tool) << tool.tool << "missing" << false << QStringList();
        QTest::addRow("%s not executable", tool.tool) << tool.tool << "not executable" << false << QStringList();
    }
    QTest::newRow("Sondrak crashes") << "Sondrak" << "crash" << false << QStringList { "@ANY@" };
}

void TrackToolsTest::toolRuns()
{
    QFETCH(QString, tool);
    QFETCH(QString, behaviour);
    QFETCH(bool, result);
    QFETCH(QStringList, log);

    const QString toolDir = mDir->filePath("tools");
    QVERIFY(QDir().mkpath(toolDir));
    if (behaviour != "missing")
        QVERIFY(TestSupport::copyExecutable(TestSupport::fakeToolPath(), toolDir, executableFileName(tool)));
    if (behaviour == "not executable")
        QVERIFY(QFile(toolDir + "/" + tool).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    qputenv("FAKE_TOOL_EXIT", behaviour == "3" ? "3" : "0");
    qputenv("FAKE_TOOL_CRASH", behaviour == "crash" ? "1" : "0");

    const Runner runner = tool == "Wakeform" ? &TrackTools::runWakeform
        : tool == "Sondrak"                  ? &TrackTools::runSondrak
                                             : &TrackTools::runSondump;
    QCOMPARE(runner(QDir(toolDir), mDir->filePath("track.slg"), mDir->filePath("out")), result);
    qunsetenv("FAKE_TOOL_EXIT");
    qunsetenv("FAKE_TOOL_CRASH");

    const QStringList lines = logLines();
    if (log == QStringList { "@ANY@" })
        QCOMPARE(lines.size(), 1);
    else
        QCOMPARE(lines, log);
}

void TrackToolsTest::toolGetsArgumentsUnchanged_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<bool>("secondIsFolder");
    QTest::newRow("Wakeform") << "Wakeform" << true;
    QTest::newRow("Sondrak") << "Sondrak" << true;
    QTest::newRow("Sondump") << "Sondump" << false;
}

void TrackToolsTest::toolGetsArgumentsUnchanged()
{
    QFETCH(QString, tool);
    QFETCH(bool, secondIsFolder);
    const QString toolDir = mDir->filePath("tool folder \"with\" quotes");
    QVERIFY(TestSupport::copyExecutable(TestSupport::fakeToolPath(), toolDir, executableFileName(tool)));
    const QString argumentsFile = mDir->filePath("arguments.txt");
    qputenv("FAKE_TOOL_ARGS_FILE", QFile::encodeName(argumentsFile));

    const QString first = mDir->filePath("My Track (2) 'a' \"b\" $HOME.slg");
    QVERIFY(QDir::setCurrent(mDir->path()));
    const Runner runner = tool == "Wakeform" ? &TrackTools::runWakeform
        : tool == "Sondrak"                  ? &TrackTools::runSondrak
                                             : &TrackTools::runSondump;
    // A relative tool folder is made absolute; so is an output folder.
    QVERIFY(runner(QDir("tool folder \"with\" quotes"), first, "out dir"));
    qunsetenv("FAKE_TOOL_ARGS_FILE");

    const QString second = secondIsFolder ? mDir->filePath("out dir") : QStringLiteral("out dir");
    QCOMPARE(TestSupport::readLines(argumentsFile), (QStringList { first, second }));
    QVERIFY(logLines().isEmpty());
}

void TrackToolsTest::t3dPositionText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("failure");

    const QString wrongCount = "FAIL - Failed reading txt file created to get lat/lon for t3d track:  \"@PATH@\"";
    QTest::newRow("position") << QByteArray("1113195;6446276\n") << true << 50.1886 << 9.9996 << QString();
    QTest::newRow("only the first line counts") << QByteArray("1113195;6446276\r\n1;2;3\n") << true << 50.1886
                                                << 9.9996 << QString();
    QTest::newRow("no semicolon") << QByteArray("1113195 6446276\n") << false << 0.0 << 0.0 << wrongCount;
    QTest::newRow("three fields") << QByteArray("1;2;3\n") << false << 0.0 << 0.0 << wrongCount;
    QTest::newRow("empty file") << QByteArray() << false << 0.0 << 0.0 << wrongCount;
    QTest::newRow("not numbers count as 0") << QByteArray("east;north\n") << true << 0.0 << 0.0 << QString();
    // The projection refuses without a message of the reader.
    QTest::newRow("y out of range") << QByteArray("0;15433199\n") << false << 0.0 << 0.0 << QString();
}

void TrackToolsTest::t3dPositionText()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, result);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, failure);

    const QString path = mDir->filePath("track_1.txt");
    QVERIFY(TestSupport::writeFile(path, content));
    double outLatitude = 0;
    double outLongitude = 0;
    QCOMPARE(TrackTools::readT3dTrackText(path, outLatitude, outLongitude), result);
    if (result) {
        QCOMPARE(QString::number(outLatitude, 'f', 4), QString::number(latitude, 'f', 4));
        QCOMPARE(QString::number(outLongitude, 'f', 4), QString::number(longitude, 'f', 4));
    }
    QVERIFY(!QFile::exists(path)); // read once, then deleted

    QStringList expected { "reading txt file for track  \"" + path + "\"" };
    if (!failure.isEmpty())
        expected << QString(failure).replace("@PATH@", path);
    QCOMPARE(logLines(), expected);

    // A missing file is reported as such.
    QVERIFY(openLogFile(mDir->filePath("log")));
    qInstallMessageHandler(logMessageHandler);
    QVERIFY(!TrackTools::readT3dTrackText(path, outLatitude, outLongitude));
    QCOMPARE(logLines(), (QStringList { "reading txt file for track  \"" + path + "\"",
                                        "FAIL - Failed reading txt file created for t3d track:  \"" + path + "\"" }));
}

void TrackToolsTest::slgPositionText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");

    const QByteArray header =
        "UpperLimit,LowerLimit,DepthValid,Depth,WaterTempValid,WaterTemp,Temp2Valid,Temp2,Temp3Valid,Temp3,"
        "WaterSpeedValid,WaterSpeed,PositionValid,PositionX,PositionY,SurfaceDepth,SurfaceValid,TopOfBottomDepth,"
        "TopOfBottomValid,ColumnIs50kHz,TimeValid,TimeOffset[ms],SpeedTrackValid,Speed,Track,AltitudeValid,Altitude\n";
    const auto line = [](const QByteArray &flag, const QByteArray &x, const QByteArray &y) {
        return "0,40,T,12,T,14,F,0,F,0,F,0," + flag + "," + x + "," + y + ",1,T,10,T,F,T,1000,T,4,1,T,120\n";
    };

    QTest::newRow("all positions invalid")
        << header + line("F", "1113195", "6446276") + line("F", "1", "2") << false << 0.0 << 0.0;
    QTest::newRow("first valid line wins") << header + line("F", "0", "0") + line("T", "1113195", "6446276")
            + line("T", "0", "0")
                                           << true << 50.1886 << 9.9996;
    QTest::newRow("lines of other length skipped") << header + "T,1,2\n" + line("T", "1113195", "6446276").replace(",120\n", ",120,extra\n")
            + line("T", "-1113195", "-6446276")
                                                   << true << -50.1886 << -9.9996;
    QTest::newRow("CR LF") << header + line("T", "1113195", "6446276").replace("\n", "\r\n") << true << 50.1886
                           << 9.9996;
    QTest::newRow("rejected y goes on to the next line")
        << header + line("T", "0", "15433199") + line("T", "1113195", "6446276") << true << 50.1886 << 9.9996;
    QTest::newRow("header only") << header << false << 0.0 << 0.0;
    // Only an exact F rules a line out.
    QTest::newRow("flag other than F") << header + line("false", "1113195", "6446276") << true << 50.1886 << 9.9996;
}

void TrackToolsTest::slgPositionText()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, result);
    QFETCH(double, latitude);
    QFETCH(double, longitude);

    const QString path = mDir->filePath("track.txt");
    QVERIFY(TestSupport::writeFile(path, content));
    double outLatitude = 0;
    double outLongitude = 0;
    QCOMPARE(TrackTools::readSlgTrackText(path, outLatitude, outLongitude), result);
    QVERIFY(QFile::exists(path)); // left in place
    if (result) {
        QCOMPARE(QString::number(outLatitude, 'f', 4), QString::number(latitude, 'f', 4));
        QCOMPARE(QString::number(outLongitude, 'f', 4), QString::number(longitude, 'f', 4));
        QVERIFY(logLines().isEmpty());
    } else {
        QCOMPARE(logLines(), QStringList { "FAIL - Failed reading txt file created to get lat/lon or no valid gps "
                                           "points for slg track  \""
                                           + path + "\"" });
    }
}

void TrackToolsTest::missingSlgTextIsReported()
{
    double latitude = 0;
    double longitude = 0;
    QVERIFY(!TrackTools::readSlgTrackText(mDir->filePath("missing.txt"), latitude, longitude));
    QCOMPARE(logLines(), QStringList { "FAIL - Failed reading txt file created for slg track " });
}

void TrackToolsTest::realToolsGiveTrackPosition()
{
    // The store client's road for an SL2 sample: Sondrak makes the archive,
    // Sondump writes its text, the reader finds the first position.
    const QDir toolDir(TestSupport::binDir());
    const QString log = mDir->filePath("sample.slg");
    QVERIFY(QFile::copy(TestSupport::sourceDir() + "/tests/data/sonar/node-sl2format_version-1.sl2", log));
    const QString converted = mDir->filePath("stk-tracks-tmp");
    QVERIFY(QDir().mkpath(converted));

    QVERIFY(!TrackTools::runSondrak(toolDir, log, converted)); // 7 points, fewer than 100
    QCOMPARE(logLines(), QStringList { "********** Slg conversion failed - error:  2" });

    QVERIFY(openLogFile(mDir->filePath("log")));
    qInstallMessageHandler(logMessageHandler);
    const QString bigLog = mDir->filePath("arabia.slg");
    QVERIFY(QFile::copy(TestSupport::sourceDir() + "/tests/data/sonar/arabia_example.sl2", bigLog));
    QVERIFY(TrackTools::runSondrak(toolDir, bigLog, converted));
    const QStringList archives = QDir(converted).entryList({ "*.zip" });
    QCOMPARE(archives.size(), 1);
    const QString text = mDir->filePath("position.txt");
    QVERIFY(TrackTools::runSondump(toolDir, converted + "/" + archives.first(), text));

    double latitude = 0;
    double longitude = 0;
    QVERIFY(TrackTools::readSlgTrackText(text, latitude, longitude));
    double expectedLatitude = 0;
    double expectedLongitude = 0;
    QVERIFY(TrackTools::mercatorToLatLon(4433307, 7003054, expectedLongitude, expectedLatitude));
    QCOMPARE(latitude, expectedLatitude);
    QCOMPARE(longitude, expectedLongitude);
    QVERIFY(latitude > 53 && latitude < 54 && longitude > 39 && longitude < 41);
    QVERIFY(logLines().isEmpty());
}

QTEST_GUILESS_MAIN(TrackToolsTest)
#include "tst_tracktools.moc"
