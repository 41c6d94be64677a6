#include "httpservercore.h"

#include "connectionthreads.h"
#include "httpconnection.h"
#include "httpexchange.h"
#include "httpserver.h"
#include "socketio.h"

namespace {

constexpr int kIdleTimeoutSeconds = 300;
constexpr int kReadTimeoutSeconds = 60;
constexpr int kWriteTimeoutSeconds = 300;
constexpr size_t kKeepAliveRequests = 10000;
constexpr size_t kMaxRequestBody = 64 * 1024 * 1024;

bool mayHaveBody(int status)
{
    return status >= 200 && status != 204 && status != 304;
}

// Headers the library writes itself from the body it is given.
bool isFramingHeader(const QByteArray &name)
{
    for (const char *framing : { "Content-Length", "Transfer-Encoding", "Connection", "Keep-Alive" }) {
        if (name.compare(framing, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

HttpRequest toHttpRequest(const httplib::Request &request, const httplib::Headers &headers)
{
    QList<HttpRequest::Header> list;
    for (const auto &header : headers)
        list.append({ QByteArray::fromStdString(header.first), QByteArray::fromStdString(header.second) });
    return HttpRequest(QByteArray::fromStdString(request.method), QByteArray::fromStdString(request.target),
                       QByteArray::fromStdString(request.version), list, QByteArray::fromStdString(request.body));
}

} // namespace

HttpServerCore::HttpServerCore(HttpServer &server)
    : mServer(server)
{
    new_task_queue = [] { return new ConnectionThreads; };
    set_socket_options(SocketIo::setListenOptions);
    set_keep_alive_timeout(kIdleTimeoutSeconds);
    set_keep_alive_max_count(kKeepAliveRequests);
    set_read_timeout(kReadTimeoutSeconds);
    set_write_timeout(kWriteTimeoutSeconds);
    set_payload_max_length(kMaxRequestBody);

    // Every path, line breaks included: HttpServer does the routing.
    const std::string everything = "[\\s\\S]*";
    const Handler handler = [this](const httplib::Request &request, httplib::Response &response) {
        answer(request, response);
    };
    Get(everything, handler);
    Post(everything, handler);
    Put(everything, handler);
    Patch(everything, handler);
    Delete(everything, handler);
    Options(everything, handler);
}

HttpServerCore::~HttpServerCore()
{
    close();
}

bool HttpServerCore::start(quint16 port)
{
    const std::string host = "127.0.0.1";
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        mError = QString::fromStdString(SocketIo::lastErrorText());
        return false;
    }
    mPort = quint16(bound);
    mThread = std::thread([this] { listen_after_bind(); });
    return true;
}

void HttpServerCore::dropConnections()
{
    std::lock_guard<std::mutex> locker(mMutex);
    for (HttpConnection *connection : mConnections)
        connection->cut();
}

void HttpServerCore::close()
{
    {
        std::lock_guard<std::mutex> locker(mMutex);
        mClosing = true;
        for (HttpConnection *connection : mConnections)
            connection->cut();
    }
    // What stop() does, but stop() does nothing before the listening
    // thread has begun.
    const socket_t listener = svr_sock_.exchange(INVALID_SOCKET);
    if (listener != INVALID_SOCKET) {
        SocketIo::shutdown(listener);
        SocketIo::close(listener);
    }
    // The listening thread waits for the connections' threads.
    if (mThread.joinable())
        mThread.join();
}

bool HttpServerCore::process_and_close_socket(socket_t socket)
{
    SocketIo::setConnectionOptions(socket);
    HttpConnection connection(socket, kReadTimeoutSeconds * 1000, kWriteTimeoutSeconds * 1000);
    if (enter(&connection)) {
        HttpConnection::setCurrent(&connection);
        const auto prepare = [&connection](httplib::Request &request) { connection.prepare(request); };
        for (size_t served = 0; served < kKeepAliveRequests; ++served) {
            if (connection.isCut() || !connection.stream().waitForRequest(kIdleTimeoutSeconds * 1000))
                break;
            bool closing = false;
            const bool last = served + 1 == kKeepAliveRequests;
            const bool ok = process_request(connection.stream(), last, closing, prepare);
            // What follows an unreadable request cannot be trusted either.
            const bool answered = connection.finishExchange(ok);
            if (!ok || closing || !answered)
                break;
        }
        HttpConnection::setCurrent(nullptr);
    }
    // Off the list before the socket is closed: a cut must never reach a
    // socket that reuses the number.
    leave(&connection);
    SocketIo::shutdown(socket);
    SocketIo::close(socket);
    return true;
}

void HttpServerCore::answer(const httplib::Request &libraryRequest, httplib::Response &libraryResponse)
{
    HttpConnection &connection = *HttpConnection::current();
    const HttpRequest request = toHttpRequest(libraryRequest, connection.sentHeaders(libraryRequest));
    if (!request.isValid()) {
        // Without an exchange the connection ends after this answer.
        libraryResponse.status = 400;
        libraryResponse.set_content("malformed request target\n", "text/plain");
        return;
    }

    const HttpAnswer answer = mServer.dispatch(request);
    const HttpResponse &response = answer.response;
    auto exchange = std::make_shared<HttpExchange>(mServer, answer, connection);
    connection.setExchange(exchange);

    libraryResponse.status = response.status();
    const bool hasBody = mayHaveBody(response.status()) && answer.bodyLength > 0;
    QByteArray contentType = "application/octet-stream";
    for (const HttpResponse::Header &header : response.headers()) {
        if (isFramingHeader(header.first))
            continue;
        // The library writes the type of a body it streams.
        if (hasBody && header.first.compare("Content-Type", Qt::CaseInsensitive) == 0) {
            contentType = header.second;
            continue;
        }
        libraryResponse.set_header(header.first.toStdString(), header.second.toStdString());
    }
    if (!hasBody || request.method() == "HEAD")
        exchange->sendsNoBody();
    if (hasBody) {
        libraryResponse.set_content_provider(size_t(answer.bodyLength), contentType.toStdString(),
                                             [exchange](size_t, size_t, httplib::DataSink &sink) {
                                                 return exchange->sendPiece(sink);
                                             });
    }
}

bool HttpServerCore::enter(HttpConnection *connection)
{
    std::lock_guard<std::mutex> locker(mMutex);
    if (mClosing)
        return false;
    mConnections.insert(connection);
    return true;
}

void HttpServerCore::leave(HttpConnection *connection)
{
    std::lock_guard<std::mutex> locker(mMutex);
    mConnections.erase(connection);
}
