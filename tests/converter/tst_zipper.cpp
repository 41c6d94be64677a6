#include "testsupport.h"
#include "zipper.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

const char *const kTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";

std::string local8(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

bool setLastWrite(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

// Info-ZIP's own view of an archive.
TestSupport::ChildResult infoZip(const QString &tool, const QStringList &arguments)
{
    return TestSupport::runChild(tool, arguments);
}

} // namespace

class ZipperTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void archiveHoldsOneDeflatedEntryNamedWithoutFolders();
    void contentSurvives_data();
    void contentSurvives();
    void entryTimeIsLocalLastWriteInDosForm_data();
    void entryTimeIsLocalLastWriteInDosForm();
    void relativePathIsTakenFromArchiveFolder();
    void appendAddsToExistingArchive();
    void failuresAreReported();

private:
    QTemporaryDir *mDir = nullptr;
};

void ZipperTest::initTestCase()
{
    qputenv("TZ", kTimeZone);
    tzset();
}

void ZipperTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void ZipperTest::cleanup()
{
    delete mDir;
    mDir = nullptr;
}

void ZipperTest::archiveHoldsOneDeflatedEntryNamedWithoutFolders()
{
    const QString file = mDir->filePath("deep/folder/Log 1__2012_05_06__07_08_09__1500__3.stk");
    // Binary like every .stk file (zlib would mark text as text).
    QVERIFY(TestSupport::writeFile(file, QByteArray(2500, 'a') + QByteArray(2500, '\0')));
    const QString archive = mDir->filePath("out.zip");

    CZipper zipper;
    QVERIFY(zipper.Open(local8(archive), false));
    QVERIFY(zipper.AddFile(local8(file)));
    QVERIFY(zipper.Close());
    QCOMPARE(zipper.EntryCount(), 1);
    QCOMPARE(zipper.BytesStored(), quint64(5000));

    QCOMPARE(infoZip("unzip", { "-t", archive }).exitCode, 0);
    const TestSupport::ChildResult names = infoZip("zipinfo", { "-1", archive });
    QCOMPARE(names.standardOutput, QByteArray("Log 1__2012_05_06__07_08_09__1500__3.stk\n"));
    const QString details = QString::fromLatin1(infoZip("zipinfo", { "-v", archive }).standardOutput);
    const auto field = [&details](const QString &label, const QString &value) {
        return details.contains(QRegularExpression("\\n\\s*" + QRegularExpression::escape(label) + ":\\s+"
                                                   + QRegularExpression::escape(value) + "\\n"));
    };
    QVERIFY2(field("compression method", "deflated"), qPrintable(details));
    // Level 6 is zip's "normal" deflation.
    QVERIFY2(field("compression sub-type (deflation)", "normal"), qPrintable(details));
    QVERIFY2(field("length of extra field", "0 bytes"), qPrintable(details));
    QVERIFY2(field("length of file comment", "0 characters"), qPrintable(details));
    // Internal attributes 0.
    QVERIFY2(field("apparent file type", "binary"), qPrintable(details));
    QVERIFY2(details.contains("There is no zipfile comment."), qPrintable(details));
}

void ZipperTest::contentSurvives_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one block") << 2048;
    QTest::newRow("blocks and a rest") << 2048 * 37 + 5;
    QTest::newRow("large") << 3 * 1024 * 1024 + 1;
}

void ZipperTest::contentSurvives()
{
    QFETCH(int, size);
    QByteArray data(size, '\0');
    QRandomGenerator generator(size);
    for (int i = 0; i < size; ++i)
        data[i] = char(generator.bounded(i % 3 == 0 ? 256 : 8)); // partly compressible
    const QString file = mDir->filePath("data.stk");
    QVERIFY(TestSupport::writeFile(file, data));
    const QString archive = mDir->filePath("data.zip");

    CZipper zipper;
    QVERIFY(zipper.Open(local8(archive), false));
    QVERIFY(zipper.AddFile(local8(file)));
    QVERIFY(zipper.Close());

    QCOMPARE(infoZip("unzip", { "-t", archive }).exitCode, 0);
    const TestSupport::ChildResult extracted = infoZip("unzip", { "-p", archive, "data.stk" });
    QCOMPARE(extracted.exitCode, 0);
    QVERIFY(extracted.standardOutput == data);
}

void ZipperTest::entryTimeIsLocalLastWriteInDosForm_data()
{
    QTest::addColumn<QDateTime>("lastWrite");
    QTest::addColumn<QString>("entryTime");

    QTest::newRow("odd second rounds down")
        << QDateTime(QDate(2012, 5, 6), QTime(12, 34, 57), Qt::LocalTime) << "20120506.123456";
    QTest::newRow("even second kept") << QDateTime(QDate(2012, 5, 6), QTime(12, 34, 58), Qt::LocalTime)
                                      << "20120506.123458";
    QTest::newRow("winter time") << QDateTime(QDate(2013, 1, 2), QTime(23, 59, 59, 900), Qt::LocalTime)
                                 << "20130102.235958";
    QTest::newRow("before 1980 held at the start")
        << QDateTime(QDate(1975, 3, 4), QTime(5, 6, 7), Qt::LocalTime) << "19800101.000000";
}

void ZipperTest::entryTimeIsLocalLastWriteInDosForm()
{
    QFETCH(QDateTime, lastWrite);
    QFETCH(QString, entryTime);
    const QString file = mDir->filePath("t.stk");
    QVERIFY(TestSupport::writeFile(file, "points"));
    QVERIFY(setLastWrite(file, lastWrite));
    const QString archive = mDir->filePath("t.zip");

    CZipper zipper;
    QVERIFY(zipper.Open(local8(archive), false));
    QVERIFY(zipper.AddFile(local8(file)));
    QVERIFY(zipper.Close());

    // zipinfo -T prints the entry's DOS date and time as yyyymmdd.hhmmss.
    const QByteArray listing = infoZip("zipinfo", { "-T", "-s", archive }).standardOutput;
    QVERIFY2(listing.contains(entryTime.toLatin1() + " t.stk"), listing);
}

void ZipperTest::relativePathIsTakenFromArchiveFolder()
{
    QVERIFY(TestSupport::writeFile(mDir->filePath("archives/sub/inner.stk"), "inner"));
    QVERIFY(QDir::setCurrent(QDir::rootPath()));
    CZipper zipper;
    QVERIFY(zipper.Open(local8(mDir->filePath("archives/a.zip")), false));
    QVERIFY(zipper.AddFile("sub/inner.stk"));
    QVERIFY(zipper.Close());
    QCOMPARE(infoZip("zipinfo", { "-1", mDir->filePath("archives/a.zip") }).standardOutput,
             QByteArray("inner.stk\n"));
}

void ZipperTest::appendAddsToExistingArchive()
{
    QVERIFY(TestSupport::writeFile(mDir->filePath("one.stk"), "1"));
    QVERIFY(TestSupport::writeFile(mDir->filePath("two.stk"), "2"));
    const QString archive = mDir->filePath("both.zip");
    CZipper zipper;
    QVERIFY(zipper.Open(local8(archive), false));
    QVERIFY(zipper.AddFile(local8(mDir->filePath("one.stk"))));
    QVERIFY(zipper.Close());
    QVERIFY(zipper.Open(local8(archive), true));
    QVERIFY(zipper.AddFile(local8(mDir->filePath("two.stk"))));
    QVERIFY(zipper.Close());
    QCOMPARE(infoZip("zipinfo", { "-1", archive }).standardOutput, QByteArray("one.stk\ntwo.stk\n"));
    QCOMPARE(infoZip("unzip", { "-t", archive }).exitCode, 0);

    // Without the flag the archive starts anew, whatever was there.
    QVERIFY(TestSupport::writeFile(archive, "not a zip at all"));
    QVERIFY(zipper.Open(local8(archive), false));
    QVERIFY(zipper.AddFile(local8(mDir->filePath("two.stk"))));
    QVERIFY(zipper.Close());
    QCOMPARE(infoZip("zipinfo", { "-1", archive }).standardOutput, QByteArray("two.stk\n"));
}

void ZipperTest::failuresAreReported()
{
    QVERIFY(TestSupport::writeFile(mDir->filePath("f.stk"), "f"));
    CZipper zipper;
    QVERIFY(!zipper.AddFile(local8(mDir->filePath("f.stk")))); // nothing open
    QVERIFY(!zipper.Close());
    QVERIFY(!zipper.Open("", false));
    QVERIFY(!zipper.Open(local8(mDir->filePath("no/such/folder/a.zip")), false));
    QVERIFY(zipper.Open(local8(mDir->filePath("a.zip")), false));
    QVERIFY(!zipper.AddFile(local8(mDir->filePath("missing.stk"))));
    QVERIFY(!zipper.AddFile(""));
    QVERIFY(zipper.Close());
    QCOMPARE(zipper.EntryCount(), 0);
}

QTEST_GUILESS_MAIN(ZipperTest)
#include "tst_zipper.moc"
