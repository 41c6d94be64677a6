// The Wakeform stand-in as the store client runs it: a real child process
// started through the product's own tool runner, its positions read back by
// the product's own reader.
#include "testsupport.h"
#include "tracktools.h"
#include "wakeformlog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestWakeform : public QObject
{
    Q_OBJECT

private slots:
    void convertsLogIntoLocatedParts_data();
    void convertsLogIntoLocatedParts();
    void refusesWhatItCannotRead_data();
    void refusesWhatItCannotRead();
};

void TestWakeform::convertsLogIntoLocatedParts_data()
{
    QTest::addColumn<QString>("logName");
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("parts");
    // Position of each part, or none (NaN) when the track has no position.
    QTest::addColumn<QList<double>>("latitudes");
    QTest::addColumn<double>("longitude");

    const double none = qQNaN();
    QTest::newRow("fsh, one track off Naples")
        << "ARCHIVE.FSH" << WakeformLog::sample(WakeformLog::Kind::Fsh, 1, 40.8359, 14.2488)
        << QStringList { "ARCHIVE_001.t3d" } << QList<double> { 40.8359 } << 14.2488;
    QTest::newRow("fsh, three tracks")
        << "ARCHIVE.FSH" << WakeformLog::sample(WakeformLog::Kind::Fsh, 3, -33.85, 151.3)
        << QStringList { "ARCHIVE_001.t3d", "ARCHIVE_002.t3d", "ARCHIVE_003.t3d" }
        << QList<double> { -33.85, -33.85, -33.85 } << 151.3;
    QTest::newRow("dat, two tracks, name with more dots")
        << "R00012.v2.DAT" << WakeformLog::sample(WakeformLog::Kind::Dat, 2, 50.1886, 9.9996)
        << QStringList { "R00012_001.t3d", "R00012_002.t3d" } << QList<double> { 50.1886, 50.1886 } << 9.9996;
    // The position of the design's example, without markers, CRLF line ends.
    QTest::newRow("no markers: one track")
        << "log.fsh" << QByteArray("RL90 FLOBS\r\nD 0 12.5\r\nPOS 1113195;6446276\r\nPOS 0;0\r\n")
        << QStringList { "log_001.t3d" } << QList<double> { 50.1886 } << 9.9996;
    QTest::newRow("track without a position has no text")
        << "a.fsh" << QByteArray("RL90 FLOBS\nTRACK\nD 0 3.0\nTRACK\nPOS 1113195;6446276\n")
        << QStringList { "a_001.t3d", "a_002.t3d" } << QList<double> { none, 50.1886 } << 9.9996;
}

void TestWakeform::convertsLogIntoLocatedParts()
{
    QFETCH(QString, logName);
    QFETCH(QByteArray, log);
    QFETCH(QStringList, parts);
    QFETCH(QList<double>, latitudes);
    QFETCH(double, longitude);

    QTemporaryDir work;
    const QString logPath = work.filePath(QStringLiteral("card/") + logName);
    QVERIFY(TestSupport::writeFile(logPath, log));
    const QString output = work.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(output));

    QVERIFY(TrackTools::runWakeform(QDir(TestSupport::binDir()), logPath, output));

    QStringList expected;
    for (int i = 0; i < parts.size(); ++i) {
        expected << parts.at(i);
        if (!qIsNaN(latitudes.at(i)))
            expected << QString(parts.at(i)).replace(QLatin1String(".t3d"), QLatin1String(".txt"));
    }
    expected.sort();
    QCOMPARE(TestSupport::folderEntries(output), expected);

    QSet<QByteArray> contents;
    for (int i = 0; i < parts.size(); ++i) {
        const QByteArray t3d = TestSupport::readFile(QDir(output).filePath(parts.at(i)));
        QVERIFY(t3d.startsWith("T3D stand-in 1\nsource: " + logName.toUtf8() + '\n'));
        contents.insert(t3d);
        if (qIsNaN(latitudes.at(i)))
            continue;
        double latitude = 0;
        double readLongitude = 0;
        const QString text = QDir(output).filePath(QString(parts.at(i)).replace(QLatin1String(".t3d"), QLatin1String(".txt")));
        QVERIFY(TrackTools::readT3dTrackText(text, latitude, readLongitude));
        QVERIFY2(qAbs(latitude - latitudes.at(i)) < 1e-4, qPrintable(QString::number(latitude, 'f', 6)));
        // Later sample tracks lie 0.01 degrees further east each.
        const double east = log.contains("TRACK ") ? 0.01 * i : 0.0;
        QVERIFY2(qAbs(readLongitude - longitude - east) < 1e-4, qPrintable(QString::number(readLongitude, 'f', 6)));
    }
    // Every part carries its own track.
    QCOMPARE(contents.size(), parts.size());
}

void TestWakeform::refusesWhatItCannotRead_data()
{
    QTest::addColumn<QString>("logName");
    QTest::addColumn<QByteArray>("log");   // null: no file at all
    QTest::addColumn<int>("exitCode");

    QTest::newRow("missing") << "gone.fsh" << QByteArray() << 3;
    QTest::newRow("empty") << "empty.fsh" << QByteArray("") << 3;
    QTest::newRow("signature only") << "bare.dat" << QByteArray("WAKE DAT\n") << 3;
    QTest::newRow("other signature") << "other.fsh" << QByteArray("WAKE DAT\nPOS 1;2\n") << 4;
    QTest::newRow("not a log") << "photo.fsh" << QByteArray("\x89PNG\r\n\x1a\n", 8) << 4;
    QTest::newRow("other kind") << "log.slg" << QByteArray("RL90 FLOBS\nPOS 1;2\n") << 4;
}

void TestWakeform::refusesWhatItCannotRead()
{
    QFETCH(QString, logName);
    QFETCH(QByteArray, log);
    QFETCH(int, exitCode);

    QTemporaryDir work;
    const QString logPath = work.filePath(logName);
    if (!log.isNull())
        QVERIFY(TestSupport::writeFile(logPath, log));
    const TestSupport::ChildResult result
        = TestSupport::runChild(QDir(TestSupport::binDir()).filePath(QStringLiteral("Wakeform")), { logPath, work.path() });
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(QDir(work.path()).entryList({ QStringLiteral("*.t3d"), QStringLiteral("*.txt") }, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestWakeform)
#include "tst_wakeform.moc"
