#pragma once

#include "httpanswer.h"

#include <httplib.h>

#include <QByteArray>
#include <QElapsedTimer>

class HttpConnection;
class HttpServer;

// One answer on its way to the client: hands the body to the library piece
// by piece, applies the transport faults (stall, cut, trickle) as it goes,
// and keeps the request's record up to date.
class HttpExchange
{
public:
    HttpExchange(HttpServer &server, const HttpAnswer &answer, HttpConnection &connection);

    // The library's content provider: sends the next piece, or waits as a
    // fault says. False ends the answer early and with it the connection.
    bool sendPiece(httplib::DataSink &sink);
    // Nothing of the body will be sent (HEAD, 204): the answer is complete
    // once its head is out.
    void sendsNoBody();
    // The library is done with the request; ok when it reported success,
    // cut when the server ended the connection.
    void finish(bool ok, bool cut);

private:
    // Waits milliseconds (negative: until the connection ends); false when
    // the connection ended meanwhile.
    bool pause(int milliseconds);
    // Puts the bytes sent so far, and whether that is all, in the record.
    void record(qint64 sent, bool completed);

    HttpServer &mServer;
    HttpAnswer mAnswer;
    HttpConnection &mConnection;
    QByteArray mChunk;
    // Since the first piece, for the rate limit.
    QElapsedTimer mClock;
    qint64 mSent = 0;
    bool mStallDone = false;
    bool mBodiless = false;
    bool mCompleted = false;
    bool mServerClosed = false;
    quint64 mFinishedOrder = 0;
};
