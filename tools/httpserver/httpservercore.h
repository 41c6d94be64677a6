#pragma once

#include <httplib.h>

#include <QString>

#include <mutex>
#include <set>
#include <thread>

class HttpConnection;
class HttpServer;

// The library's server under HttpServer: it parses requests and writes
// answers, while this class keeps the accepted sockets, so that they can be
// cut on demand, and hands every request to HttpServer. It listens on
// 127.0.0.1 in a thread of its own and serves each connection in another.
class HttpServerCore : public httplib::Server
{
public:
    explicit HttpServerCore(HttpServer &server);
    ~HttpServerCore() override;

    // Port 0 takes a free port.
    bool start(quint16 port);
    quint16 port() const { return mPort; }
    QString errorString() const { return mError; }

    // Cuts every open connection; the server goes on listening.
    void dropConnections();
    // Stops listening, cuts every connection and waits for their threads.
    void close();

private:
    // The library's hook for one accepted socket, here with a stream and a
    // keep-alive loop of our own, so that the socket is known while it is
    // open.
    bool process_and_close_socket(socket_t socket) override;
    void answer(const httplib::Request &request, httplib::Response &response);
    bool enter(HttpConnection *connection);
    void leave(HttpConnection *connection);

    HttpServer &mServer;
    quint16 mPort = 0;
    QString mError;
    std::thread mThread;
    std::mutex mMutex;
    std::set<HttpConnection *> mConnections;
    bool mClosing = false;
};
