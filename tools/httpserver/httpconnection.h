#pragma once

#include "httpfaults.h"
#include "httprequest.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class HttpBody;
class HttpServer;
class QTcpSocket;
class QTimer;

// One client connection of HttpServer: reads requests one after the other
// (keep-alive and pipelining), and streams each answer with back-pressure
// (never more than a little over a megabyte waits in the socket), applying the
// route's faults while it sends.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, HttpServer *server);
    ~HttpConnection() override;

private:
    void readRequestData();
    void processInput();
    void startResponse(const HttpRequest &request);
    void refuseRequest(int status, const QByteArray &text);
    void sendBody();
    void pause(int milliseconds);
    void resume();
    void finishResponse();
    void cutConnection();
    void handleDisconnect();

    QTcpSocket *mSocket;
    HttpServer *mServer;
    QTimer *mTimer;
    QByteArray mInput;
    QByteArray mChunk;
    bool mResponding = false;
    bool mCloseAfterResponse = false;
    bool mContinueSent = false;
    bool mClosing = false;

    // The answer being sent.
    std::shared_ptr<HttpBody> mBody;
    qint64 mBodySize = 0;
    qint64 mSent = 0;
    HttpFaults mFaults;
    bool mStallDone = false;
    bool mPaused = false;
    quint64 mRecordId = 0;
    bool mRecorded = false;
};
