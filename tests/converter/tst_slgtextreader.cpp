#include "slgtextreader.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

const QByteArray kHeader = CSlgTextReader::kHeader;

// A 27-field data line: every field "0" or "F" except those given.
QByteArray dataLine(const std::map<int, QByteArray> &fields)
{
    QList<QByteArray> columns;
    for (int i = 0; i < 27; ++i) {
        const auto it = fields.find(i);
        const bool isFlag = i == 2 || i == 4 || i == 6 || i == 8 || i == 10 || i == 12 || i == 16 || i == 18
            || i == 19 || i == 20 || i == 22 || i == 25;
        columns << (it != fields.end() ? it->second : QByteArray(isFlag ? "F" : "0"));
    }
    return columns.join(',');
}

QByteArray point(const QByteArray &depthFlag, const QByteArray &depth, const QByteArray &positionFlag,
                 const QByteArray &x, const QByteArray &y, const QByteArray &timeFlag, const QByteArray &time)
{
    return dataLine({ { 2, depthFlag }, { 3, depth }, { 12, positionFlag }, { 13, x }, { 14, y }, { 20, timeFlag },
                      { 21, time } });
}

} // namespace

class SlgTextReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headerIsComparedExactly_data();
    void headerIsComparedExactly();
    void lineEndingsAreReadAlike_data();
    void lineEndingsAreReadAlike();
    void lineLengthLimit_data();
    void lineLengthLimit();
    void overLongLineStopsAfterEarlierPoints();
    void flagFields_data();
    void flagFields();
    void numberFields_data();
    void numberFields();
    void unreadableNumberKeepsPreviousValue();
    void depthReadsLikeStrtof();
    void shortLinesAreNotSoundings_data();
    void shortLinesAreNotSoundings();
    void identicalLinesAndFlaglessPointsAreCounted();
    void missingFileIsNotOpen();

private:
    QString write(const QByteArray &content);
    // Reads every point; the last (non-zero) result goes to finalResult.
    QVector<TrackPoint> readAll(const QString &path, int &finalResult);

    QTemporaryDir *mDir = nullptr;
};

void SlgTextReaderTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void SlgTextReaderTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

QString SlgTextReaderTest::write(const QByteArray &content)
{
    const QString path = mDir->filePath("dump.txt");
    TestSupport::writeFile(path, content);
    return path;
}

QVector<TrackPoint> SlgTextReaderTest::readAll(const QString &path, int &finalResult)
{
    QVector<TrackPoint> points;
    CSlgTextReader reader(QFile::encodeName(path).toStdString());
    TrackPoint point;
    while ((finalResult = reader.ReadPoint(point)) == 0)
        points << point;

    // The same bytes read from memory give the same points and the same end.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return points;
    const QByteArray bytes = file.readAll();
    CSlgTextReader memoryReader(bytes.constData(), std::size_t(bytes.size()));
    TrackPoint memoryPoint;
    int memoryResult;
    int index = 0;
    while ((memoryResult = memoryReader.ReadPoint(memoryPoint)) == 0) {
        if (index >= points.size()) {
            QTest::qFail("memory reader gave more points", __FILE__, __LINE__);
            break;
        }
        const TrackPoint &fromFile = points[index++];
        if (memoryPoint.DepthValid != fromFile.DepthValid || memoryPoint.PositionValid != fromFile.PositionValid
            || memoryPoint.TimeValid != fromFile.TimeValid || memoryPoint.PositionX != fromFile.PositionX
            || memoryPoint.PositionY != fromFile.PositionY || memoryPoint.TimeOffset != fromFile.TimeOffset
            || std::memcmp(&memoryPoint.Depth, &fromFile.Depth, sizeof(float)) != 0)
            QTest::qFail(qPrintable(QStringLiteral("point %1 differs in memory").arg(index - 1)), __FILE__, __LINE__);
    }
    if (index != points.size() || memoryResult != finalResult)
        QTest::qFail("memory reader ended differently", __FILE__, __LINE__);
    return points;
}

void SlgTextReaderTest::headerIsComparedExactly_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("result");

    QTest::newRow("header only") << kHeader + "\n" << 5;
    QTest::newRow("header without line feed") << kHeader << 5;
    QTest::newRow("header with CR LF") << kHeader + "\r\n" << 5;
    QTest::newRow("extra trailing column") << kHeader + ",Extra\n" << 3;
    QTest::newRow("different letter case") << QByteArray(kHeader).replace("Depth,", "depth,") + "\n" << 3;
    QTest::newRow("trailing blank") << kHeader + " \n" << 3;
    QTest::newRow("one column missing") << kHeader.left(kHeader.lastIndexOf(',')) + "\n" << 3;
    QTest::newRow("empty dump") << QByteArray() << 3;
    QTest::newRow("empty first line") << "\n" + kHeader + "\n" << 3;
}

void SlgTextReaderTest::headerIsComparedExactly()
{
    QFETCH(QByteArray, content);
    QFETCH(int, result);
    int finalResult = -1;
    QVERIFY(readAll(write(content), finalResult).isEmpty());
    QCOMPARE(finalResult, result);
}

void SlgTextReaderTest::lineEndingsAreReadAlike_data()
{
    QTest::addColumn<QByteArray>("content");

    const QByteArray first = point("T", "12.5", "T", "100", "200", "T", "1000");
    const QByteArray second = point("F", "7", "T", "-5", "6", "T", "2000");
    QTest::newRow("LF") << kHeader + "\n" + first + "\n" + second + "\n";
    QTest::newRow("CR LF") << kHeader + "\r\n" + first + "\r\n" + second + "\r\n";
    QTest::newRow("last line without line feed") << kHeader + "\n" + first + "\n" + second;
    QTest::newRow("mixed") << kHeader + "\r\n" + first + "\n" + second + "\r\n";
}

void SlgTextReaderTest::lineEndingsAreReadAlike()
{
    QFETCH(QByteArray, content);
    int finalResult = -1;
    const QVector<TrackPoint> points = readAll(write(content), finalResult);
    QCOMPARE(finalResult, 5);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[0].Depth, 12.5f);
    QCOMPARE(points[0].TimeOffset, 1000);
    QVERIFY(!points[1].DepthValid);
    QCOMPARE(points[1].PositionX, -5);
    QCOMPARE(points[1].TimeOffset, 2000);
    QVERIFY(points[1].TimeValid);
}

void SlgTextReaderTest::lineLengthLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("result");

    QTest::newRow("1021 characters") << 1021 << QByteArray("\n") << 1 << 5;
    QTest::newRow("1022 characters") << 1022 << QByteArray("\n") << 0 << 3;
    QTest::newRow("1021 characters, CR LF") << 1021 << QByteArray("\r\n") << 1 << 5;
    QTest::newRow("1022 characters, CR LF") << 1022 << QByteArray("\r\n") << 0 << 3;
    QTest::newRow("5000 characters") << 5000 << QByteArray("\n") << 0 << 3;
    // The line buffer holds 1023 characters: a last line without a line feed
    // may have 1022 of them.
    QTest::newRow("last line of 1022 without line feed") << 1022 << QByteArray() << 1 << 5;
    QTest::newRow("last line of 1023 without line feed") << 1023 << QByteArray() << 0 << 3;
}

void SlgTextReaderTest::lineLengthLimit()
{
    QFETCH(int, length);
    QFETCH(QByteArray, ending);
    QFETCH(int, points);
    QFETCH(int, result);

    QByteArray line = point("T", "3.5", "T", "1", "2", "T", "40");
    line += QByteArray(length - line.size(), 'x'); // padding inside the last, unread field
    QCOMPARE(line.size(), length);
    int finalResult = -1;
    const QVector<TrackPoint> read = readAll(write(kHeader + "\n" + line + ending), finalResult);
    QCOMPARE(read.size(), points);
    QCOMPARE(finalResult, result);
    if (points == 1)
        QCOMPARE(read[0].TimeOffset, 40);
}

void SlgTextReaderTest::overLongLineStopsAfterEarlierPoints()
{
    const QByteArray good = point("T", "1", "T", "1", "1", "T", "1");
    const QByteArray content =
        kHeader + "\n" + good + "\n" + good + "\n" + QByteArray(2000, '9') + "\n" + good + "\n";
    int finalResult = -1;
    QCOMPARE(readAll(write(content), finalResult).size(), 2);
    QCOMPARE(finalResult, 3);
}

void SlgTextReaderTest::flagFields_data()
{
    QTest::addColumn<QByteArray>("flag");
    QTest::addColumn<bool>("value");

    QTest::newRow("T") << QByteArray("T") << true;
    QTest::newRow("True") << QByteArray("True") << true;
    QTest::newRow("TRUE") << QByteArray("TRUE") << true;
    QTest::newRow("true") << QByteArray("true") << false;
    QTest::newRow("1") << QByteArray("1") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("F") << QByteArray("F") << false;
    QTest::newRow("leading blank") << QByteArray(" T") << false;
}

void SlgTextReaderTest::flagFields()
{
    QFETCH(QByteArray, flag);
    QFETCH(bool, value);
    int finalResult = -1;
    const QVector<TrackPoint> points =
        readAll(write(kHeader + "\n" + point(flag, "1", flag, "1", "1", flag, "1") + "\n"), finalResult);
    QCOMPARE(points.size(), 1);
    QCOMPARE(points[0].DepthValid, value);
    QCOMPARE(points[0].PositionValid, value);
    QCOMPARE(points[0].TimeValid, value);
}

void SlgTextReaderTest::numberFields_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<float>("depth");
    QTest::addColumn<int>("integer");

    QTest::newRow("plain") << QByteArray("42") << 42.0f << 42;
    QTest::newRow("leading blanks") << QByteArray("  17") << 17.0f << 17;
    QTest::newRow("trailing text ignored") << QByteArray("50abc") << 50.0f << 50;
    QTest::newRow("negative") << QByteArray("-3") << -3.0f << -3;
    QTest::newRow("decimal") << QByteArray("2.75") << 2.75f << 2;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0f << 1;
    QTest::newRow("integer above 32 bits saturates") << QByteArray("99999999999") << 99999999999.0f << INT_MAX;
    QTest::newRow("integer below 32 bits saturates") << QByteArray("-99999999999") << -99999999999.0f << INT_MIN;
}

void SlgTextReaderTest::numberFields()
{
    QFETCH(QByteArray, text);
    QFETCH(float, depth);
    QFETCH(int, integer);
    int finalResult = -1;
    const QVector<TrackPoint> points =
        readAll(write(kHeader + "\n" + point("T", text, "T", text, text, "T", text) + "\n"), finalResult);
    QCOMPARE(points.size(), 1);
    QCOMPARE(points[0].Depth, depth);
    QCOMPARE(points[0].PositionX, integer);
    QCOMPARE(points[0].PositionY, integer);
    QCOMPARE(points[0].TimeOffset, integer);
}

void SlgTextReaderTest::unreadableNumberKeepsPreviousValue()
{
    const QByteArray content = kHeader + "\n" + point("T", "12.5", "T", "100", "200", "T", "3000") + "\n"
        + point("F", "", "T", "abc", " ", "T", "-") + "\n";
    int finalResult = -1;
    const QVector<TrackPoint> points = readAll(write(content), finalResult);
    QCOMPARE(finalResult, 5);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[1].Depth, 12.5f);
    QVERIFY(!points[1].DepthValid);
    QCOMPARE(points[1].PositionX, 100);
    QCOMPARE(points[1].PositionY, 200);
    QCOMPARE(points[1].TimeOffset, 3000);
}

void SlgTextReaderTest::depthReadsLikeStrtof()
{
    // Awkward cases first, then many plain decimals of every length.
    QList<QByteArray> texts { "0", "-0", "+0.0", "16777216", "16777217", "16777217.5", "167772.165", "0.1",
                              "0.12345678901", "1234567.8", "3.4028235e38", "1e39", "1e-3", "1e", "1E2", "0x1p3",
                              "0X10", "inf", "-nan", ".5", "5.", "-.25", " \t 7.75", "00012.50", "1.0000000001",
                              "9999999999999", "0.30000001192092896", "2.62", "13.3", "4.009" };
    QRandomGenerator generator(7);
    for (int i = 0; i < 20000; ++i) {
        QByteArray text = generator.bounded(4) == 0 ? "-" : "";
        text += QByteArray::number(generator.bounded(1u << 30) >> generator.bounded(30));
        if (generator.bounded(3) != 0) {
            text += '.';
            const int decimals = generator.bounded(13);
            for (int d = 0; d < decimals; ++d)
                text += char('0' + generator.bounded(10));
        }
        texts << text;
    }

    QByteArray content = kHeader + "\n";
    for (const QByteArray &text : texts)
        content += point("T", text, "T", "1", "2", "T", "3") + "\n";
    int finalResult = -1;
    const QVector<TrackPoint> points = readAll(write(content), finalResult);
    QCOMPARE(finalResult, 5);
    QCOMPARE(points.size(), texts.size());
    float expected = 0.0f;
    for (int i = 0; i < texts.size(); ++i) {
        char *end = nullptr;
        const float parsed = std::strtof(texts[i].constData(), &end);
        if (end != texts[i].constData())
            expected = parsed;
        QVERIFY2(std::memcmp(&points[i].Depth, &expected, sizeof expected) == 0,
                 texts[i] + " gave " + QByteArray::number(points[i].Depth, 'g', 9));
    }
}

void SlgTextReaderTest::shortLinesAreNotSoundings_data()
{
    QTest::addColumn<QByteArray>("between");

    QTest::newRow("empty line") << QByteArray("\n");
    QTest::newRow("empty line, CR LF") << QByteArray("\r\n");
    QTest::newRow("21 fields") << QByteArray("T,1,T,9,T,9,T,9,T,9,T,9,T,77,88,0,F,0,F,F,T\n");
    QTest::newRow("a few fields") << QByteArray("1,2,3\n");
}

void SlgTextReaderTest::shortLinesAreNotSoundings()
{
    QFETCH(QByteArray, between);
    // The fields a short line lacks never come from the line after it.
    const QByteArray content = kHeader + "\n" + point("T", "5", "T", "10", "20", "T", "100") + "\n" + between
        + point("T", "6", "T", "11", "21", "T", "200") + "\n";
    int finalResult = -1;
    const QVector<TrackPoint> points = readAll(write(content), finalResult);
    QCOMPARE(finalResult, 5);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[1].PositionX, 11);
    QCOMPARE(points[1].TimeOffset, 200);

    // 22 fields are enough: everything up to the time offset.
    const QByteArray twentyTwo = "0,0,T,8,F,0,F,0,F,0,F,0,T,31,32,0,F,0,F,F,T,900\n";
    const QVector<TrackPoint> exact = readAll(write(kHeader + "\n" + twentyTwo), finalResult);
    QCOMPARE(exact.size(), 1);
    QCOMPARE(exact[0].PositionY, 32);
    QCOMPARE(exact[0].TimeOffset, 900);
}

void SlgTextReaderTest::identicalLinesAndFlaglessPointsAreCounted()
{
    const QByteArray line = point("F", "3", "F", "1", "2", "F", "4");
    int finalResult = -1;
    const QVector<TrackPoint> points = readAll(write(kHeader + "\n" + line + "\n" + line + "\n"), finalResult);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[0].Depth, points[1].Depth);
    QCOMPARE(points[0].PositionX, points[1].PositionX);
    QCOMPARE(points[0].TimeOffset, points[1].TimeOffset);
    QVERIFY(!points[0].DepthValid && !points[0].PositionValid && !points[0].TimeValid);
}

void SlgTextReaderTest::missingFileIsNotOpen()
{
    CSlgTextReader reader(QFile::encodeName(mDir->filePath("missing.txt")).toStdString());
    QVERIFY(!reader.IsOpen());
    TrackPoint point;
    QCOMPARE(reader.ReadPoint(point), 4);
}

QTEST_GUILESS_MAIN(SlgTextReaderTest)
#include "tst_slgtextreader.moc"
