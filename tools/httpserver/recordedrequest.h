#pragma once

#include "httprequest.h"

#include <QJsonObject>

// What the server saw of one request and how its answer went, for tests to
// read back.
struct RecordedRequest
{
    quint64 id = 0;
    HttpRequest request;
    int status = 0;
    qint64 bodyBytesSent = 0;
    // All of the answer was handed to the connection.
    bool completed = false;
    // The client went away before the answer was complete.
    bool clientClosed = false;
    // The server cut the connection on purpose (closeAfterBytes).
    bool serverClosed = false;
    // Positions on the server's one event counter, which counts arrivals of
    // requests and completions of answers: they order transfers without a
    // clock.
    quint64 receivedOrder = 0;
    quint64 finishedOrder = 0;

    QJsonObject toJson() const;
};
