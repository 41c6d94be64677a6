#pragma once

#include "socketstream.h"

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>

class HttpExchange;

// One accepted socket of the server: its stream, the answer being sent, and
// the switch that cuts it from another thread.
class HttpConnection
{
public:
    HttpConnection(socket_t socket, int readTimeoutMs, int writeTimeoutMs);

    // The connection served by the calling thread (one thread each).
    static HttpConnection *current();
    static void setCurrent(HttpConnection *connection);

    SocketStream &stream() { return mStream; }

    // Shuts the socket down, waking the thread that serves it; from any
    // thread.
    void cut();
    bool isCut() const { return mCut; }

    // Adjusts a request the library has read, before the library routes it.
    void prepare(httplib::Request &request);
    // Headers as the client sent them, without the library's additions.
    httplib::Headers sentHeaders(const httplib::Request &request) const;

    void setExchange(std::shared_ptr<HttpExchange> exchange) { mExchange = std::move(exchange); }
    // The library is done with the request; ok when it reported success.
    // False when the library answered it on its own, which it does only for
    // requests it could not read.
    bool finishExchange(bool ok);

private:
    socket_t mSocket;
    SocketStream mStream;
    std::atomic<bool> mCut { false };
    std::shared_ptr<HttpExchange> mExchange;
    std::string mHiddenContentType;
};
