#pragma once

#include "httpserver.h"

#include <QThread>
#include <QUrl>

// An HttpServer running in a thread of the test, so that it keeps answering
// while the test's own thread waits or blocks. Routes and the request log
// can be used from the test's thread at any time.
class LocalHttpServer
{
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    // Starts the thread and listens on a free port of 127.0.0.1.
    bool start();
    HttpServer &server() { return *mServer; }
    quint16 port() const { return mServer->port(); }
    QUrl url(const QString &path) const { return mServer->url(path); }
    // Cuts every open connection, in the server's thread.
    void dropConnections();

private:
    QThread mThread;
    HttpServer *mServer;
};
