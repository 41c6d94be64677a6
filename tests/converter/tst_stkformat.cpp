#include "stkreader.h"
#include "stktocsv.h"
#include "stkwriter.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <ctime>

namespace {

// Central European time with summer time, so that a local time differs from
// UTC and its offset depends on the date.
const char *const kTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";

std::string local8(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// The FILETIME of a local calendar time, worked out apart from the code
// under test: the calendar fields read as UTC, counted from 1601.
quint64 fileTimeOfLocal(const QDateTime &localTime)
{
    const QDateTime asUtc(localTime.date(), localTime.time(), Qt::UTC);
    return quint64(asUtc.toMSecsSinceEpoch() + 11644473600000LL) * 10000ULL;
}

quint32 u32At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(data.constData()) + offset);
}

quint64 u64At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint64>(reinterpret_cast<const uchar *>(data.constData()) + offset);
}

float f32At(const QByteArray &data, int offset)
{
    const quint32 bits = u32At(data, offset);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

TrackPoint makePoint(bool depthValid, float depth, bool positionValid, int x, int y, bool timeValid, int time)
{
    TrackPoint point;
    point.DepthValid = depthValid;
    point.Depth = depth;
    point.PositionValid = positionValid;
    point.PositionX = x;
    point.PositionY = y;
    point.TimeValid = timeValid;
    point.TimeOffset = time;
    return point;
}

} // namespace

Q_DECLARE_METATYPE(TrackPoint)

class StkFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void preambleAndHeaderAreWrittenByteForByte();
    void creationTimeFallsBackToLastWrite();
    void pointRecords_data();
    void pointRecords();
    void tenFeetIsNearestFloatToMetres();
    void largestValidTimeOffset_data();
    void largestValidTimeOffset();
    void emptyTrack();
    void abandonedWriterLeavesConsistentHeader();
    void sourceThatCannotBeDescribedCreatesNothing_data();
    void sourceThatCannotBeDescribedCreatesNothing();
    void longestSourcePathFitsHeader_data();
    void longestSourcePathFitsHeader();
    void failedWritesAreReported();
    void versionCheck_data();
    void versionCheck();
    void sizeMustMatchPointCount_data();
    void sizeMustMatchPointCount();
    void hostileHeaderTextsStayInBounds();
    void csvExport();
    void csvOfEmptyTrackHasHeadOnly();
    void csvOfInvalidTrackWritesNothing();
    void csvThatCannotBeWrittenIsRemoved();

private:
    QString makeSource(const QDateTime &lastWrite, int size = 1234);
    // Writes a track of points from a fresh source log; returns its path.
    QString writeTrack(const QVector<TrackPoint> &points);

    QTemporaryDir *mDir = nullptr;
};

void StkFormatTest::initTestCase()
{
    qputenv("TZ", kTimeZone);
    tzset();
}

void StkFormatTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void StkFormatTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

QString StkFormatTest::makeSource(const QDateTime &lastWrite, int size)
{
    const QString path = mDir->filePath("Log 1.slg");
    TestSupport::writeFile(path, QByteArray(size, 'x'));
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(lastWrite, QFileDevice::FileModificationTime);
    return path;
}

QString StkFormatTest::writeTrack(const QVector<TrackPoint> &points)
{
    const QString source = makeSource(QDateTime(QDate(2012, 5, 6), QTime(7, 8, 9), Qt::LocalTime));
    const QString output = mDir->filePath("track.stk");
    CStkWriter writer;
    if (writer.Open(local8(source), local8(output)) != 0)
        return QString();
    for (const TrackPoint &point : points)
        writer.WritePoint(point);
    return writer.Finish() == 0 ? output : QString();
}

void StkFormatTest::preambleAndHeaderAreWrittenByteForByte()
{
    const QDateTime lastWrite(QDate(2012, 5, 6), QTime(7, 8, 9, 123), Qt::LocalTime);
    const QString source = makeSource(lastWrite, 4321);
    const QString output = mDir->filePath("track.stk");

    // A relative source path is described by its full path.
    QVERIFY(QDir::setCurrent(mDir->path()));
    QVERIFY(QDir(mDir->path()).mkpath("sub"));
    CStkWriter writer;
    QCOMPARE(writer.Open("./sub/../Log 1.slg", local8(output)), 0);
    writer.WritePoint(makePoint(true, 1, true, 2, 3, true, 4));
    writer.WritePoint(makePoint(true, 1, true, 2, 3, true, 5));
    QCOMPARE(writer.Finish(), 0);
    QCOMPARE(writer.PointCount(), 2);

    const QByteArray data = TestSupport::readFile(output);
    QCOMPARE(data.size(), 372 + 2 * 20);
    QCOMPARE(data.left(12).toHex(' '), QByteArray("6b 74 73 2e 68 01 00 00 01 01 00 00"));

    const QByteArray header = data.mid(12, 360);
    const QByteArray expectedPath = QFile::encodeName(QFileInfo(source).absoluteFilePath());
    QCOMPARE(header.left(expectedPath.size()), expectedPath);
    QCOMPARE(header.mid(expectedPath.size(), 300 - expectedPath.size()), QByteArray(300 - expectedPath.size(), '\0'));
    QCOMPARE(u32At(header, 300), 4321u);
    QCOMPARE(u64At(header, 312), fileTimeOfLocal(lastWrite) + 0); // milliseconds included
    QCOMPARE(u32At(header, 320), 2u);
    QCOMPARE(u32At(header, 324), 20u);
    QCOMPARE(u32At(header, 328), 0u);
    QCOMPARE(header.mid(332, 24), QByteArray("2012:05:06 07:08:09,123") + '\0');
    QCOMPARE(u32At(header, 356), 0u);

    const QDateTime birth = QFileInfo(source).birthTime();
    if (birth.isValid()) {
        const quint64 creation = u64At(header, 304);
        QCOMPARE(creation / 10000, fileTimeOfLocal(birth.toLocalTime()) / 10000);
    }
}

void StkFormatTest::creationTimeFallsBackToLastWrite()
{
    const QString source = makeSource(QDateTime(QDate(2011, 1, 2), QTime(3, 4, 5), Qt::LocalTime));
    if (QFileInfo(source).birthTime().isValid())
        QSKIP("this file system records creation times");
    const QString output = mDir->filePath("track.stk");
    CStkWriter writer;
    QCOMPARE(writer.Open(local8(source), local8(output)), 0);
    QCOMPARE(writer.Finish(), 0);
    const QByteArray data = TestSupport::readFile(output);
    QCOMPARE(u64At(data, 12 + 304), u64At(data, 12 + 312));
}

void StkFormatTest::pointRecords_data()
{
    QTest::addColumn<bool>("depthValid");
    QTest::addColumn<bool>("positionValid");
    QTest::addColumn<bool>("timeValid");
    QTest::addColumn<int>("flagByte");

    QTest::newRow("none") << false << false << false << 0;
    QTest::newRow("position") << false << true << false << 1;
    QTest::newRow("depth") << true << false << false << 2;
    QTest::newRow("time") << false << false << true << 4;
    QTest::newRow("all") << true << true << true << 7;
}

void StkFormatTest::pointRecords()
{
    QFETCH(bool, depthValid);
    QFETCH(bool, positionValid);
    QFETCH(bool, timeValid);
    QFETCH(int, flagByte);

    const TrackPoint written = makePoint(depthValid, 12.5f, positionValid, -1113195, 6446276, timeValid, 65536 + 7);
    const QString path = writeTrack({ written });
    QVERIFY(!path.isEmpty());
    const QByteArray record = TestSupport::readFile(path).mid(372);
    QCOMPARE(record.size(), 20);
    QCOMPARE(int(uchar(record[0])), flagByte);
    QCOMPARE(record.mid(1, 3), QByteArray(3, '\0'));
    QCOMPARE(qint32(u32At(record, 4)), -1113195);
    QCOMPARE(qint32(u32At(record, 8)), 6446276);
    QCOMPARE(f32At(record, 12), float(12.5 * 0.3048));
    QCOMPARE(qint32(u32At(record, 16)), 65543);

    CStkReader reader(local8(path));
    QCOMPARE(reader.Status(), 0);
    TrackPoint read;
    QCOMPARE(reader.ReadPoint(read), 0);
    QCOMPARE(read.DepthValid, depthValid);
    QCOMPARE(read.PositionValid, positionValid);
    QCOMPARE(read.TimeValid, timeValid);
    QCOMPARE(read.PositionX, written.PositionX);
    QCOMPARE(read.PositionY, written.PositionY);
    QCOMPARE(read.TimeOffset, written.TimeOffset);
    QCOMPARE(read.Depth, 12.5f);
    QCOMPARE(reader.ReadPoint(read), 5);
}

void StkFormatTest::tenFeetIsNearestFloatToMetres()
{
    const QString path = writeTrack({ makePoint(true, 10.0f, false, 0, 0, false, 0) });
    QVERIFY(!path.isEmpty());
    const float stored = f32At(TestSupport::readFile(path), 372 + 12);
    // The literal 3.048f is the float nearest to 3.048.
    QCOMPARE(stored, 3.048f);
}

void StkFormatTest::largestValidTimeOffset_data()
{
    QTest::addColumn<QVector<TrackPoint>>("points");
    QTest::addColumn<int>("largest");

    QTest::newRow("invalid times do not count")
        << QVector<TrackPoint> { makePoint(false, 0, false, 0, 0, false, 5000),
                                 makePoint(false, 0, false, 0, 0, false, 5000) }
        << 0;
    QTest::newRow("largest valid wins") << QVector<TrackPoint> { makePoint(false, 0, false, 0, 0, true, 0),
                                                                 makePoint(false, 0, false, 0, 0, true, 1500),
                                                                 makePoint(false, 0, false, 0, 0, false, 9000),
                                                                 makePoint(false, 0, false, 0, 0, true, 1000) }
                                        << 1500;
    QTest::newRow("negative times leave 0")
        << QVector<TrackPoint> { makePoint(false, 0, false, 0, 0, true, -20) } << 0;
    QTest::newRow("no points") << QVector<TrackPoint>() << 0;
}

void StkFormatTest::largestValidTimeOffset()
{
    QFETCH(QVector<TrackPoint>, points);
    QFETCH(int, largest);
    const QString source = makeSource(QDateTime::currentDateTime());
    CStkWriter writer;
    QCOMPARE(writer.Open(local8(source), local8(mDir->filePath("t.stk"))), 0);
    for (const TrackPoint &point : points)
        writer.WritePoint(point);
    QCOMPARE(writer.Finish(), 0);
    QCOMPARE(writer.LargestValidTimeOffset(), largest);
    QCOMPARE(writer.PointCount(), points.size());
}

void StkFormatTest::emptyTrack()
{
    const QString path = writeTrack({});
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(path).size(), 372);
    CStkReader reader(local8(path));
    QCOMPARE(reader.Status(), 0);
    QCOMPARE(reader.NofPoints(), 0);
    TrackPoint point;
    QCOMPARE(reader.ReadPoint(point), 5);
}

void StkFormatTest::abandonedWriterLeavesConsistentHeader()
{
    const QString source = makeSource(QDateTime::currentDateTime());
    const QString output = mDir->filePath("abandoned.stk");
    {
        CStkWriter writer;
        QCOMPARE(writer.Open(local8(source), local8(output)), 0);
        for (int i = 0; i < 3; ++i)
            writer.WritePoint(makePoint(true, 1, true, i, i, true, i));
    }
    CStkReader reader(local8(output));
    QCOMPARE(reader.Status(), 0);
    QCOMPARE(reader.NofPoints(), 3);
}

void StkFormatTest::sourceThatCannotBeDescribedCreatesNothing_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("missing source") << QStringLiteral("missing.slg");
    QTest::newRow("folder as source") << QStringLiteral("folder");

}

void StkFormatTest::sourceThatCannotBeDescribedCreatesNothing()
{
    QFETCH(QString, source);
    QDir(mDir->path()).mkpath("folder");
    const QString sourcePath = mDir->filePath(source);
    const QString output = mDir->filePath("out.stk");
    CStkWriter writer;
    QCOMPARE(writer.Open(local8(sourcePath), local8(output)), 10);
    QCOMPARE(writer.WritePoint(makePoint(true, 1, true, 1, 1, true, 1)), 10);
    QCOMPARE(writer.PointCount(), 1); // counted all the same
    QCOMPARE(writer.Finish(), 10);
    QVERIFY(!QFile::exists(output));
}

void StkFormatTest::longestSourcePathFitsHeader_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("result");
    // The header keeps 299 characters and a terminator.
    QTest::newRow("299 characters") << 299 << 0;
    QTest::newRow("300 characters") << 300 << 10;
}

void StkFormatTest::longestSourcePathFitsHeader()
{
    QFETCH(int, length);
    QFETCH(int, result);
    // Folders of 100 characters, then a file name that makes up the length.
    QString path = QFileInfo(mDir->path()).absoluteFilePath();
    while (length - path.size() > 150)
        path += "/" + QString(100, 'f');
    path += "/" + QString(length - path.size() - 5, 'n') + ".slg";
    QCOMPARE(path.size(), length);
    QVERIFY(TestSupport::writeFile(path, "x"));

    const QString output = mDir->filePath("out.stk");
    CStkWriter writer;
    QCOMPARE(writer.Open(local8(path), local8(output)), result);
    writer.Finish();
    if (result == 0) {
        CStkReader reader(local8(output));
        QCOMPARE(QString::fromLocal8Bit(reader.OriginalFullPath()), path);
    } else {
        QVERIFY(!QFile::exists(output));
    }
}

void StkFormatTest::failedWritesAreReported()
{
    // Every write to /dev/full fails for want of space, as on a full card.
    const QString source = makeSource(QDateTime::currentDateTime());
    CStkWriter writer;
    QCOMPARE(writer.Open(local8(source), "/dev/full"), 0);
    for (int i = 0; i < 100; ++i)
        writer.WritePoint(makePoint(true, 1, true, i, i, true, i));
    QCOMPARE(writer.Finish(), 10);
    QVERIFY(writer.Failed());
}

void StkFormatTest::versionCheck_data()
{
    QTest::addColumn<QByteArray>("preamble");
    QTest::addColumn<int>("status");

    QTest::newRow("1.1.0") << QByteArray::fromHex("6b74732e680100000101 0000") << 0;
    QTest::newRow("2.0.0") << QByteArray::fromHex("6b74732e680100000200 0000") << 0;
    QTest::newRow("1.0.1") << QByteArray::fromHex("6b74732e680100000100 0100") << 0;
    QTest::newRow("1.0.0") << QByteArray::fromHex("6b74732e680100000100 0000") << 3;
    QTest::newRow("bad magic") << QByteArray::fromHex("6b74732f680100000101 0000") << 3;
    // Neither header length nor point size is consulted.
    QTest::newRow("other header length") << QByteArray::fromHex("6b74732e000000000101 0000") << 0;
}

void StkFormatTest::versionCheck()
{
    QFETCH(QByteArray, preamble);
    QFETCH(int, status);
    const QString path = writeTrack({ makePoint(true, 1, true, 1, 1, true, 1) });
    QByteArray data = TestSupport::readFile(path);
    data.replace(0, 12, preamble);
    TestSupport::writeFile(path, data);
    CStkReader reader(local8(path));
    QCOMPARE(reader.Status(), status);
    TrackPoint point;
    QCOMPARE(reader.ReadPoint(point), status == 0 ? 0 : 4);
    // The same bytes in memory read alike, to the end of the points.
    CStkReader memory(reinterpret_cast<const unsigned char *>(data.constData()), std::size_t(data.size()));
    QCOMPARE(memory.Status(), status);
    QCOMPARE(memory.ReadPoint(point), status == 0 ? 0 : 4);
    QCOMPARE(memory.ReadPoint(point), status == 0 ? 5 : 4);
}

void StkFormatTest::sizeMustMatchPointCount_data()
{
    QTest::addColumn<int>("sizeChange");
    QTest::addColumn<int>("status");

    QTest::newRow("one byte appended") << 1 << 9;
    QTest::newRow("one byte missing") << -1 << 9;
    QTest::newRow("one record missing") << -20 << 9;
    QTest::newRow("header cut") << -(20 + 100) << 4;
    QTest::newRow("preamble cut") << -(20 + 365) << 4;
}

void StkFormatTest::sizeMustMatchPointCount()
{
    QFETCH(int, sizeChange);
    QFETCH(int, status);
    const QString path = writeTrack({ makePoint(true, 1, true, 1, 1, true, 1) });
    QByteArray data = TestSupport::readFile(path);
    if (sizeChange > 0)
        data.append(QByteArray(sizeChange, '\0'));
    else
        data.chop(-sizeChange);
    TestSupport::writeFile(path, data);
    CStkReader reader(local8(path));
    QCOMPARE(reader.Status(), status);
    CStkReader memory(reinterpret_cast<const unsigned char *>(data.constData()), std::size_t(data.size()));
    QCOMPARE(memory.Status(), status);
}

void StkFormatTest::hostileHeaderTextsStayInBounds()
{
    const QString path = writeTrack({ makePoint(true, 1, true, 1, 1, true, 1) });
    QByteArray data = TestSupport::readFile(path);
    // No terminators in the texts, and a point count whose size overflows 32 bits.
    data.replace(12, 300, QByteArray(300, 'p'));
    data.replace(12 + 332, 24, QByteArray(24, 't'));
    TestSupport::writeFile(path, data);

    CStkReader reader(local8(path));
    QCOMPARE(reader.Status(), 0);
    QCOMPARE(QByteArray(reader.OriginalFullPath()), QByteArray(300, 'p'));
    QCOMPARE(QByteArray(reader.OriginalLastWriteLocalTimeStr()), QByteArray(24, 't'));

    const int countOffset = 12 + 320;
    for (quint32 count : { 0x7FFFFFFFu, 0xFFFFFFFFu, 0x0CCCCCCDu }) {
        qToLittleEndian(count, reinterpret_cast<uchar *>(data.data()) + countOffset);
        TestSupport::writeFile(path, data);
        CStkReader hostile(local8(path));
        QCOMPARE(hostile.Status(), 9);
    }
}

void StkFormatTest::csvExport()
{
    const QString path = writeTrack({ makePoint(true, 10.0f, true, -1113195, 6446276, true, 1500),
                                      makePoint(false, 1.0f, false, 7, -8, false, 0),
                                      makePoint(true, 123.456f, true, 0, 0, true, 2147483647) });
    QVERIFY(!path.isEmpty());
    QDir(mDir->path()).mkpath("csv");
    CStkToCsv exporter;
    QCOMPARE(exporter.Convert(local8(path), local8(mDir->filePath("csv"))), 0);

    CStkReader reader(local8(path));
    const QDateTime created = QFileInfo(mDir->filePath("Log 1.slg")).birthTime();
    const QStringList lines = TestSupport::readLines(mDir->filePath("csv/track.csv"));
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[0], QStringLiteral("stk file version,1.1.0"));
    QCOMPARE(lines[1], "OriginalFullPath," + QFileInfo(mDir->filePath("Log 1.slg")).absoluteFilePath());
    QCOMPARE(lines[2], QStringLiteral("GetOriginalFileSize,1234"));
    QCOMPARE(lines[3], QStringLiteral("OrigLastWriteLocalTime,\"2012:05:06 07:08:09.000\""));
    QVERIFY(lines[4].startsWith("OrigCreatLocalTime,\""));
    if (created.isValid())
        QCOMPARE(lines[4].mid(20, 19), created.toLocalTime().toString("yyyy:MM:dd hh:mm:ss"));
    QCOMPARE(lines[5], QStringLiteral("NofPoints,3"));
    QCOMPARE(lines[6], QString());
    QCOMPARE(lines[7], QStringLiteral("PositionX,PositionY,PositionValid,Depth[m],DepthValid,TimeOffset[ms],TimeValid"));
    QCOMPARE(lines[8], QStringLiteral("-1113195,6446276,T,3.048,T,1500,T"));
    QCOMPARE(lines[9], QStringLiteral("7,-8,F,0.3048,F,0,F"));
    QCOMPARE(lines[10], QStringLiteral("0,0,T,37.6294,T,2147483647,T"));

    // The destination may end in a separator; the output is replaced.
    QCOMPARE(exporter.Convert(local8(path), local8(mDir->filePath("csv/"))), 0);
    QCOMPARE(TestSupport::readLines(mDir->filePath("csv/track.csv")), lines);
}

void StkFormatTest::csvOfEmptyTrackHasHeadOnly()
{
    const QString path = writeTrack({});
    CStkToCsv exporter;
    QCOMPARE(exporter.Convert(local8(path), local8(mDir->path())), 0);
    const QStringList lines = TestSupport::readLines(mDir->filePath("track.csv"));
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[5], QStringLiteral("NofPoints,0"));
    QCOMPARE(lines[7], QStringLiteral("PositionX,PositionY,PositionValid,Depth[m],DepthValid,TimeOffset[ms],TimeValid"));
}

void StkFormatTest::csvOfInvalidTrackWritesNothing()
{
    const QString path = writeTrack({ makePoint(true, 1, true, 1, 1, true, 1) });
    QByteArray data = TestSupport::readFile(path);
    data.append('\0');
    TestSupport::writeFile(path, data);
    QDir(mDir->path()).mkpath("csv");
    CStkToCsv exporter;
    QCOMPARE(exporter.Convert(local8(path), local8(mDir->filePath("csv"))), 10);
    QCOMPARE(exporter.Convert(local8(mDir->filePath("missing.stk")), local8(mDir->filePath("csv"))), 10);
    QVERIFY(TestSupport::folderEntries(mDir->filePath("csv")).isEmpty());
}

void StkFormatTest::csvThatCannotBeWrittenIsRemoved()
{
    QVector<TrackPoint> points;
    for (int i = 0; i < 2000; ++i)
        points << makePoint(true, 1.5f * i, true, 1113195 + i, 6446276 - i, true, 50 * i);
    const QString path = writeTrack(points);
    QVERIFY(!path.isEmpty());
    TmpfsMount full(mDir->filePath("small"), 8192);
    if (!full.isMounted())
        QSKIP("cannot mount a small file system here");
    CStkToCsv exporter;
    QCOMPARE(exporter.Convert(local8(path), local8(full.mountPoint())), 10);
    QVERIFY(TestSupport::folderEntries(full.mountPoint()).isEmpty());
}

QTEST_GUILESS_MAIN(StkFormatTest)
#include "tst_stkformat.moc"
