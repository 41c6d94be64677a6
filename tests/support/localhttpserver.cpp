#include "localhttpserver.h"

LocalHttpServer::LocalHttpServer()
    : mServer(new HttpServer)
{
    mThread.setObjectName(QStringLiteral("http server"));
    mServer->moveToThread(&mThread);
}

LocalHttpServer::~LocalHttpServer()
{
    if (mThread.isRunning()) {
        // The server and its sockets must die in their own thread.
        HttpServer *server = mServer;
        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        mThread.quit();
        mThread.wait();
    } else {
        delete mServer;
    }
}

bool LocalHttpServer::start()
{
    mThread.start();
    bool listening = false;
    HttpServer *server = mServer;
    QMetaObject::invokeMethod(server, [server, &listening] { listening = server->listen(); },
                              Qt::BlockingQueuedConnection);
    return listening;
}

void LocalHttpServer::dropConnections()
{
    HttpServer *server = mServer;
    QMetaObject::invokeMethod(server, [server] { server->dropConnections(); }, Qt::BlockingQueuedConnection);
}
