#include "httpconnection.h"

#include "httpbody.h"
#include "httpserver.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr int kMaxHeadSize = 64 * 1024;
constexpr qint64 kMaxRequestBody = 64 * 1024 * 1024;
constexpr qint64 kChunkSize = 256 * 1024;
// Refill the socket while less than this waits to be sent.
constexpr qint64 kHighWater = 1024 * 1024;
} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, HttpServer *server)
    : QObject(server)
    , mSocket(socket)
    , mServer(server)
    , mTimer(new QTimer(this))
{
    mSocket->setParent(this);
    mTimer->setSingleShot(true);
    connect(mTimer, &QTimer::timeout, this, &HttpConnection::resume);
    connect(mSocket, &QTcpSocket::readyRead, this, &HttpConnection::readRequestData);
    connect(mSocket, &QTcpSocket::bytesWritten, this, &HttpConnection::sendBody);
    connect(mSocket, &QTcpSocket::disconnected, this, &HttpConnection::handleDisconnect);
    if (mSocket->bytesAvailable() > 0)
        readRequestData();
}

HttpConnection::~HttpConnection()
{
    // Shutting the server down counts as the server closing the connection.
    if (mResponding && mRecorded) {
        const qint64 sent = mSent;
        mServer->updateRecord(mRecordId, [sent](RecordedRequest &record) {
            record.bodyBytesSent = sent;
            record.serverClosed = true;
        });
    }
    disconnect(mSocket, nullptr, this, nullptr);
}

void HttpConnection::readRequestData()
{
    mInput += mSocket->readAll();
    processInput();
}

void HttpConnection::processInput()
{
    while (!mResponding && !mClosing) {
        const int headEnd = mInput.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (mInput.size() > kMaxHeadSize)
                refuseRequest(431, "request head too large\n");
            return;
        }
        HttpRequest request;
        if (!request.parseHead(mInput.left(headEnd))) {
            refuseRequest(400, "malformed request\n");
            return;
        }
        if (request.hasHeader("Transfer-Encoding")) {
            refuseRequest(501, "request bodies need a Content-Length\n");
            return;
        }
        const qint64 length = request.contentLength();
        if (length < 0) {
            refuseRequest(400, "bad Content-Length\n");
            return;
        }
        if (length > kMaxRequestBody) {
            refuseRequest(413, "request body too large\n");
            return;
        }
        const qint64 total = headEnd + 4 + length;
        if (mInput.size() < total) {
            if (!mContinueSent && request.header("Expect").toLower() == "100-continue") {
                mSocket->write("HTTP/1.1 100 Continue\r\n\r\n");
                mContinueSent = true;
            }
            return;
        }
        request.setBody(mInput.mid(headEnd + 4, int(length)));
        mInput.remove(0, int(total));
        mContinueSent = false;
        startResponse(request);
    }
}

void HttpConnection::startResponse(const HttpRequest &request)
{
    mResponding = true;
    HttpServer::Dispatch dispatch = mServer->dispatch(request);
    const HttpResponse &response = dispatch.response;
    mRecordId = dispatch.recordId;
    mRecorded = dispatch.recorded;

    const int status = response.status();
    const bool bodyAllowed = status >= 200 && status != 204 && status != 304;
    const bool sendsBody = bodyAllowed && request.method() != "HEAD" && response.body();
    const qint64 size = response.bodySize();
    mCloseAfterResponse = !request.wantsKeepAlive() || (sendsBody && size < 0);

    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + HttpResponse::reasonPhrase(status) + "\r\n";
    for (const HttpResponse::Header &header : response.headers()) {
        if (header.first.compare("Content-Length", Qt::CaseInsensitive) == 0
            || header.first.compare("Connection", Qt::CaseInsensitive) == 0) {
            continue;
        }
        head += header.first + ": " + header.second + "\r\n";
    }
    if (bodyAllowed && size >= 0)
        head += "Content-Length: " + QByteArray::number(size) + "\r\n";
    head += mCloseAfterResponse ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    mSocket->write(head);

    if (!sendsBody) {
        finishResponse();
        return;
    }
    mBody = response.body();
    mBodySize = size;
    mSent = 0;
    mFaults = dispatch.faults;
    mStallDone = false;
    mPaused = false;
    sendBody();
}

void HttpConnection::refuseRequest(int status, const QByteArray &text)
{
    mClosing = true;
    mSocket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + HttpResponse::reasonPhrase(status)
                   + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(text.size())
                   + "\r\nConnection: close\r\n\r\n" + text);
    mSocket->disconnectFromHost();
}

void HttpConnection::sendBody()
{
    if (!mBody || mPaused || mClosing)
        return;
    while (mSocket->bytesToWrite() < kHighWater) {
        qint64 limit = kChunkSize;
        if (mBodySize >= 0) {
            limit = qMin(limit, mBodySize - mSent);
            if (limit <= 0) {
                finishResponse();
                return;
            }
        }
        if (mFaults.closes()) {
            if (mSent >= mFaults.closeAfterBytes) {
                cutConnection();
                return;
            }
            limit = qMin(limit, mFaults.closeAfterBytes - mSent);
        }
        if (mFaults.stalls() && !mStallDone) {
            if (mSent >= mFaults.stallAfterBytes) {
                mStallDone = true;
                pause(mFaults.stallMs);
                return;
            }
            limit = qMin(limit, mFaults.stallAfterBytes - mSent);
        }
        if (mFaults.trickles())
            limit = qMin<qint64>(limit, mFaults.trickleBytes);

        if (mChunk.size() < limit)
            mChunk.resize(int(limit));
        const qint64 count = mBody->read(mChunk.data(), limit);
        if (count <= 0) {
            // A body of unknown size ends here; one that falls short of its
            // announced size can only end with the connection.
            if (count == 0 && mBodySize < 0)
                finishResponse();
            else
                cutConnection();
            return;
        }
        mSocket->write(mChunk.constData(), count);
        mSent += count;
        if (mFaults.trickles()) {
            pause(mFaults.trickleMs);
            return;
        }
    }
}

void HttpConnection::pause(int milliseconds)
{
    mPaused = true;
    if (mRecorded) {
        const qint64 sent = mSent;
        mServer->updateRecord(mRecordId, [sent](RecordedRequest &record) { record.bodyBytesSent = sent; });
    }
    if (milliseconds >= 0)
        mTimer->start(milliseconds);
}

void HttpConnection::resume()
{
    mPaused = false;
    sendBody();
}

void HttpConnection::finishResponse()
{
    if (mRecorded) {
        const qint64 sent = mSent;
        const quint64 order = mServer->nextEventOrder();
        mServer->updateRecord(mRecordId, [sent, order](RecordedRequest &record) {
            record.bodyBytesSent = sent;
            record.completed = true;
            record.finishedOrder = order;
        });
    }
    mBody.reset();
    mResponding = false;
    mRecorded = false;
    mSent = 0;
    if (mCloseAfterResponse) {
        mClosing = true;
        mSocket->disconnectFromHost();
        return;
    }
    // The next pipelined request, once this call has unwound.
    if (!mInput.isEmpty())
        QMetaObject::invokeMethod(this, &HttpConnection::processInput, Qt::QueuedConnection);
}

void HttpConnection::cutConnection()
{
    if (mRecorded) {
        const qint64 sent = mSent;
        mServer->updateRecord(mRecordId, [sent](RecordedRequest &record) {
            record.bodyBytesSent = sent;
            record.serverClosed = true;
        });
    }
    mBody.reset();
    mResponding = false;
    mRecorded = false;
    mClosing = true;
    mSocket->disconnectFromHost();
}

void HttpConnection::handleDisconnect()
{
    if (mResponding && mRecorded) {
        const qint64 sent = mSent;
        mServer->updateRecord(mRecordId, [sent](RecordedRequest &record) {
            record.bodyBytesSent = sent;
            record.clientClosed = true;
        });
    }
    mBody.reset();
    mResponding = false;
    mRecorded = false;
    mTimer->stop();
    deleteLater();
}
