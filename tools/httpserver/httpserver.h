#pragma once

#include "httpanswer.h"
#include "httpfaults.h"
#include "httproute.h"
#include "recordedrequest.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class HttpServerCore;

// A small HTTP/1.1 server on 127.0.0.1 for tests, demos and benchmarks,
// built on cpp-httplib.
//
// Routes map paths (or path prefixes) to handlers; fault switches make the
// answers misbehave; every request is recorded so that a test can check what
// a client sent. Bodies of known size are served in byte ranges ("Range",
// 206) unless a route says otherwise. GET /_requests returns the record as
// JSON (DELETE clears it) for clients in another process. Unknown paths get
// 404.
//
// The server answers from threads of its own, one per connection, so
// handlers must be thread-safe. listen() and close() are called from one
// thread at a time; routes, the record, port() and dropConnections() may be
// used from any thread.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    explicit HttpServer(QObject *parent = nullptr);
    ~HttpServer() override;

    // Listens on 127.0.0.1; port 0 takes a free port.
    bool listen(quint16 port = 0);
    void close();
    // Cuts every open connection (a server going away mid-answer) and goes
    // on listening.
    void dropConnections();
    QString errorString() const;
    quint16 port() const;
    // http://127.0.0.1:<port><path>
    QUrl url(const QString &path = QStringLiteral("/")) const;

    // Adds a route; one with the same path and kind is replaced (and its
    // request count starts again). Exact paths win over prefixes, a longer
    // prefix over a shorter one.
    void addRoute(const HttpRoute &route);
    void removeRoute(const QString &path);
    void clearRoutes();

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requests(const QString &path) const;
    int requestCount(const QString &path) const;
    void clearRequests();

private:
    friend class HttpServerCore;
    friend class HttpExchange;

    struct RouteEntry
    {
        HttpRoute route;
        int hits = 0;
    };

    // Finds the route, records the request and builds the answer.
    HttpAnswer dispatch(const HttpRequest &request);
    HttpResponse answerInternal(const HttpRequest &request);
    void updateRecord(quint64 id, const std::function<void(RecordedRequest &)> &change);
    quint64 nextEventOrder();

    std::unique_ptr<HttpServerCore> mCore;
    QString mError;
    mutable QMutex mMutex;
    quint16 mPort = 0;
    QList<RouteEntry> mRoutes;
    QList<RecordedRequest> mRecords;
    quint64 mNextRecordId = 1;
    quint64 mEventCounter = 0;
};
