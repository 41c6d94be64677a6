#pragma once

#include "httpfaults.h"
#include "httproute.h"
#include "recordedrequest.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QUrl>

#include <functional>

class HttpConnection;
class QTcpServer;

// A small HTTP/1.1 server on 127.0.0.1 for tests, demos and benchmarks.
//
// Routes map paths (or path prefixes) to handlers; fault switches make the
// answers misbehave; every request is recorded so that a test can check what
// a client sent. GET /_requests returns the record as JSON (DELETE clears it)
// for clients in another process. Unknown paths get 404.
//
// The server object and its connections live in one thread (listen() and
// close() are called there); routes, the request log and port() may be used
// from any thread.
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
    friend class HttpConnection;

    struct RouteEntry
    {
        HttpRoute route;
        int hits = 0;
    };

    struct Dispatch
    {
        HttpResponse response;
        HttpFaults faults;
        quint64 recordId = 0;
        bool recorded = false;
    };

    void acceptConnections();
    // Finds the route, records the request and builds the answer.
    Dispatch dispatch(const HttpRequest &request);
    HttpResponse answerInternal(const HttpRequest &request);
    void updateRecord(quint64 id, const std::function<void(RecordedRequest &)> &change);
    quint64 nextEventOrder();

    QTcpServer *mTcpServer;
    mutable QMutex mMutex;
    quint16 mPort = 0;
    QList<RouteEntry> mRoutes;
    QList<RecordedRequest> mRecords;
    quint64 mNextRecordId = 1;
    quint64 mEventCounter = 0;
};
