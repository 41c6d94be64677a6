#include "actionobserver.h"
#include "batchworker.h"
#include "bufferdownloadaction.h"
#include "filedownloadaction.h"
#include "generatedbody.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "veldownloadmanager.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr int kWait = 60000;

const QString kAllDone = QStringLiteral("- All download has been completed!");
const QString kNoMoreRetries = QStringLiteral("*** No more autoretry attempt, stopping all downloads in progress!");
const QStringList kBatchLinePrefixes {
    QStringLiteral("- Download completed:"), QStringLiteral("- All download"), QStringLiteral("*** Error downloading"),
    QStringLiteral("*** Autoretry"),        QStringLiteral("*** No more autoretry"),
};

QString quoted(const QUrl &url)
{
    return QLatin1Char('"') + url.toString() + QLatin1Char('"');
}

QString completedLine(const QUrl &url)
{
    return QStringLiteral("- Download completed:  ") + quoted(url);
}

QString errorLine(const QUrl &url)
{
    return QStringLiteral("*** Error downloading file:  ") + quoted(url);
}

QString retryLine(int retriesLeft, const QUrl &url)
{
    return QStringLiteral("*** Autoretry ( %1 ) downloading file:  %2").arg(retriesLeft).arg(quoted(url));
}

HttpFaults statusFault(int status)
{
    HttpFaults faults;
    faults.status = status;
    return faults;
}

HttpFaults cutFault(qint64 afterBytes)
{
    HttpFaults faults;
    faults.closeAfterBytes = afterBytes;
    return faults;
}

HttpFaults stallFault(qint64 afterBytes, int milliseconds = -1)
{
    HttpFaults faults;
    faults.stallAfterBytes = afterBytes;
    faults.stallMs = milliseconds;
    return faults;
}

HttpFaults trickleFault(int bytes, int milliseconds)
{
    HttpFaults faults;
    faults.trickleBytes = bytes;
    faults.trickleMs = milliseconds;
    return faults;
}

// A file the local server offers at route, downloaded into fileName with
// the size the manifest would announce (0: none).
struct ServedFile
{
    QString route;
    QString fileName;
    qint64 expectedSize = 0;
};

// A reply that reports a network error and only finishes a little later,
// as Qt's do: whoever aborts it in between makes it report a second error.
class ErrorThenFinishReply : public QNetworkReply
{
public:
    ErrorThenFinishReply(const QNetworkRequest &request, int *aborts)
        : mAborts(aborts)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        QMetaObject::invokeMethod(this, [this] {
            setError(RemoteHostClosedError, QStringLiteral("cut"));
            emit errorOccurred(RemoteHostClosedError);
            // Queued behind whatever the error's handlers queued.
            QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
        }, Qt::QueuedConnection);
    }
    void abort() override
    {
        ++*mAborts;
        finish();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }

private:
    void finish()
    {
        if (isFinished())
            return;
        setFinished(true);
        emit finished();
    }
    int *mAborts;
};

class ErrorThenFinishManager : public QNetworkAccessManager
{
public:
    int aborts = 0;

protected:
    QNetworkReply *createRequest(Operation, const QNetworkRequest &request, QIODevice *) override
    {
        return new ErrorThenFinishReply(request, &aborts);
    }
};

} // namespace

Q_DECLARE_METATYPE(HttpFaults)

class TestDownloadManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void actionsRunOneAfterAnother();
    void failedAttemptsAreRetried_data();
    void failedAttemptsAreRetried();
    void cutConnectionsNeverYieldTruncatedFiles_data();
    void cutConnectionsNeverYieldTruncatedFiles();
    void fourFailuresAbandonTheBatch();
    void batchAfterAnAbandonedOneRuns();
    void emptyBatchReturnsAtOnce_data();
    void emptyBatchReturnsAtOnce();
    void earlyEndDoesNotReleaseTheNextBatch();
    void waitForAllInTheManagersThreadReturns();
    void destroyingTheManagerReleasesTheWaiter();
    void answerDecidesTheOutcome_data();
    void answerDecidesTheOutcome();
    void unreachableServerKeepsTheNetworkCode();
    void inactivityDecidesTimeout_data();
    void inactivityDecidesTimeout();
    void lateFinishedOfRetiredReplyIsIgnored();
    void replyThatReportedItsErrorIsNotAborted();
    void progressDeltas_data();
    void progressDeltas();
    void progressDeltasAddUpAcrossAttempts();
    void successReplacesExistingFile();
    void failedAttemptLeavesOldFileAndNoTemp();
    void temporaryFileHoldsTheBytesUntilTheEnd();
    void unwritableDestinationFails_data();
    void unwritableDestinationFails();
    void bufferStartsEmptyAtEveryAttempt();
    void sharedNetworkManagerIgnoresForeignReplies();

private:
    QString filePath(const QString &name) const { return mDir->filePath(name); }
    HttpServer &http() { return mServer->server(); }
    // A worker that hands these files over as one batch and waits for it.
    // afterWait runs in the worker right after waitForAll() returned.
    BatchWorker *startFileBatch(const QList<ServedFile> &files, const DownloadObserver &observer = nullptr,
                                std::function<void()> afterWait = nullptr);
    // Workers end after the manager (whose end releases a waiting worker),
    // so that a failed test cannot leave a thread blocked.
    BatchWorker *addWorker(BatchWorker *worker);
    QStringList batchLines() const { return mLog->linesStartingWith(kBatchLinePrefixes); }

    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<VelDownloadManager> mManager;
    std::vector<std::unique_ptr<BatchWorker>> mWorkers;
};

void TestDownloadManager::init()
{
    qRegisterMetaType<QNetworkReply *>();
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    mLog = std::make_unique<LogCapture>();
    QVERIFY(mLog->isOpen());
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mManager = std::make_unique<VelDownloadManager>();
}

void TestDownloadManager::cleanup()
{
    // A retired reply that had already reported its error must not be
    // aborted again (Qt warns about the second error).
    const QStringList lines = mLog ? mLog->lines() : QStringList();
    const QStringList doubleErrors = lines.filter(QStringLiteral("must only be called once"));
    mManager.reset();
    mWorkers.clear();
    mServer.reset();
    mLog.reset();
    mDir.reset();
    QCOMPARE(doubleErrors, QStringList());
}

BatchWorker *TestDownloadManager::startFileBatch(const QList<ServedFile> &files, const DownloadObserver &observer,
                                                 std::function<void()> afterWait)
{
    QList<QPair<QUrl, ServedFile>> targets;
    for (const ServedFile &file : files)
        targets.append({ mServer->url(file.route), file });
    const QString folder = mDir->path();
    BatchWorker *worker = addWorker(new BatchWorker(mManager.get(), [targets, folder, observer] {
        QList<VelDownloadAction *> actions;
        for (const auto &target : targets) {
            auto *action = new FileDownloadAction(target.first, folder + QLatin1Char('/') + target.second.fileName,
                                                  observer);
            action->setExpectedSize(target.second.expectedSize);
            actions.append(action);
        }
        return actions;
    }));
    worker->setAfterWait(std::move(afterWait));
    worker->start();
    return worker;
}

BatchWorker *TestDownloadManager::addWorker(BatchWorker *worker)
{
    mWorkers.emplace_back(worker);
    return worker;
}

void TestDownloadManager::actionsRunOneAfterAnother()
{
    // Each answer comes in pieces, so that an overlap of two transfers would
    // show in the server's order of events.
    const qint64 size = 64 * 1024;
    for (const QString &route : QStringList { "/a.bin", "/b.bin", "/c.bin" })
        http().addRoute(HttpRoute::generated(route, size).setFaults(trickleFault(16 * 1024, 5)));

    auto worker = startFileBatch({ { "/a.bin", "a.bin", size }, { "/b.bin", "b.bin", size }, { "/c.bin", "c.bin", size } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    const QList<RecordedRequest> requests = http().requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(0).request.path(), QStringLiteral("/a.bin"));
    QCOMPARE(requests.at(1).request.path(), QStringLiteral("/b.bin"));
    QCOMPARE(requests.at(2).request.path(), QStringLiteral("/c.bin"));
    for (int i = 0; i + 1 < requests.size(); ++i) {
        QVERIFY(requests.at(i).completed);
        QVERIFY2(requests.at(i + 1).receivedOrder > requests.at(i).finishedOrder, "transfers overlapped");
    }

    for (VelDownloadAction *action : worker->actions()) {
        QCOMPARE(action->getActionError(), 0);
        QCOMPARE(action->httpStatus().toInt(), 200);
        QVERIFY(!action->isActive());
    }
    for (const QString &name : QStringList { "a.bin", "b.bin", "c.bin" }) {
        QCOMPARE(TestSupport::readFile(filePath(name)), GeneratedBody::expected(size));
        QVERIFY(!QFile::exists(filePath(name) + ".tmp"));
    }
    QCOMPARE(batchLines(), QStringList({ completedLine(mServer->url("/a.bin")), completedLine(mServer->url("/b.bin")),
                                         completedLine(mServer->url("/c.bin")), kAllDone }));
}

void TestDownloadManager::failedAttemptsAreRetried_data()
{
    QTest::addColumn<HttpFaults>("fault");
    QTest::addColumn<int>("failures");

    QTest::newRow("server error once") << statusFault(503) << 1;
    QTest::newRow("server error three times") << statusFault(503) << 3;
    QTest::newRow("not found three times") << statusFault(404) << 3;
}

void TestDownloadManager::failedAttemptsAreRetried()
{
    QFETCH(HttpFaults, fault);
    QFETCH(int, failures);

    const qint64 size = 100000;
    http().addRoute(HttpRoute::generated("/flaky.bin", size).setFaults(fault, failures));
    http().addRoute(HttpRoute::generated("/next.bin", size));

    auto worker = startFileBatch({ { "/flaky.bin", "flaky.bin", size }, { "/next.bin", "next.bin", size } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(http().requestCount("/flaky.bin"), failures + 1);
    QCOMPARE(http().requestCount("/next.bin"), 1);
    QCOMPARE(TestSupport::readFile(filePath("flaky.bin")), GeneratedBody::expected(size));
    QCOMPARE(TestSupport::readFile(filePath("next.bin")), GeneratedBody::expected(size));
    QCOMPARE(worker->actions().at(0)->getActionError(), 0);
    QCOMPARE(worker->actions().at(0)->retriesLeft(), 3 - failures);

    const QUrl flaky = mServer->url("/flaky.bin");
    QStringList expected;
    for (int i = 0; i < failures; ++i)
        expected << errorLine(flaky) << retryLine(3 - i, flaky);
    expected << completedLine(flaky) << completedLine(mServer->url("/next.bin")) << kAllDone;
    QCOMPARE(batchLines(), expected);
}

void TestDownloadManager::cutConnectionsNeverYieldTruncatedFiles_data()
{
    QTest::addColumn<int>("cutRequests");
    QTest::addColumn<qint64>("expectedSize");

    QTest::newRow("first request cut") << 1 << qint64(0);
    QTest::newRow("every request cut, no size announced") << -1 << qint64(0);
    QTest::newRow("every request cut, size announced") << -1 << qint64(300000);
}

void TestDownloadManager::cutConnectionsNeverYieldTruncatedFiles()
{
    // On an early close Qt may send the request again on its own and then
    // end the reply without an error; so only the outcome is certain here,
    // not the number of requests.
    QFETCH(int, cutRequests);
    QFETCH(qint64, expectedSize);

    const qint64 size = 300000;
    // Without range support every attempt starts over (resuming is tested
    // on its own).
    http().addRoute(
        HttpRoute::generated("/chart.bin", size).setFaults(cutFault(size / 2), cutRequests).setAcceptsRanges(false));
    auto worker = startFileBatch({ { "/chart.bin", "chart.bin", expectedSize } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    VelDownloadAction *action = worker->actions().at(0);
    QVERIFY(!QFile::exists(filePath("chart.bin.tmp")));
    if (cutRequests > 0) {
        QCOMPARE(action->getActionError(), 0);
        QCOMPARE(TestSupport::readFile(filePath("chart.bin")), GeneratedBody::expected(size));
    } else {
        QCOMPARE(action->getActionError(), expectedSize > 0 ? FileWithWrongSize
                                                            : ParseError(QNetworkReply::RemoteHostClosedError));
        QVERIFY(!QFile::exists(filePath("chart.bin")));
        QCOMPARE(mLog->count(kNoMoreRetries), 1);
    }
}

void TestDownloadManager::fourFailuresAbandonTheBatch()
{
    const qint64 size = 5000;
    http().addRoute(HttpRoute::generated("/broken.bin", size).setFaults(statusFault(500)));
    http().addRoute(HttpRoute::generated("/second.bin", size));
    http().addRoute(HttpRoute::generated("/third.bin", size));

    auto worker = startFileBatch({ { "/broken.bin", "broken.bin", size }, { "/second.bin", "second.bin", size },
                                   { "/third.bin", "third.bin", size } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(http().requestCount("/broken.bin"), 4);
    QCOMPARE(http().requestCount("/second.bin"), 0);
    QCOMPARE(http().requestCount("/third.bin"), 0);

    const QList<VelDownloadAction *> actions = worker->actions();
    QCOMPARE(actions.at(0)->getActionError(), FileWithWrongSize);
    QCOMPARE(actions.at(0)->retriesLeft(), 0);
    for (VelDownloadAction *queued : actions.mid(1)) {
        QCOMPARE(queued->retriesLeft(), 4);
        QVERIFY(!queued->httpStatus().isValid());
    }
    QVERIFY(QDir(mDir->path()).entryList(QDir::Files).isEmpty());

    const QUrl broken = mServer->url("/broken.bin");
    QCOMPARE(batchLines(), QStringList({ errorLine(broken), retryLine(3, broken), errorLine(broken),
                                         retryLine(2, broken), errorLine(broken), retryLine(1, broken),
                                         errorLine(broken), kNoMoreRetries }));
}

void TestDownloadManager::batchAfterAnAbandonedOneRuns()
{
    http().addRoute(HttpRoute::generated("/broken.bin", 100).setFaults(statusFault(500)));
    http().addRoute(HttpRoute::generated("/good.bin", 100));

    auto first = startFileBatch({ { "/broken.bin", "broken.bin", 100 }, { "/good.bin", "skipped.bin", 100 } });
    QTRY_VERIFY_WITH_TIMEOUT(first->hasReturned(), kWait);
    auto second = startFileBatch({ { "/good.bin", "good.bin", 100 } });
    QTRY_VERIFY_WITH_TIMEOUT(second->hasReturned(), kWait);

    QCOMPARE(second->actions().at(0)->getActionError(), 0);
    QCOMPARE(TestSupport::readFile(filePath("good.bin")), GeneratedBody::expected(100));
    QVERIFY(!QFile::exists(filePath("skipped.bin")));
}

void TestDownloadManager::emptyBatchReturnsAtOnce_data()
{
    QTest::addColumn<bool>("closedBeforeWaiting");
    QTest::newRow("waiter arrives first") << false;
    QTest::newRow("batch closed before the waiter arrives") << true;
}

void TestDownloadManager::emptyBatchReturnsAtOnce()
{
    QFETCH(bool, closedBeforeWaiting);

    BatchWorker *worker = nullptr;
    if (closedBeforeWaiting) {
        mManager->waitingSlot();
        worker = addWorker(new BatchWorker(mManager.get(), nullptr, BatchWorker::WaitOnly));
    } else {
        worker = addWorker(new BatchWorker(mManager.get(), nullptr));
    }
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);
    QVERIFY(http().requests().isEmpty());
}

void TestDownloadManager::earlyEndDoesNotReleaseTheNextBatch()
{
    // A batch whose last transfer ends before its waitingSignal is handled
    // must wake its waiter once, not leave a wake-up behind that would
    // release the next batch before it has run.
    http().addRoute(HttpRoute::generated("/first.bin", 100));
    const qint64 slowSize = 4000;
    http().addRoute(HttpRoute::generated("/slow.bin", slowSize).setFaults(trickleFault(1000, 20)));

    FileDownloadAction first(mServer->url("/first.bin"), filePath("first.bin"), nullptr);
    mManager->enqueueUrl(&first);
    QTRY_COMPARE_WITH_TIMEOUT(mLog->count(kAllDone), 1, kWait);

    BatchWorker *waiter = addWorker(new BatchWorker(mManager.get(), nullptr, BatchWorker::WaitOnly));
    waiter->start();
    QTRY_VERIFY_WITH_TIMEOUT(waiter->isAboutToWait(), kWait);
    mManager->waitingSlot();
    QTRY_VERIFY_WITH_TIMEOUT(waiter->hasReturned(), kWait);

    const QString slowPath = filePath("slow.bin");
    std::atomic<bool> completeOnReturn { false };
    auto second = startFileBatch({ { "/slow.bin", "slow.bin", slowSize } }, nullptr,
                                 [&] { completeOnReturn = QFileInfo(slowPath).size() == slowSize; });
    QTRY_VERIFY_WITH_TIMEOUT(second->hasReturned(), kWait);
    QVERIFY2(completeOnReturn, "waitForAll returned before the batch was over");
}

void TestDownloadManager::waitForAllInTheManagersThreadReturns()
{
    // Waiting in the thread that must run the batch could never end.
    mManager->waitForAll();
    QCOMPARE(mLog->count(QStringLiteral("Warning: VelDownloadManager::waitForAll called from the manager's own thread")), 1);
}

void TestDownloadManager::destroyingTheManagerReleasesTheWaiter()
{
    // At program exit, with a batch still running.
    http().addRoute(HttpRoute::generated("/stall.bin", 5000).setFaults(stallFault(1000)));
    BatchWorker *worker = startFileBatch({ { "/stall.bin", "stall.bin", 0 } });
    QTRY_COMPARE_WITH_TIMEOUT(http().requests("/stall.bin").value(0).bodyBytesSent, qint64(1000), kWait);
    QVERIFY(!worker->hasReturned());

    mManager.reset();
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(http().requests("/stall.bin").value(0).clientClosed, kWait);
}

void TestDownloadManager::answerDecidesTheOutcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("expectedSize");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("200") << 200 << qint64(100) << 0;
    QTest::newRow("404 without announced size") << 404 << qint64(0) << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("404 with announced size") << 404 << qint64(1) << int(FileWithWrongSize);
    QTest::newRow("500 without announced size") << 500 << qint64(0) << int(QNetworkReply::InternalServerError);
    QTest::newRow("redirect without announced size") << 302 << qint64(0) << 0;
    QTest::newRow("redirect with announced size") << 302 << qint64(100) << int(FileWithWrongSize);
    QTest::newRow("204 without announced size") << 204 << qint64(0) << 0;
}

void TestDownloadManager::answerDecidesTheOutcome()
{
    QFETCH(int, status);
    QFETCH(qint64, expectedSize);
    QFETCH(int, errorCode);

    http().addRoute(HttpRoute::generated("/target.bin", 100));
    if (status == 302)
        http().addRoute(HttpRoute::status("/file.bin", 302, "/target.bin"));
    else if (status == 200)
        http().addRoute(HttpRoute::generated("/file.bin", 100));
    else
        http().addRoute(HttpRoute::status("/file.bin", status));

    auto worker = startFileBatch({ { "/file.bin", "file.bin", expectedSize } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    VelDownloadAction *action = worker->actions().at(0);
    QCOMPARE(action->httpStatus().toInt(), status);
    QCOMPARE(action->getActionError(), errorCode);
    QCOMPARE(action->errorOccour(), errorCode != 0);
    QCOMPARE(action->hasFailed(), status != 200);
    QCOMPARE(http().requestCount("/file.bin"), status == 200 ? 1 : 4);
    // Redirects are not followed.
    QCOMPARE(http().requestCount("/target.bin"), 0);
    QCOMPARE(QFile::exists(filePath("file.bin")), status == 200);
    QVERIFY(!QFile::exists(filePath("file.bin.tmp")));
}

void TestDownloadManager::unreachableServerKeepsTheNetworkCode()
{
    QTcpServer placeholder;
    QVERIFY(placeholder.listen(QHostAddress::LocalHost));
    QUrl url(QStringLiteral("http://127.0.0.1/file.bin"));
    url.setPort(placeholder.serverPort());
    placeholder.close();

    const QString destination = filePath("file.bin");
    BatchWorker *worker = addWorker(new BatchWorker(mManager.get(), [url, destination] {
        return QList<VelDownloadAction *> { new FileDownloadAction(url, destination, nullptr) };
    }));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    VelDownloadAction *action = worker->actions().at(0);
    QCOMPARE(action->getActionError(), int(QNetworkReply::ConnectionRefusedError));
    QVERIFY(!action->httpStatus().isValid());
    QCOMPARE(mLog->count(kNoMoreRetries), 1);
    QVERIFY(QDir(mDir->path()).entryList(QDir::Files).isEmpty());
}

void TestDownloadManager::inactivityDecidesTimeout_data()
{
    QTest::addColumn<HttpFaults>("fault");
    QTest::addColumn<bool>("timesOut");
    QTest::addColumn<QString>("reason");

    const QString inactivity = QStringLiteral("*** time out elapsed for action:  ");
    const QString tooSlow = QStringLiteral("*** transfer too slow for action:  ");
    QTest::newRow("stalled transfer") << stallFault(1000) << true << inactivity;
    QTest::newRow("trickling transfer") << trickleFault(200, 20) << false << QString();
    // Never silent for long, yet far below the minimum rate: a byte now and
    // then would keep the inactivity watchdog quiet for ever.
    QTest::newRow("a byte now and then") << trickleFault(1, 300) << true << tooSlow;
}

void TestDownloadManager::inactivityDecidesTimeout()
{
    QFETCH(HttpFaults, fault);
    QFETCH(bool, timesOut);
    QFETCH(QString, reason);

    // The product's 60 s, 15 s and 1 KiB/s over 120 s, scaled down.
    mManager->setTimings(DownloadTimings { 1000, 50, 1500, 100 });
    const qint64 size = 4000;
    // Every attempt starts over, so that each one meets the fault.
    http().addRoute(HttpRoute::generated("/file.bin", size).setFaults(fault).setAcceptsRanges(false));

    auto worker = startFileBatch({ { "/file.bin", "file.bin", 0 } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    VelDownloadAction *action = worker->actions().at(0);
    const QString timeoutLine = reason + quoted(mServer->url("/file.bin"));
    if (timesOut) {
        QCOMPARE(action->getActionError(), TimeoutConnectionElapsed);
        QCOMPARE(mLog->linesStartingWith({ timeoutLine }).size(), 4);
        QCOMPARE(mLog->count(QStringLiteral("*** VelDownloadAction throws ConnectionError:  900")), 4);
        QVERIFY(!QFile::exists(filePath("file.bin")));
        QVERIFY(!QFile::exists(filePath("file.bin.tmp")));
        // Each retired transfer was really stopped.
        const qint64 sentBeforeStall = fault.stalls() ? fault.stallAfterBytes : -1;
        const auto allStopped = [this, sentBeforeStall] {
            const QList<RecordedRequest> requests = http().requests("/file.bin");
            return requests.size() == 4
                && std::all_of(requests.begin(), requests.end(), [sentBeforeStall](const RecordedRequest &record) {
                       return record.clientClosed && (sentBeforeStall < 0 || record.bodyBytesSent == sentBeforeStall);
                   });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allStopped(), kWait);
    } else {
        QCOMPARE(action->getActionError(), 0);
        QCOMPARE(mLog->linesStartingWith({ QStringLiteral("*** time out"), QStringLiteral("*** transfer too slow") }),
                 QStringList());
        QCOMPARE(TestSupport::readFile(filePath("file.bin")), GeneratedBody::expected(size));
    }
}

void TestDownloadManager::lateFinishedOfRetiredReplyIsIgnored()
{
    mManager->setTimings(DownloadTimings { 500, 50 });
    const qint64 size = 20000;
    http().addRoute(HttpRoute::generated("/file.bin", size).setFaults(stallFault(5000), 1));
    QSignalSpy finishedReplies(mManager->networkManager(), &QNetworkAccessManager::finished);

    auto worker = startFileBatch({ { "/file.bin", "file.bin", size } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);
    // The retired reply's own finished arrives too, and changes nothing.
    QTRY_COMPARE_WITH_TIMEOUT(finishedReplies.count(), 2, kWait);

    QCOMPARE(worker->actions().at(0)->getActionError(), 0);
    QCOMPARE(TestSupport::readFile(filePath("file.bin")), GeneratedBody::expected(size));
    const QUrl url = mServer->url("/file.bin");
    QCOMPARE(batchLines(), QStringList({ errorLine(url), retryLine(3, url), completedLine(url), kAllDone }));
    QCOMPARE(mLog->count(QStringLiteral("GREAT PROBLEM WITH THE ACTION!!")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(http().requests("/file.bin").value(0).clientClosed, kWait);
}

void TestDownloadManager::replyThatReportedItsErrorIsNotAborted()
{
    ErrorThenFinishManager network;
    mManager = std::make_unique<VelDownloadManager>(&network);
    auto worker = startFileBatch({ { "/file.bin", "file.bin", 0 } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(worker->actions().at(0)->getActionError(), int(QNetworkReply::RemoteHostClosedError));
    QCOMPARE(mLog->count(kNoMoreRetries), 1);
    QCOMPARE(network.aborts, 0);
    mManager.reset();
}

void TestDownloadManager::progressDeltas_data()
{
    QTest::addColumn<QList<qint64>>("reports");
    QTest::addColumn<QList<qint64>>("deltas");

    QTest::newRow("growing, then unchanged") << QList<qint64> { 100, 250, 250 } << QList<qint64> { 100, 150, 0 };
    QTest::newRow("a new attempt starts from zero") << QList<qint64> { 300, 50, 400 } << QList<qint64> { 300, -250, 350 };
}

void TestDownloadManager::progressDeltas()
{
    QFETCH(QList<qint64>, reports);
    QFETCH(QList<qint64>, deltas);

    BufferDownloadAction action(QUrl(QStringLiteral("http://127.0.0.1/x")));
    QSignalSpy progress(&action, &VelDownloadAction::actionProgress);
    for (qint64 report : reports)
        action.downloadProgress(report, -1);
    QList<qint64> seen;
    for (const QList<QVariant> &arguments : progress)
        seen.append(arguments.at(0).toLongLong());
    QCOMPARE(seen, deltas);
}

void TestDownloadManager::progressDeltasAddUpAcrossAttempts()
{
    const qint64 size = 300000;
    http().addRoute(HttpRoute::generated("/file.bin", size).setFaults(cutFault(100000), 1));
    ActionObserver observer;

    auto worker = startFileBatch({ { "/file.bin", "file.bin", size } },
                                 DownloadObserver(&observer, &ActionObserver::actionProgress, &ActionObserver::started,
                                                  &ActionObserver::finished));
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(observer.total(), size);
    QCOMPARE(observer.startedCount, 2);
    QCOMPARE(observer.finishedCount, 2);
    QCOMPARE(observer.finishedCodes.size(), 2);
    QVERIFY(observer.finishedCodes.at(0) != 0);
    QCOMPARE(observer.finishedCodes.at(1), 0);
}

void TestDownloadManager::successReplacesExistingFile()
{
    QVERIFY(TestSupport::writeFile(filePath("chart.bin"), "old chart"));
    http().addRoute(HttpRoute::generated("/chart.bin", 50000));

    auto worker = startFileBatch({ { "/chart.bin", "chart.bin", 50000 } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), GeneratedBody::expected(50000));
    QVERIFY(!QFile::exists(filePath("chart.bin.tmp")));
}

void TestDownloadManager::failedAttemptLeavesOldFileAndNoTemp()
{
    QVERIFY(TestSupport::writeFile(filePath("chart.bin"), "old chart"));
    http().addRoute(HttpRoute::generated("/chart.bin", 50000).setFaults(cutFault(20000)).setAcceptsRanges(false));

    auto worker = startFileBatch({ { "/chart.bin", "chart.bin", 50000 } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    QCOMPARE(worker->actions().at(0)->getActionError(), FileWithWrongSize);
    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), QByteArray("old chart"));
    QVERIFY(!QFile::exists(filePath("chart.bin.tmp")));
}

void TestDownloadManager::temporaryFileHoldsTheBytesUntilTheEnd()
{
    QVERIFY(TestSupport::writeFile(filePath("chart.bin"), "old chart"));
    const qint64 size = 50000;
    http().addRoute(HttpRoute::generated("/chart.bin", size).setFaults(stallFault(4096), 1));

    auto worker = startFileBatch({ { "/chart.bin", "chart.bin", size } });
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(filePath("chart.bin.tmp")).size(), qint64(4096), kWait);
    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), QByteArray("old chart"));

    // The server goes away mid-answer; the retry gets the whole file.
    mServer->dropConnections();
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);
    QCOMPARE(worker->actions().at(0)->getActionError(), 0);
    QCOMPARE(TestSupport::readFile(filePath("chart.bin")), GeneratedBody::expected(size));
    QVERIFY(!QFile::exists(filePath("chart.bin.tmp")));
}

void TestDownloadManager::unwritableDestinationFails_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("destinationIsFolder");
    // Bytes of a small file system mounted on the file's folder; 0: none.
    QTest::addColumn<qint64>("diskBytes");

    // Size the manifest announced (0: none): a local failure stays 907
    // either way, never the network's 901.
    QTest::addColumn<qint64>("expectedSize");

    QTest::newRow("folder missing") << QStringLiteral("missing/chart.bin") << false << qint64(0) << qint64(0);
    QTest::newRow("folder missing, size announced")
        << QStringLiteral("missing/chart.bin") << false << qint64(0) << qint64(300000);
    QTest::newRow("destination is a folder") << QStringLiteral("chart.bin") << true << qint64(0) << qint64(0);
    QTest::newRow("disk full") << QStringLiteral("card/chart.bin") << false << qint64(64 * 1024) << qint64(0);
    QTest::newRow("disk full, size announced")
        << QStringLiteral("card/chart.bin") << false << qint64(64 * 1024) << qint64(300000);
}

void TestDownloadManager::unwritableDestinationFails()
{
    QFETCH(QString, fileName);
    QFETCH(bool, destinationIsFolder);
    QFETCH(qint64, diskBytes);
    QFETCH(qint64, expectedSize);

    std::unique_ptr<TmpfsMount> disk;
    if (diskBytes > 0) {
        disk = std::make_unique<TmpfsMount>(QFileInfo(filePath(fileName)).absolutePath(), diskBytes);
        if (!disk->isMounted())
            QSKIP("cannot mount a small file system here");
    }
    if (destinationIsFolder)
        QVERIFY(QDir(mDir->path()).mkdir(fileName));
    http().addRoute(HttpRoute::generated("/chart.bin", 300000));

    auto worker = startFileBatch({ { "/chart.bin", fileName, expectedSize } });
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    // Never reported as a complete file.
    QCOMPARE(worker->actions().at(0)->getActionError(), ErrorWritingDownloadedFile);
    QCOMPARE(mLog->count(kNoMoreRetries), 1);
    QCOMPARE(mLog->count(completedLine(mServer->url("/chart.bin"))), 0);
    QCOMPARE(QFileInfo(filePath(fileName)).isDir(), destinationIsFolder);
    QVERIFY(!QFile::exists(filePath(fileName + ".tmp")));
}

void TestDownloadManager::bufferStartsEmptyAtEveryAttempt()
{
    const qint64 size = 20000;
    http().addRoute(HttpRoute::generated("/manifest", size, "application/json").setFaults(cutFault(5000), 2));

    const QUrl url = mServer->url("/manifest");
    BatchWorker *worker = addWorker(new BatchWorker(mManager.get(), [url] {
        return QList<VelDownloadAction *> { new BufferDownloadAction(url) };
    }));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);

    auto *action = static_cast<BufferDownloadAction *>(worker->actions().at(0));
    QCOMPARE(action->getActionError(), 0);
    QCOMPARE(action->buffer(), GeneratedBody::expected(size));
    QCOMPARE(action->contentType().toString(), QStringLiteral("application/json"));
    QCOMPARE(http().requestCount("/manifest"), 3);
}

void TestDownloadManager::sharedNetworkManagerIgnoresForeignReplies()
{
    QNetworkAccessManager shared;
    mManager = std::make_unique<VelDownloadManager>(&shared);
    const qint64 size = 100000;
    http().addRoute(HttpRoute::generated("/a.bin", size).setFaults(trickleFault(20000, 5)));
    http().addRoute(HttpRoute::generated("/b.bin", size));
    http().addRoute(HttpRoute::bytes("/page", "<html>store</html>", "text/html"));
    http().addRoute(HttpRoute::generated("/slow-page", 3000).setFaults(trickleFault(500, 10)));

    // The store page's own requests run on the same network manager, one of
    // them across the whole batch.
    QPointer<QNetworkReply> slowPage = shared.get(QNetworkRequest(mServer->url("/slow-page")));
    auto worker = startFileBatch({ { "/a.bin", "a.bin", size }, { "/b.bin", "b.bin", size } });
    QPointer<QNetworkReply> page = shared.get(QNetworkRequest(mServer->url("/page")));
    QTRY_VERIFY_WITH_TIMEOUT(worker->hasReturned(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(slowPage && slowPage->isFinished() && page && page->isFinished(), kWait);

    // Left alone: neither taken for a download nor deleted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(slowPage);
    QVERIFY(page);
    QCOMPARE(page->readAll(), QByteArray("<html>store</html>"));
    QCOMPARE(slowPage->readAll(), GeneratedBody::expected(3000));
    delete slowPage;
    delete page;

    QCOMPARE(TestSupport::readFile(filePath("a.bin")), GeneratedBody::expected(size));
    QCOMPARE(TestSupport::readFile(filePath("b.bin")), GeneratedBody::expected(size));
    QCOMPARE(batchLines(), QStringList({ completedLine(mServer->url("/a.bin")), completedLine(mServer->url("/b.bin")),
                                         kAllDone }));
    QCOMPARE(mLog->count(QStringLiteral("GREAT PROBLEM WITH THE ACTION!!")), 0);
}

QTEST_GUILESS_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
