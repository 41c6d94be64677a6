#include "cardupdatefixture.h"
#include "errorcodes.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using TestSupport::readFile;

namespace {

QByteArray md5Of(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// A server that answers every request with 200, no length and the given
// bytes, then closes the connection: a transfer cut short that looks
// complete to the HTTP layer.
class LengthlessServer : public QTcpServer
{
public:
    explicit LengthlessServer(const QByteArray &body)
        : mBody(body)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    mRequest[socket] += socket->readAll();
                    if (!mRequest[socket].contains("\r\n\r\n"))
                        return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                  "Connection: close\r\n\r\n"
                                  + mBody);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    int connections = 0;

private:
    QByteArray mBody;
    QHash<QTcpSocket *, QByteArray> mRequest;
};

} // namespace

// A file is installed only when it is the one the manifest describes: its
// size, and its md5 when the manifest gives one; a transfer that broke off
// continues in the next run.
class DownloadIntegrityTest : public CardUpdateFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wrongSizeIsAFailedAttempt_data();
    void wrongSizeIsAFailedAttempt();
    void checksumDecidesInstallation_data();
    void checksumDecidesInstallation();
    void nextRunResumesWhatTheLastOneLeft();

private:
    void setMd5(int entry, const QByteArray &md5);
    QStringList downloadAreaFiles() const;
};

void DownloadIntegrityTest::initTestCase()
{
    startStore();
}

void DownloadIntegrityTest::init()
{
    startTest();
}

void DownloadIntegrityTest::cleanup()
{
    endTest();
}

void DownloadIntegrityTest::setMd5(int entry, const QByteArray &md5)
{
    QJsonObject record = mManifest.at(entry).toObject();
    record.insert("md5", QString::fromLatin1(md5));
    mManifest.replace(entry, record);
}

QStringList DownloadIntegrityTest::downloadAreaFiles() const
{
    return tree(downloadArea()).keys();
}

void DownloadIntegrityTest::wrongSizeIsAFailedAttempt_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("lengthless");

    const QByteArray chart(5000, 'c');
    QTest::newRow("server 10 bytes short") << chart.left(4990) << QByteArray("application/octet-stream") << false;
    QTest::newRow("maintenance page")
        << QByteArray("<html><body>Down for maintenance</body></html>") << QByteArray("text/html") << false;
    QTest::newRow("empty body") << QByteArray() << QByteArray("application/octet-stream") << false;
    QTest::newRow("cut without Content-Length") << chart.left(2500) << QByteArray() << true;
}

void DownloadIntegrityTest::wrongSizeIsAFailedAttempt()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, lengthless);

    // The manifest announces 5000 bytes for b.vl2.
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("b.vl2", "Velamari/Charts/b.vl2", QByteArray(5000, 'c'));
    LengthlessServer lengthlessServer(body);
    if (lengthless) {
        QVERIFY(lengthlessServer.listen(QHostAddress::LocalHost));
        QJsonObject record = mManifest.at(1).toObject();
        record.insert("url", QStringLiteral("http://127.0.0.1:%1/b.vl2").arg(lengthlessServer.serverPort()));
        mManifest.replace(1, record);
    } else {
        mServer.server().addRoute(HttpRoute::bytes("/files/b.vl2", body, contentType));
    }
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, false);

    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "error" }));
    QCOMPARE(mOutcome.errorCode, int(FileWithWrongSize));
    QCOMPARE(lengthless ? lengthlessServer.connections : mServer.server().requestCount("/files/b.vl2"), 4);
    QCOMPARE(mLog->linesStartingWith({ "*** Wrong size, bytes received:" }).size(), 4);
    QCOMPARE(tree(card()), before);
    // Only the complete file stays; nothing of the wrong one is kept.
    QCOMPARE(downloadAreaFiles(), QStringList { "Velamari/Charts/a.vl2" });
}

void DownloadIntegrityTest::checksumDecidesInstallation_data()
{
    QTest::addColumn<QByteArray>("md5");
    QTest::addColumn<int>("errorCode");

    const QByteArray chart(70000, 'b');
    QTest::newRow("matching md5") << md5Of(chart) << 0;
    QTest::newRow("matching md5 in capitals") << md5Of(chart).toUpper() << 0;
    QTest::newRow("no md5 (the store's 0)") << QByteArray("0") << 0;
    QTest::newRow("md5 of another file") << md5Of("another file") << int(ErrorChecksumMismatch);
}

void DownloadIntegrityTest::checksumDecidesInstallation()
{
    QFETCH(QByteArray, md5);
    QFETCH(int, errorCode);

    const QByteArray chart(70000, 'b');
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("b.vl2", "Velamari/Charts/b.vl2", chart);
    setMd5(1, md5);
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());
    runUpdate(true, false);

    if (errorCode == 0) {
        QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "install", "completed" }));
        QCOMPARE(readFile(card("Velamari/Charts/b.vl2")), chart);
        QCOMPARE(mServer.server().requestCount("/files/b.vl2"), 1);
        return;
    }
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "error" }));
    QCOMPARE(mOutcome.errorCode, errorCode);
    QCOMPARE(errorCodeName(errorCode), QStringLiteral("ErrorChecksumMismatch"));
    QCOMPARE(mOutcome.errorMessage, mServer.url("/files/b.vl2").toString());
    QCOMPARE(mServer.server().requestCount("/files/b.vl2"), 4);
    QCOMPARE(mLog->linesStartingWith({ "*** Autoretry (" }).size(), 3);
    // Checked before anything on the card was removed or written.
    QCOMPARE(tree(card()), before);
    QCOMPARE(downloadAreaFiles(), QStringList { "Velamari/Charts/a.vl2" });
}

void DownloadIntegrityTest::nextRunResumesWhatTheLastOneLeft()
{
    // Every attempt of the first run stalls after 10000 bytes until the
    // watchdog gives up; the second run asks only for what is missing.
    const qint64 size = 300000;
    QByteArray chart(int(size), Qt::Uninitialized);
    for (int i = 0; i < chart.size(); ++i)
        chart[i] = char(i * 7 % 253);
    serve("big.vl2", "Velamari/Charts/big.vl2", chart);
    setMd5(0, md5Of(chart));
    mServer.server().addRoute(HttpRoute::bytes("/files/big.vl2", chart).setFaults(HttpFaults::stallAfter(10000)));
    publishManifest();
    const QMap<QString, QByteArray> before = tree(card());

    runUpdate(true, false);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "error" }));
    QCOMPARE(tree(card()), before);
    QCOMPARE(downloadAreaFiles(),
             (QStringList { "Velamari/Charts/big.vl2.tmp", "Velamari/Charts/big.vl2.tmp.source" }));
    // Each attempt added what it got.
    const qint64 kept = QFileInfo(downloadArea() + "/Velamari/Charts/big.vl2.tmp").size();
    QCOMPARE(kept, qint64(40000));

    mServer.server().addRoute(HttpRoute::bytes("/files/big.vl2", chart));
    mServer.server().clearRequests();
    mOutcome = Outcome();
    runUpdate(true, false);
    QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
    QCOMPARE(readFile(card("Velamari/Charts/big.vl2")), chart);
    const QList<RecordedRequest> requests = mServer.server().requests("/files/big.vl2");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.last().request.header("Range"), "bytes=" + QByteArray::number(kept) + '-');
    QCOMPARE(requests.last().status, 206);
    QCOMPARE(requests.last().bodyBytesSent, size - kept);
}

QTEST_GUILESS_MAIN(DownloadIntegrityTest)
#include "tst_downloadintegrity.moc"
