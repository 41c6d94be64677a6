#include "bufferdownloadaction.h"
#include "localhttpserver.h"
#include "sharedcookiejar.h"
#include "veldownloadmanager.h"
#include "velnetworkmanager.h"

#include <QBuffer>
#include <QEventLoop>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;

bool waitForReply(QNetworkReply *reply)
{
    if (!reply->isFinished())
        QSignalSpy(reply, &QNetworkReply::finished).wait(kWait);
    return reply->isFinished();
}

QStringList cookieNames(const QList<QNetworkCookie> &cookies)
{
    QStringList names;
    for (const QNetworkCookie &cookie : cookies)
        names << QString::fromLatin1(cookie.name());
    names.sort();
    return names;
}

} // namespace

class TestVelNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyRequestIsStamped_data();
    void everyRequestIsStamped();
    void downloadsCarryHeadersAndCookies();
    void cookieJarIsSharedAcrossThreads();

private:
    HttpServer &http() { return mServer->server(); }

    std::unique_ptr<LocalHttpServer> mServer;
};

void TestVelNetworkManager::init()
{
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    http().addRoute(HttpRoute::prefix("/", [](const HttpRequest &) { return HttpResponse::text(200, "ok"); }));
}

void TestVelNetworkManager::cleanup()
{
    mServer.reset();
}

void TestVelNetworkManager::everyRequestIsStamped_data()
{
    QTest::addColumn<QByteArray>("method");
    for (const char *method : { "GET", "HEAD", "POST", "PUT", "DELETE", "PATCH" })
        QTest::newRow(method) << QByteArray(method);
}

void TestVelNetworkManager::everyRequestIsStamped()
{
    QFETCH(QByteArray, method);

    VelNetworkManager manager(QStringLiteral("151"), QStringLiteral("pc"));
    QNetworkRequest request(mServer->url("/page"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    // A header of the same name set by the caller does not survive.
    request.setRawHeader("tdmt-client", "someone else");
    QBuffer body;
    body.setData("form=1");
    std::unique_ptr<QNetworkReply> reply;
    if (method == "GET")
        reply.reset(manager.get(request));
    else if (method == "HEAD")
        reply.reset(manager.head(request));
    else if (method == "POST")
        reply.reset(manager.post(request, QByteArray("form=1")));
    else if (method == "PUT")
        reply.reset(manager.put(request, QByteArray("form=1")));
    else if (method == "DELETE")
        reply.reset(manager.deleteResource(request));
    else
        reply.reset(manager.sendCustomRequest(request, method, &body));
    QVERIFY(waitForReply(reply.get()));
    QCOMPARE(reply->error(), QNetworkReply::NoError);

    const QList<RecordedRequest> requests = http().requests("/page");
    QCOMPARE(requests.size(), 1);
    const HttpRequest &seen = requests.first().request;
    QCOMPARE(seen.method(), method);
    QCOMPARE(seen.header("tdmt-client"), QByteArray("tidemart"));
    QCOMPARE(seen.header("tdmt-version"), QByteArray("151"));
    QCOMPARE(seen.header("tdmt-os"), QByteArray("pc"));
}

void TestVelNetworkManager::downloadsCarryHeadersAndCookies()
{
    http().addRoute(HttpRoute::bytes("/manifest", "[]", "application/json").addCookie("token=xyz; Path=/"));
    VelNetworkManager network(QStringLiteral("151"), QStringLiteral("pc"));
    auto *jar = new SharedCookieJar;
    network.setCookieJar(jar);
    jar->setCookiesFromUrl({ QNetworkCookie("session", "abc123") }, mServer->url("/"));

    VelDownloadManager manager(&network);
    BufferDownloadAction action(mServer->url("/manifest"));
    manager.enqueueUrl(&action);
    QTRY_VERIFY_WITH_TIMEOUT(http().requests("/manifest").value(0).completed && !action.isActive(), kWait);
    QCOMPARE(action.getActionError(), 0);
    QCOMPARE(action.buffer(), QByteArray("[]"));

    const HttpRequest seen = http().requests("/manifest").first().request;
    QCOMPARE(seen.header("tdmt-client"), QByteArray("tidemart"));
    QCOMPARE(seen.header("tdmt-version"), QByteArray("151"));
    QCOMPARE(seen.header("tdmt-os"), QByteArray("pc"));
    QCOMPARE(seen.cookie("session"), QByteArray("abc123"));
    QCOMPARE(cookieNames(jar->cookiesForUrl(mServer->url("/"))), QStringList({ "session", "token" }));
}

void TestVelNetworkManager::cookieJarIsSharedAcrossThreads()
{
    // Each request sets a cookie named after the query; two threads with
    // network managers of their own fill one jar while the main thread reads
    // it.
    http().addRoute(HttpRoute::prefix("/set", [](const HttpRequest &request) {
        HttpResponse response = HttpResponse::text(200, "ok");
        response.addHeader("Set-Cookie", request.query().queryItemValue("name").toLatin1() + "=v; Path=/");
        return response;
    }));
    SharedCookieJar jar;
    const int requestsPerThread = 40;
    const QUrl base = mServer->url("/set");

    auto client = [&jar, base](const QString &prefix) {
        QNetworkAccessManager network;
        network.setCookieJar(&jar);
        for (int i = 0; i < requestsPerThread; ++i) {
            QUrl url = base;
            url.setQuery(QStringLiteral("name=%1%2").arg(prefix).arg(i));
            std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
            QEventLoop loop;
            QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
            if (!reply->isFinished())
                loop.exec();
        }
    };
    std::unique_ptr<QThread> first(QThread::create(client, QStringLiteral("a")));
    std::unique_ptr<QThread> second(QThread::create(client, QStringLiteral("b")));
    first->start();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(jar.cookiesForUrl(base).size() == 2 * requestsPerThread, kWait);
    QVERIFY(first->wait(kWait));
    QVERIFY(second->wait(kWait));
    // The jar stays with its owner.
    QCOMPARE(jar.parent(), nullptr);

    // Each request carried the cookies its own thread had set before it.
    for (const RecordedRequest &record : http().requests()) {
        const QString name = record.request.query().queryItemValue("name");
        const int index = name.mid(1).toInt();
        for (int earlier = 0; earlier < index; ++earlier) {
            const QByteArray cookie = (name.left(1) + QString::number(earlier)).toLatin1();
            QVERIFY2(!record.request.cookie(cookie).isNull(), qPrintable(name + " lacks " + cookie));
        }
    }
}

QTEST_GUILESS_MAIN(TestVelNetworkManager)
#include "tst_velnetworkmanager.moc"
