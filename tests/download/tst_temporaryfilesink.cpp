#include "temporaryfilesink.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kOldContent("old chart");

enum class Ending { Commit, Discard, Destroy };

QByteArray chunkOf(int index, int size)
{
    return QByteArray(size, char('a' + index % 26));
}

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(TemporaryFileSink::Outcome)

class TestTemporaryFileSink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void destinationChangesOnlyOnCommit_data();
    void destinationChangesOnlyOnCommit();
    void fullDiskFailsAndTheNextStartIsClean();

private:
    QString filePath(const QString &name) const { return mDir->filePath(name); }

    std::unique_ptr<QTemporaryDir> mDir;
};

void TestTemporaryFileSink::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

void TestTemporaryFileSink::cleanup()
{
    mDir.reset();
}

void TestTemporaryFileSink::destinationChangesOnlyOnCommit_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("oldFileThere");
    QTest::addColumn<bool>("destinationIsFolder");
    QTest::addColumn<qint64>("expectedLength");
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<bool>("opens");
    // Of the commit, in the rows that commit.
    QTest::addColumn<TemporaryFileSink::Outcome>("outcome");

    using Outcome = TemporaryFileSink::Outcome;
    const qint64 size = 3 * 70000;
    QTest::newRow("complete file replaces the old one")
        << "chart.bin" << true << false << qint64(-1) << Ending::Commit << true << Outcome::Committed;
    QTest::newRow("complete file where there was none")
        << "chart.bin" << false << false << qint64(-1) << Ending::Commit << true << Outcome::Committed;
    QTest::newRow("expected length received")
        << "chart.bin" << true << false << size << Ending::Commit << true << Outcome::Committed;
    QTest::newRow("fewer bytes than expected")
        << "chart.bin" << true << false << size + 1 << Ending::Commit << true << Outcome::WrongLength;
    QTest::newRow("more bytes than expected")
        << "chart.bin" << true << false << size - 1 << Ending::Commit << true << Outcome::WrongLength;
    QTest::newRow("discarded") << "chart.bin" << true << false << qint64(-1) << Ending::Discard << true
                               << Outcome::Committed;
    QTest::newRow("destroyed unfinished")
        << "chart.bin" << true << false << qint64(-1) << Ending::Destroy << true << Outcome::Committed;
    QTest::newRow("destination is a folder")
        << "chart.bin" << false << true << qint64(-1) << Ending::Commit << true << Outcome::RenameFailed;
    QTest::newRow("folder missing")
        << "missing/chart.bin" << false << false << qint64(-1) << Ending::Commit << false << Outcome::WriteFailed;
}

void TestTemporaryFileSink::destinationChangesOnlyOnCommit()
{
    QFETCH(QString, fileName);
    QFETCH(bool, oldFileThere);
    QFETCH(bool, destinationIsFolder);
    QFETCH(qint64, expectedLength);
    QFETCH(Ending, ending);
    QFETCH(bool, opens);
    QFETCH(TemporaryFileSink::Outcome, outcome);

    const QString destination = filePath(fileName);
    const QString temporary = destination + ".tmp";
    if (oldFileThere)
        QVERIFY(TestSupport::writeFile(destination, kOldContent));
    if (destinationIsFolder)
        QVERIFY(TestSupport::writeFile(destination + "/inside.txt", "kept"));

    auto sink = std::make_unique<TemporaryFileSink>(destination);
    QCOMPARE(sink->temporaryPath(), temporary);
    QCOMPARE(sink->open(), opens);
    QVERIFY(sink->isStarted());
    QCOMPARE(sink->hasFailed(), !opens);

    QByteArray written;
    for (int i = 0; i < 3; ++i) {
        const QByteArray chunk = chunkOf(i, 70000);
        QCOMPARE(sink->write(chunk.constData(), chunk.size()), opens);
        if (opens)
            written += chunk;
        // Nothing reaches the destination before the end.
        if (oldFileThere)
            QCOMPARE(TestSupport::readFile(destination), kOldContent);
        QCOMPARE(QFileInfo(temporary).size(), qint64(written.size()));
    }
    QCOMPARE(sink->size(), qint64(written.size()));

    bool replaced = false;
    switch (ending) {
    case Ending::Commit:
        QCOMPARE(sink->commit(expectedLength), outcome);
        QCOMPARE(sink->hasFailed(), outcome == TemporaryFileSink::Outcome::WriteFailed
                                        || outcome == TemporaryFileSink::Outcome::RenameFailed);
        QCOMPARE(sink->errorString().isEmpty(), !sink->hasFailed());
        replaced = outcome == TemporaryFileSink::Outcome::Committed;
        break;
    case Ending::Discard:
        sink->discard();
        break;
    case Ending::Destroy:
        break;
    }
    sink.reset();

    QVERIFY(!QFile::exists(temporary));
    if (replaced)
        QCOMPARE(TestSupport::readFile(destination), written);
    else if (oldFileThere)
        QCOMPARE(TestSupport::readFile(destination), kOldContent);
    else if (destinationIsFolder)
        QCOMPARE(TestSupport::readFile(destination + "/inside.txt"), QByteArray("kept"));
    else
        QVERIFY(!QFileInfo::exists(destination));
}

void TestTemporaryFileSink::fullDiskFailsAndTheNextStartIsClean()
{
    TmpfsMount disk(filePath("disk"), 64 * 1024);
    if (!disk.isMounted())
        QSKIP("cannot mount a small file system here");
    const QString destination = disk.mountPoint() + "/chart.bin";
    QVERIFY(TestSupport::writeFile(destination, kOldContent));

    TemporaryFileSink sink(destination);
    QVERIFY(sink.open());
    const QByteArray chunk = chunkOf(0, 16 * 1024);
    int accepted = 0;
    while (sink.write(chunk.constData(), chunk.size()))
        ++accepted;
    QVERIFY(accepted < 4);
    QVERIFY(sink.hasFailed());
    QVERIFY(!sink.errorString().isEmpty());
    // Once failed, it takes nothing more, not even what would fit.
    QVERIFY(!sink.write("x", 1));
    QCOMPARE(sink.commit(), TemporaryFileSink::Outcome::WriteFailed);
    QCOMPARE(TestSupport::readFile(destination), kOldContent);
    QVERIFY(!QFile::exists(sink.temporaryPath()));

    // The next attempt of a download starts from an empty, healthy file.
    QVERIFY(sink.open());
    QVERIFY(!sink.hasFailed());
    QVERIFY(sink.write(chunk.constData(), chunk.size()));
    QCOMPARE(sink.commit(chunk.size()), TemporaryFileSink::Outcome::Committed);
    QCOMPARE(TestSupport::readFile(destination), chunk);
}

QTEST_GUILESS_MAIN(TestTemporaryFileSink)
#include "tst_temporaryfilesink.moc"
