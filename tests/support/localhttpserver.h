#pragma once

#include "httpserver.h"

#include <QUrl>

// An HttpServer for one test: it answers from threads of its own, so it
// keeps answering while the test's thread waits or blocks. Routes and the
// request log can be used from the test's thread at any time.
class LocalHttpServer
{
public:
    LocalHttpServer() = default;
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    // Listens on a free port of 127.0.0.1.
    bool start() { return mServer.listen(); }
    HttpServer &server() { return mServer; }
    quint16 port() const { return mServer.port(); }
    QUrl url(const QString &path) const { return mServer.url(path); }
    // Cuts every open connection.
    void dropConnections() { mServer.dropConnections(); }

private:
    HttpServer mServer;
};
