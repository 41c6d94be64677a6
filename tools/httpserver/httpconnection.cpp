#include "httpconnection.h"

#include "httpexchange.h"
#include "socketio.h"

#include <QByteArray>

namespace {

thread_local HttpConnection *tCurrent = nullptr;

const char *const kMultipart = "multipart/form-data";

} // namespace

HttpConnection::HttpConnection(socket_t socket, int readTimeoutMs, int writeTimeoutMs)
    : mSocket(socket)
    , mStream(socket, readTimeoutMs, writeTimeoutMs)
{
}

HttpConnection *HttpConnection::current()
{
    return tCurrent;
}

void HttpConnection::setCurrent(HttpConnection *connection)
{
    tCurrent = connection;
}

void HttpConnection::cut()
{
    mCut = true;
    SocketIo::shutdown(mSocket);
}

void HttpConnection::prepare(httplib::Request &request)
{
    // Ranges are answered by HttpServer: the library would apply them a
    // second time, without checking them against the body's size.
    request.ranges.clear();
    for (const char *name : { "REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT" })
        request.headers.erase(name);

    // The library takes form data apart and drops the body as sent; without
    // the type it keeps the body whole.
    mHiddenContentType.clear();
    const auto type = request.headers.find("Content-Type");
    if (type != request.headers.end() && QByteArray::fromStdString(type->second).toLower().startsWith(kMultipart)) {
        mHiddenContentType = type->second;
        request.headers.erase(type);
    }
}

httplib::Headers HttpConnection::sentHeaders(const httplib::Request &request) const
{
    httplib::Headers headers = request.headers;
    if (!mHiddenContentType.empty())
        headers.emplace("Content-Type", mHiddenContentType);
    return headers;
}

bool HttpConnection::finishExchange(bool ok)
{
    if (!mExchange)
        return false;
    mExchange->finish(ok, mCut);
    mExchange.reset();
    return true;
}
