#include "batchworker.h"
#include "filedownloadaction.h"
#include "generatedbody.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "partialdownload.h"
#include "testsupport.h"
#include "veldownloadmanager.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;
constexpr qint64 kSize = 300000;

HttpFaults cutFault(qint64 afterBytes)
{
    HttpFaults faults;
    faults.closeAfterBytes = afterBytes;
    return faults;
}

HttpFaults wrongRangeFault()
{
    HttpFaults faults;
    faults.wrongContentRange = true;
    return faults;
}

QByteArray md5Of(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// How a partial file from an earlier attempt or run looks on disk.
enum class Partial { None, SameFile, OtherFile, DamagedBytes };

} // namespace

Q_DECLARE_METATYPE(HttpFaults)
Q_DECLARE_METATYPE(Partial)

// Transfers that broke off continue where they stopped when the server
// sends exactly the rest, and start over on any other answer; the file that
// arrives is always the right one, checked by its md5.
class TestDownloadResume : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answerToRangeDecidesResume_data();
    void answerToRangeDecidesResume();
    void checksumMismatchIsRetriedThenReported();

private:
    QString filePath(const QString &name) const { return mDir->filePath(name); }
    BatchWorker *download(const QUrl &url, const QByteArray &md5);

    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<VelDownloadManager> mManager;
    std::unique_ptr<BatchWorker> mWorker;
};

void TestDownloadResume::init()
{
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    mLog = std::make_unique<LogCapture>();
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mManager = std::make_unique<VelDownloadManager>();
}

void TestDownloadResume::cleanup()
{
    mManager.reset();
    mWorker.reset();
    mServer.reset();
    mLog.reset();
    mDir.reset();
}

BatchWorker *TestDownloadResume::download(const QUrl &url, const QByteArray &md5)
{
    const QString destination = filePath("chart.bin");
    mWorker = std::make_unique<BatchWorker>(mManager.get(), [url, destination, md5] {
        auto *action = new FileDownloadAction(url, destination, nullptr);
        action->setExpectedSize(kSize);
        action->setExpectedMd5(md5);
        return QList<VelDownloadAction *> { action };
    });
    mWorker->start();
    return mWorker.get();
}

void TestDownloadResume::answerToRangeDecidesResume_data()
{
    QTest::addColumn<Partial>("partial");
    QTest::addColumn<HttpFaults>("fault");
    QTest::addColumn<bool>("acceptsRanges");
    // The Range header of each request, in order ("" for none), and the
    // status it got.
    QTest::addColumn<QList<QByteArray>>("ranges");
    QTest::addColumn<QList<int>>("statuses");

    const qint64 half = kSize / 2;
    const QByteArray fromHalf = "bytes=" + QByteArray::number(half) + '-';
    QTest::newRow("cut, then the rest with 206")
        << Partial::None << cutFault(half) << true << QList<QByteArray> { "", fromHalf } << QList<int> { 200, 206 };
    QTest::newRow("earlier run's partial, rest with 206")
        << Partial::SameFile << HttpFaults() << true << QList<QByteArray> { fromHalf } << QList<int> { 206 };
    QTest::newRow("earlier run's partial, server ignores Range")
        << Partial::SameFile << HttpFaults() << false << QList<QByteArray> { fromHalf } << QList<int> { 200 };
    QTest::newRow("earlier run's partial, wrong Content-Range")
        << Partial::SameFile << wrongRangeFault() << true << QList<QByteArray> { fromHalf, "" }
        << QList<int> { 206, 200 };
    QTest::newRow("partial of another file")
        << Partial::OtherFile << HttpFaults() << true << QList<QByteArray> { "" } << QList<int> { 200 };
    // The bytes on disk join the md5 when resumed: damaged ones are found.
    QTest::newRow("earlier run's partial with damaged bytes")
        << Partial::DamagedBytes << HttpFaults() << true << QList<QByteArray> { fromHalf, "" }
        << QList<int> { 206, 200 };
}

void TestDownloadResume::answerToRangeDecidesResume()
{
    QFETCH(Partial, partial);
    QFETCH(HttpFaults, fault);
    QFETCH(bool, acceptsRanges);
    QFETCH(QList<QByteArray>, ranges);
    QFETCH(QList<int>, statuses);

    const QByteArray body = GeneratedBody::expected(kSize);
    const QUrl url = mServer->url("/chart.bin");
    // Two faulty requests: the network layer may send a cut request again
    // on its own, and that one must not get the whole file.
    mServer->server().addRoute(
        HttpRoute::generated("/chart.bin", kSize).setFaults(fault, 2).setAcceptsRanges(acceptsRanges));
    if (partial != Partial::None) {
        const QString temporary = filePath("chart.bin.tmp");
        const QByteArray bytes = partial == Partial::DamagedBytes ? QByteArray(kSize / 2, 'x') : body.left(kSize / 2);
        QVERIFY(TestSupport::writeFile(temporary, bytes));
        const qint64 size = partial == Partial::OtherFile ? kSize + 1 : kSize;
        QVERIFY(PartialDownload::record(temporary, { url, size, md5Of(body) }));
    }

    BatchWorker *worker = download(url, md5Of(body));
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(worker->actions().at(0)->getActionError(), 0);
    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), body);
    QCOMPARE(TestSupport::folderEntries(mDir->path()), QStringList { "chart.bin" });
    const QList<RecordedRequest> requests = mServer->server().requests("/chart.bin");
    QList<QByteArray> seenRanges;
    QList<int> seenStatuses;
    for (const RecordedRequest &record : requests) {
        // The network layer may send a cut request again on its own: the
        // same request twice in a row is one attempt.
        if (!seenRanges.isEmpty() && seenRanges.last() == record.request.header("Range")
            && seenStatuses.last() == record.status)
            continue;
        seenRanges << record.request.header("Range");
        seenStatuses << record.status;
    }
    QCOMPARE(seenRanges, ranges);
    QCOMPARE(seenStatuses, statuses);
}

void TestDownloadResume::checksumMismatchIsRetriedThenReported()
{
    mServer->server().addRoute(HttpRoute::generated("/chart.bin", kSize));
    QVERIFY(TestSupport::writeFile(filePath("chart.bin"), "old chart"));

    BatchWorker *worker = download(mServer->url("/chart.bin"), md5Of("another file"));
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(worker->actions().at(0)->getActionError(), ErrorChecksumMismatch);
    QCOMPARE(mServer->server().requestCount("/chart.bin"), 4);
    // Each attempt started over: nothing of a wrong file is taken up again.
    for (const RecordedRequest &record : mServer->server().requests("/chart.bin"))
        QCOMPARE(record.request.header("Range"), QByteArray());
    QCOMPARE(mLog->linesStartingWith({ QStringLiteral("*** Checksum mismatch") }).size(), 4);
    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), QByteArray("old chart"));
    QCOMPARE(TestSupport::folderEntries(mDir->path()), QStringList { "chart.bin" });
}

QTEST_GUILESS_MAIN(TestDownloadResume)
#include "tst_downloadresume.moc"
