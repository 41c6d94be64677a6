#include "generatedbody.h"
#include "httpserverprocess.h"
#include "localhttpserver.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;

} // namespace

Q_DECLARE_METATYPE(HttpFaults)

class TestHttpServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void generatedBodyHasLengthAndPattern();
    void headHasLengthButNoBody();
    void answersByStatus_data();
    void answersByStatus();
    void contentTypeCanBeWrong();
    void faultyRequestsComeFirst();
    void stallHoldsBackTheRest();
    void finiteStallThenCompletes();
    void cutAfterBytes();
    void trickleSendsPieceByPiece();
    void cookiesAreSetAndRecorded();
    void keepAliveAndPipelining();
    void malformedRequestIsRefused_data();
    void malformedRequestIsRefused();
    void requestBodyIsKeptAsSent_data();
    void requestBodyIsKeptAsSent();
    void rangesAreServed_data();
    void rangesAreServed();
    void stallBlocksNoOtherClientAndDropCutsAll();
    void directoryServesOnlyItsFiles_data();
    void directoryServesOnlyItsFiles();
    void programServesConfigRootAndRequestLog();
    void programRefusesToStart_data();
    void programRefusesToStart();

private:
    HttpServer &http() { return mServer->server(); }
    std::unique_ptr<QNetworkReply> get(const QString &path);
    // Sends raw bytes on a fresh connection and returns everything the
    // server sends until it closes the connection.
    QByteArray exchange(const QByteArray &request);

    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<QNetworkAccessManager> mNetwork;
};

void TestHttpServer::init()
{
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    mNetwork = std::make_unique<QNetworkAccessManager>();
}

void TestHttpServer::cleanup()
{
    mNetwork.reset();
    mServer.reset();
}

std::unique_ptr<QNetworkReply> TestHttpServer::get(const QString &path)
{
    return std::unique_ptr<QNetworkReply>(mNetwork->get(QNetworkRequest(mServer->url(path))));
}

QByteArray TestHttpServer::exchange(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, mServer->port());
    if (!socket.waitForConnected(kWait))
        return QByteArray();
    socket.write(request);
    QByteArray received;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(kWait))
        received += socket.readAll();
    return received + socket.readAll();
}

void TestHttpServer::generatedBodyHasLengthAndPattern()
{
    const qint64 size = 3 * 1024 * 1024 + 17;
    http().addRoute(HttpRoute::generated("/big.bin", size));
    auto reply = get("/big.bin");
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), size);
    QCOMPARE(reply->readAll(), GeneratedBody::expected(size));
    QCOMPARE(GeneratedBody::expected(5, 250), QByteArray::fromHex("fa00010203"));
}

void TestHttpServer::headHasLengthButNoBody()
{
    http().addRoute(HttpRoute::generated("/big.bin", 123456));
    const QByteArray answer = exchange("HEAD /big.bin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QVERIFY(answer.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(answer.contains("\r\nContent-Length: 123456\r\n"));
    QVERIFY(answer.endsWith("\r\n\r\n"));
}

void TestHttpServer::answersByStatus_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");

    QTest::newRow("unknown path") << "/nothing/here" << 404 << QByteArray();
    QTest::newRow("server error") << "/error" << 500 << QByteArray();
    QTest::newRow("no content") << "/empty" << 204 << QByteArray();
    QTest::newRow("redirect") << "/moved" << 302 << QByteArray("/new/place");
}

void TestHttpServer::answersByStatus()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QByteArray, location);

    http().addRoute(HttpRoute::status("/error", 500));
    http().addRoute(HttpRoute::status("/empty", 204));
    http().addRoute(HttpRoute::status("/moved", 302, "/new/place"));
    auto reply = get(path);
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QCOMPARE(reply->rawHeader("Location"), location);
    QCOMPARE(http().requests(path).value(0).status, status);
}

void TestHttpServer::contentTypeCanBeWrong()
{
    http().addRoute(HttpRoute::bytes("/manifest", "[]", "application/json").setContentType("text/html"));
    auto reply = get("/manifest");
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), QStringLiteral("text/html"));
    QCOMPARE(reply->readAll(), QByteArray("[]"));
}

void TestHttpServer::faultyRequestsComeFirst()
{
    http().addRoute(HttpRoute::generated("/flaky", 10).setFaults(HttpFaults::answerStatus(503), 3));
    QList<int> statuses;
    for (int i = 0; i < 5; ++i) {
        auto reply = get("/flaky");
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
        statuses << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    QCOMPARE(statuses, QList<int>({ 503, 503, 503, 200, 200 }));
}

void TestHttpServer::stallHoldsBackTheRest()
{
    http().addRoute(HttpRoute::generated("/stall", 5000).setFaults(HttpFaults::stallAfter(1000)));
    auto reply = get("/stall");
    QByteArray received;
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] { received += reply->readAll(); });

    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1000, kWait);
    QVERIFY(!reply->isFinished());
    QCOMPARE(received, GeneratedBody::expected(1000));
    QCOMPARE(http().requests("/stall").value(0).bodyBytesSent, qint64(1000));

    reply->abort();
    QTRY_VERIFY_WITH_TIMEOUT(http().requests("/stall").value(0).clientClosed, kWait);
    QVERIFY(!http().requests("/stall").value(0).completed);
}

void TestHttpServer::finiteStallThenCompletes()
{
    http().addRoute(HttpRoute::generated("/stall", 5000).setFaults(HttpFaults::stallAfter(1000, 100)));
    auto reply = get("/stall");
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), GeneratedBody::expected(5000));
    QVERIFY(http().requests("/stall").value(0).completed);
}

void TestHttpServer::cutAfterBytes()
{
    http().addRoute(HttpRoute::generated("/cut", 5000).setFaults(HttpFaults::closeAfter(1000)));
    auto reply = get("/cut");
    QByteArray received;
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] { received += reply->readAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);

    QCOMPARE(reply->error(), QNetworkReply::RemoteHostClosedError);
    QCOMPARE(received, GeneratedBody::expected(1000));
    const RecordedRequest record = http().requests("/cut").value(0);
    QVERIFY(record.serverClosed);
    QCOMPARE(record.bodyBytesSent, qint64(1000));
}

void TestHttpServer::trickleSendsPieceByPiece()
{
    // One piece now, the next only after a minute: the first must arrive on
    // its own.
    http().addRoute(HttpRoute::generated("/slow", 100).setFaults(HttpFaults::trickle(10, 60000)));
    auto reply = get("/slow");
    QByteArray received;
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] { received += reply->readAll(); });

    QTRY_COMPARE_WITH_TIMEOUT(received, GeneratedBody::expected(10), kWait);
    QVERIFY(!reply->isFinished());
    QTRY_COMPARE_WITH_TIMEOUT(http().requests("/slow").value(0).bodyBytesSent, qint64(10), kWait);
    reply->abort();
}

void TestHttpServer::cookiesAreSetAndRecorded()
{
    http().addRoute(HttpRoute::bytes("/login", "ok").addCookie("session=abc; Path=/").addCookie("theme=dark; Path=/"));
    auto reply = get("/login");
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    const QList<QNetworkCookie> cookies = reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    QCOMPARE(cookies.size(), 2);

    // The network manager's jar sends them back.
    auto again = get("/login");
    QTRY_VERIFY_WITH_TIMEOUT(again->isFinished(), kWait);
    const RecordedRequest second = http().requests("/login").value(1);
    QCOMPARE(second.request.cookie("session"), QByteArray("abc"));
    QCOMPARE(second.request.cookie("theme"), QByteArray("dark"));
    QVERIFY(second.request.header("Cookie").contains("session=abc"));
}

void TestHttpServer::keepAliveAndPipelining()
{
    http().addRoute(HttpRoute::bytes("/a", "first", "text/plain"));
    http().addRoute(HttpRoute::bytes("/b", "second", "text/plain"));
    const QByteArray answer = exchange("GET /a HTTP/1.1\r\nHost: x\r\n\r\n"
                                       "GET /b HTTP/1.1\r\nHost: x\r\n\r\n"
                                       "GET /a HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QCOMPARE(answer.count("HTTP/1.1 200 OK\r\n"), 3);
    const int first = answer.indexOf("\r\n\r\nfirst");
    const int second = answer.indexOf("\r\n\r\nsecond");
    const int third = answer.lastIndexOf("\r\n\r\nfirst");
    QVERIFY(first > 0 && second > first && third > second);
    QCOMPARE(answer.count("\r\nKeep-Alive: "), 2);
    QCOMPARE(answer.count("\r\nConnection: close\r\n"), 1);
    QVERIFY(answer.indexOf("\r\nConnection: close\r\n") > second);
    QCOMPARE(http().requests().size(), 3);
}

void TestHttpServer::malformedRequestIsRefused_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("no request line") << QByteArray("NONSENSE\r\n\r\n");
    QTest::newRow("target is no path") << QByteArray("GET http://elsewhere/x HTTP/1.1\r\nHost: x\r\n\r\n");
    QTest::newRow("invalid escape") << QByteArray("GET /a%zz HTTP/1.1\r\nHost: x\r\n\r\n");
}

void TestHttpServer::malformedRequestIsRefused()
{
    QFETCH(QByteArray, request);
    http().addRoute(HttpRoute::prefix("/", [](const HttpRequest &) { return HttpResponse::text(200, "ok"); }));
    const QByteArray answer = exchange(request);
    QVERIFY2(answer.startsWith("HTTP/1.1 400 Bad Request\r\n"), answer.constData());
    QVERIFY(http().requests().isEmpty());
}

void TestHttpServer::requestBodyIsKeptAsSent_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("plain") << QByteArray("application/octet-stream") << QByteArray(5000, 'x');
    QTest::newRow("form data") << QByteArray("multipart/form-data; boundary=XyZ")
                               << QByteArray("--XyZ\r\nContent-Disposition: form-data; name=\"track\"; "
                                             "filename=\"a.stk\"\r\n\r\nSTK data\r\n--XyZ--\r\n");
}

void TestHttpServer::requestBodyIsKeptAsSent()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    http().addRoute(HttpRoute::exact("/upload", [](const HttpRequest &request) {
        return HttpResponse::text(200, "got " + QByteArray::number(request.body().size()));
    }));
    const QByteArray answer = exchange("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Type: " + contentType
                                       + "\r\nContent-Length: " + QByteArray::number(body.size())
                                       + "\r\nExpect: 100-continue\r\nConnection: close\r\n\r\n" + body);
    QVERIFY(answer.endsWith("got " + QByteArray::number(body.size())));
    const HttpRequest seen = http().requests("/upload").value(0).request;
    QCOMPARE(seen.body(), body);
    QCOMPARE(seen.header("Content-Type"), contentType);
}

void TestHttpServer::rangesAreServed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("acceptsRanges");
    QTest::addColumn<HttpFaults>("fault");
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentRange");
    // The pattern bytes expected, from offset on.
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("length");

    const HttpFaults none;
    QTest::newRow("generated, from an offset") << "generated" << true << none << QByteArray("bytes=1000-") << 206
                                               << QByteArray("bytes 1000-4999/5000") << qint64(1000) << qint64(4000);
    QTest::newRow("file, closed range") << "file" << true << none << QByteArray("bytes=10-19") << 206
                                        << QByteArray("bytes 10-19/5000") << qint64(10) << qint64(10);
    QTest::newRow("folder, end past the size") << "directory" << true << none << QByteArray("bytes=4990-9999") << 206
                                               << QByteArray("bytes 4990-4999/5000") << qint64(4990) << qint64(10);
    QTest::newRow("bytes, last bytes") << "bytes" << true << none << QByteArray("bytes=-100") << 206
                                       << QByteArray("bytes 4900-4999/5000") << qint64(4900) << qint64(100);
    QTest::newRow("start past the end") << "generated" << true << none << QByteArray("bytes=5000-") << 416
                                        << QByteArray("bytes */5000") << qint64(0) << qint64(0);
    QTest::newRow("several ranges, whole body") << "file" << true << none << QByteArray("bytes=0-1,5-6") << 200
                                                << QByteArray() << qint64(0) << qint64(5000);
    QTest::newRow("route without ranges") << "generated" << false << none << QByteArray("bytes=1000-") << 200
                                          << QByteArray() << qint64(0) << qint64(5000);
    QTest::newRow("wrong Content-Range") << "generated" << true << HttpFaults::wrongRange() << QByteArray("bytes=1000-")
                                         << 206 << QByteArray("bytes 0-4999/5000") << qint64(1000) << qint64(4000);
    QTest::newRow("cut in the range") << "file" << true << HttpFaults::closeAfter(500) << QByteArray("bytes=1000-")
                                      << 206 << QByteArray("bytes 1000-4999/5000") << qint64(1000) << qint64(500);
}

void TestHttpServer::rangesAreServed()
{
    QFETCH(QString, kind);
    QFETCH(bool, acceptsRanges);
    QFETCH(HttpFaults, fault);
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(QByteArray, contentRange);
    QFETCH(qint64, offset);
    QFETCH(qint64, length);

    const qint64 size = 5000;
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath("chart.bin"), GeneratedBody::expected(size)));
    HttpRoute route;
    if (kind == "generated")
        route = HttpRoute::generated("/chart.bin", size);
    else if (kind == "bytes")
        route = HttpRoute::bytes("/chart.bin", GeneratedBody::expected(size));
    else if (kind == "file")
        route = HttpRoute::file("/chart.bin", dir.filePath("chart.bin"));
    else
        route = HttpRoute::directory("/", dir.path());
    http().addRoute(route.setAcceptsRanges(acceptsRanges).setFaults(fault));

    QNetworkRequest request(mServer->url("/chart.bin"));
    request.setRawHeader("Range", range);
    std::unique_ptr<QNetworkReply> reply(mNetwork->get(request));
    QByteArray received;
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] { received += reply->readAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), kWait);
    received += reply->readAll();

    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QCOMPARE(reply->rawHeader("Content-Range"), contentRange);
    QCOMPARE(reply->rawHeader("Accept-Ranges"), QByteArray(acceptsRanges ? "bytes" : "none"));
    if (status != 416)
        QCOMPARE(received, GeneratedBody::expected(length, offset));

    // The record tells a cut answer from a complete one (the network
    // manager may report a cut one as complete).
    const RecordedRequest record = http().requests("/chart.bin").value(0);
    QCOMPARE(record.request.header("Range"), range);
    QCOMPARE(record.status, status);
    QCOMPARE(record.serverClosed, fault.closes());
    QCOMPARE(record.completed, !fault.closes());
    if (status != 416)
        QCOMPARE(record.bodyBytesSent, length);
}

void TestHttpServer::stallBlocksNoOtherClientAndDropCutsAll()
{
    http().addRoute(HttpRoute::generated("/stall", 5000).setFaults(HttpFaults::stallAfter(1000)));
    http().addRoute(HttpRoute::bytes("/page", "page"));

    // More idle keep-alive connections than a small thread pool has threads.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 12; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, mServer->port());
        QVERIFY(socket->waitForConnected(kWait));
        socket->write("GET /page HTTP/1.1\r\nHost: x\r\n\r\n");
        QByteArray answer;
        while (!answer.endsWith("page") && socket->waitForReadyRead(kWait))
            answer += socket->readAll();
        QVERIFY(answer.endsWith("page"));
        idle.push_back(std::move(socket));
    }
    auto stalled = get("/stall");
    QTRY_COMPARE_WITH_TIMEOUT(http().requests("/stall").value(0).bodyBytesSent, qint64(1000), kWait);
    auto page = get("/page");
    QTRY_VERIFY_WITH_TIMEOUT(page->isFinished(), kWait);
    QCOMPARE(page->readAll(), QByteArray("page"));
    QVERIFY(!stalled->isFinished());

    mServer->dropConnections();
    QTRY_VERIFY_WITH_TIMEOUT(stalled->isFinished(), kWait);
    QCOMPARE(stalled->error(), QNetworkReply::RemoteHostClosedError);
    QTRY_VERIFY_WITH_TIMEOUT(http().requests("/stall").value(0).serverClosed, kWait);
    for (const auto &socket : idle)
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, kWait);

    // Still listening; closing the server also ends a stalled answer.
    auto again = get("/stall");
    QTRY_COMPARE_WITH_TIMEOUT(http().requests("/stall").value(1).bodyBytesSent, qint64(1000), kWait);
    mServer.reset();
    QTRY_VERIFY_WITH_TIMEOUT(again->isFinished(), kWait);
    QCOMPARE(again->error(), QNetworkReply::RemoteHostClosedError);
}

void TestHttpServer::directoryServesOnlyItsFiles_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");

    QTest::newRow("file") << QByteArray("/files/chart.bin") << 200;
    QTest::newRow("nested file") << QByteArray("/files/sub/tile.bin") << 200;
    QTest::newRow("encoded name") << QByteArray("/files/with%20space.txt") << 200;
    QTest::newRow("missing") << QByteArray("/files/none.bin") << 404;
    QTest::newRow("folder") << QByteArray("/files/sub") << 404;
    QTest::newRow("climbing out") << QByteArray("/files/../secret.txt") << 404;
    QTest::newRow("climbing out, encoded") << QByteArray("/files/%2e%2e/secret.txt") << 404;
    QTest::newRow("link out") << QByteArray("/files/link.txt") << 404;
}

void TestHttpServer::directoryServesOnlyItsFiles()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);

    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath("secret.txt"), "secret"));
    QVERIFY(TestSupport::writeFile(dir.filePath("root/chart.bin"), "chart"));
    QVERIFY(TestSupport::writeFile(dir.filePath("root/sub/tile.bin"), "tile"));
    QVERIFY(TestSupport::writeFile(dir.filePath("root/with space.txt"), "spaced"));
    QVERIFY(QFile::link(dir.filePath("secret.txt"), dir.filePath("root/link.txt")));
    http().addRoute(HttpRoute::directory("/files/", dir.filePath("root")));

    const QByteArray answer = exchange("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QVERIFY2(answer.startsWith("HTTP/1.1 " + QByteArray::number(status) + ' '), answer.constData());
    QVERIFY(!answer.contains("secret"));
}

void TestHttpServer::programServesConfigRootAndRequestLog()
{
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty())
        QSKIP("curl is not installed");

    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath("root/readme.txt"), "served from the root\n"));
    QVERIFY(TestSupport::writeFile(dir.filePath("routes.json"), R"({ "routes": [
        { "path": "/big.bin", "generate": 100000 },
        { "path": "/manifest", "body": "[]", "contentType": "application/json", "setCookies": ["s=1; Path=/"] },
        { "path": "/flaky", "generate": 10, "fault": { "status": 503 }, "faultyRequests": 1 },
        { "path": "/whole.bin", "generate": 100, "acceptRanges": false }
    ] })"));
    HttpServerProcess server;
    QVERIFY2(server.start({ "--config", dir.filePath("routes.json"), "--root", dir.filePath("root") }),
             server.errorOutput().constData());

    auto runCurl = [&](const QStringList &arguments) {
        QProcess process;
        process.start(curl, QStringList { "--silent", "--noproxy", "*" } + arguments);
        process.waitForFinished(kWait);
        return process.readAllStandardOutput();
    };
    QCOMPARE(runCurl({ server.url("/big.bin").toString() }), GeneratedBody::expected(100000));
    const QByteArray manifest = runCurl({ "--include", "--header", "X-Probe: 1", server.url("/manifest").toString() });
    QVERIFY(manifest.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(manifest.contains("Content-Type: application/json\r\n"));
    QVERIFY(manifest.contains("Set-Cookie: s=1; Path=/\r\n"));
    QVERIFY(manifest.endsWith("\r\n\r\n[]"));
    QCOMPARE(runCurl({ "--write-out", "%{http_code}", "--output", "/dev/null", server.url("/flaky").toString() }),
             QByteArray("503"));
    QCOMPARE(runCurl({ "--write-out", "%{http_code}", "--output", "/dev/null", server.url("/flaky").toString() }),
             QByteArray("200"));
    QCOMPARE(runCurl({ server.url("/readme.txt").toString() }), QByteArray("served from the root\n"));

    const QJsonArray log = QJsonDocument::fromJson(runCurl({ server.url("/_requests").toString() })).array();
    QCOMPARE(log.size(), 5);
    const QJsonObject probe = log.at(1).toObject();
    QCOMPARE(probe.value("requestLine").toString(), QStringLiteral("GET /manifest HTTP/1.1"));
    QVERIFY(probe.value("headers").toArray().contains(QJsonArray { "X-Probe", "1" }));
    QCOMPARE(probe.value("status").toInt(), 200);
    QVERIFY(probe.value("completed").toBool());

    runCurl({ "--request", "DELETE", server.url("/_requests").toString() });
    QCOMPARE(runCurl({ server.url("/_requests").toString() }), QByteArray("[]"));

    QCOMPARE(runCurl({ "--range", "10-19", server.url("/big.bin").toString() }), GeneratedBody::expected(10, 10));
    QCOMPARE(runCurl({ "--range", "10-19", server.url("/whole.bin").toString() }), GeneratedBody::expected(100));
    const QJsonArray ranged = QJsonDocument::fromJson(runCurl({ server.url("/_requests").toString() })).array();
    QCOMPARE(ranged.size(), 2);
    QVERIFY(ranged.at(0).toObject().value("headers").toArray().contains(QJsonArray { "Range", "bytes=10-19" }));
    QCOMPARE(ranged.at(0).toObject().value("status").toInt(), 206);
    QCOMPARE(ranged.at(1).toObject().value("status").toInt(), 200);
}

void TestHttpServer::programRefusesToStart_data()
{
    QTest::addColumn<bool>("busyPort");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("complaint");

    QTest::newRow("route without answer") << false << 2 << QByteArray("route /x has no answer");
    // Not shared with the server already there, as a reused port would be.
    QTest::newRow("port in use") << true << 1 << QByteArray("cannot listen: Address already in use");
}

void TestHttpServer::programRefusesToStart()
{
    QFETCH(bool, busyPort);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, complaint);

    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath("routes.json"), R"({ "routes": [ { "path": "/x" } ] })"));
    const QStringList arguments = busyPort ? QStringList { "--port", QString::number(mServer->port()) }
                                           : QStringList { "--config", dir.filePath("routes.json") };
    QProcess process;
    process.start(TestSupport::binDir() + "/velamaris-httpserver", arguments);
    QVERIFY(process.waitForFinished(kWait));
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY(process.readAllStandardError().contains(complaint));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestHttpServer)
#include "tst_httpserver.moc"
