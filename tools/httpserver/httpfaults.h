#pragma once

#include <QJsonObject>
#include <QtGlobal>

// Misbehaviour a route can be told to show, on top of its normal answer.
// Negative or zero values switch a fault off.
struct HttpFaults
{
    // Answer with this status (and a short text body) instead of the
    // route's own answer.
    int status = 0;
    // Send stallAfterBytes bytes of the body, then nothing for stallMs
    // milliseconds (-1: until the client gives up), then the rest.
    qint64 stallAfterBytes = -1;
    int stallMs = -1;
    // Close the connection once this many body bytes are sent.
    qint64 closeAfterBytes = -1;
    // Send the body trickleBytes at a time, one piece every trickleMs.
    int trickleBytes = 0;
    int trickleMs = 0;
    // Answer a range request with 206 and a Content-Range that names the
    // whole body, while sending only the bytes asked for (for clients that
    // must check where a resumed answer starts).
    bool wrongContentRange = false;
    // Send the body no faster than this many bytes per second, evenly (a
    // slow line rather than a stalling one).
    qint64 bytesPerSecond = 0;

    // One fault each.
    static HttpFaults answerStatus(int status);
    static HttpFaults stallAfter(qint64 bytes, int milliseconds = -1);
    static HttpFaults closeAfter(qint64 bytes);
    static HttpFaults trickle(int bytes, int milliseconds);
    static HttpFaults wrongRange();
    static HttpFaults rateLimit(qint64 bytesPerSecond);

    bool isEmpty() const;
    bool stalls() const { return stallAfterBytes >= 0; }
    bool closes() const { return closeAfterBytes >= 0; }
    bool trickles() const { return trickleBytes > 0; }
    bool limitsRate() const { return bytesPerSecond > 0; }

    // Keys: "status", "stallAfterBytes", "stallMs", "closeAfterBytes",
    // "trickleBytes", "trickleMs", "wrongContentRange", "bytesPerSecond".
    static HttpFaults fromJson(const QJsonObject &object);
};
