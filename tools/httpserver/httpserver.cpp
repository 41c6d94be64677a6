#include "httpserver.h"

#include "byterange.h"
#include "bytearraybody.h"
#include "httpservercore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>

namespace {

const QString kRequestsPath = QStringLiteral("/_requests");

// Serves the range a request asks of a whole body, or refuses it.
void applyRange(const HttpRequest &request, bool wrongContentRange, HttpAnswer *answer)
{
    HttpResponse &response = answer->response;
    const qint64 size = response.bodySize();
    const ByteRange range = ByteRange::fromHeader(request.header("Range"), size);
    const QByteArray total = '/' + QByteArray::number(size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        const QByteArray text = "range not satisfiable\n";
        response.setStatus(416);
        response.setHeader("Content-Type", "text/plain; charset=utf-8");
        response.setHeader("Content-Range", "bytes *" + total);
        response.setBody(std::make_shared<ByteArrayBody>(text));
        answer->bodyLength = text.size();
        return;
    }
    if (range.kind != ByteRange::Kind::Partial || !response.body()->seek(range.first))
        return;
    response.setStatus(206);
    const qint64 first = wrongContentRange ? 0 : range.first;
    const qint64 last = wrongContentRange ? size - 1 : range.last;
    response.setHeader("Content-Range",
                       "bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + total);
    answer->bodyLength = range.length();
}

} // namespace

HttpServer::HttpServer(QObject *parent)
    : QObject(parent)
{
}

HttpServer::~HttpServer()
{
    close();
}

bool HttpServer::listen(quint16 port)
{
    QMutexLocker locker(&mMutex);
    if (mCore)
        return false;
    auto core = std::make_unique<HttpServerCore>(*this);
    if (!core->start(port)) {
        mError = core->errorString();
        return false;
    }
    mPort = core->port();
    mCore = std::move(core);
    return true;
}

void HttpServer::close()
{
    std::unique_ptr<HttpServerCore> core;
    {
        QMutexLocker locker(&mMutex);
        core = std::move(mCore);
    }
    // Outside the lock: this waits for the connections, whose handlers
    // record their requests.
    core.reset();
}

void HttpServer::dropConnections()
{
    QMutexLocker locker(&mMutex);
    if (mCore)
        mCore->dropConnections();
}

QString HttpServer::errorString() const
{
    return mError;
}

quint16 HttpServer::port() const
{
    QMutexLocker locker(&mMutex);
    return mPort;
}

QUrl HttpServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port());
    url.setPath(path);
    return url;
}

void HttpServer::addRoute(const HttpRoute &route)
{
    QMutexLocker locker(&mMutex);
    for (RouteEntry &entry : mRoutes) {
        if (entry.route.path() == route.path() && entry.route.isPrefix() == route.isPrefix()) {
            entry.route = route;
            entry.hits = 0;
            return;
        }
    }
    mRoutes.append({ route, 0 });
}

void HttpServer::removeRoute(const QString &path)
{
    QMutexLocker locker(&mMutex);
    for (int i = mRoutes.size() - 1; i >= 0; --i) {
        if (mRoutes.at(i).route.path() == path)
            mRoutes.removeAt(i);
    }
}

void HttpServer::clearRoutes()
{
    QMutexLocker locker(&mMutex);
    mRoutes.clear();
}

QList<RecordedRequest> HttpServer::requests() const
{
    QMutexLocker locker(&mMutex);
    return mRecords;
}

QList<RecordedRequest> HttpServer::requests(const QString &path) const
{
    QMutexLocker locker(&mMutex);
    QList<RecordedRequest> result;
    for (const RecordedRequest &record : mRecords) {
        if (record.request.path() == path)
            result.append(record);
    }
    return result;
}

int HttpServer::requestCount(const QString &path) const
{
    return requests(path).size();
}

void HttpServer::clearRequests()
{
    QMutexLocker locker(&mMutex);
    mRecords.clear();
}

HttpAnswer HttpServer::dispatch(const HttpRequest &request)
{
    HttpAnswer result;
    if (request.path() == kRequestsPath) {
        result.response = answerInternal(request);
        result.bodyLength = result.response.bodySize();
        return result;
    }

    HttpRoute route;
    int requestIndex = 0;
    bool found = false;
    {
        QMutexLocker locker(&mMutex);
        RouteEntry *best = nullptr;
        for (RouteEntry &entry : mRoutes) {
            if (!entry.route.isPrefix() && entry.route.matches(request.path())) {
                best = &entry;
                break;
            }
        }
        if (!best) {
            for (RouteEntry &entry : mRoutes) {
                if (entry.route.isPrefix() && entry.route.matches(request.path())
                    && (!best || entry.route.path().size() > best->route.path().size())) {
                    best = &entry;
                }
            }
        }
        if (best) {
            route = best->route;
            requestIndex = best->hits++;
            found = true;
        }
        if (!found || route.isRecorded()) {
            RecordedRequest record;
            record.id = mNextRecordId++;
            record.request = request;
            record.receivedOrder = ++mEventCounter;
            mRecords.append(record);
            result.recordId = record.id;
            result.recorded = true;
        }
    }

    // Handlers run outside the lock: they may be slow or use the server.
    if (found)
        result.response = route.respond(request, requestIndex, &result.faults);
    else
        result.response = HttpResponse::notFound();
    result.bodyLength = result.response.bodySize();
    if (found && result.response.status() == 200 && result.bodyLength > 0) {
        result.response.setHeader("Accept-Ranges", route.acceptsRanges() ? "bytes" : "none");
        if (route.acceptsRanges() && request.hasHeader("Range"))
            applyRange(request, result.faults.wrongContentRange, &result);
    }

    if (result.recorded) {
        const int status = result.response.status();
        updateRecord(result.recordId, [status](RecordedRequest &record) { record.status = status; });
    }
    return result;
}

HttpResponse HttpServer::answerInternal(const HttpRequest &request)
{
    if (request.method() == "DELETE") {
        clearRequests();
        return HttpResponse(204);
    }
    QJsonArray array;
    for (const RecordedRequest &record : requests())
        array.append(record.toJson());
    return HttpResponse::json(QJsonDocument(array));
}

void HttpServer::updateRecord(quint64 id, const std::function<void(RecordedRequest &)> &change)
{
    QMutexLocker locker(&mMutex);
    // Ids grow with the list, so search from the end where recent ones are.
    for (int i = mRecords.size() - 1; i >= 0; --i) {
        if (mRecords.at(i).id == id) {
            change(mRecords[i]);
            return;
        }
        if (mRecords.at(i).id < id)
            return;
    }
}

quint64 HttpServer::nextEventOrder()
{
    QMutexLocker locker(&mMutex);
    return ++mEventCounter;
}
