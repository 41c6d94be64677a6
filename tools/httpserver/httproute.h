#pragma once

#include "httpfaults.h"
#include "httprequest.h"
#include "httpresponse.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// What the server does for one path or path prefix: a handler that turns the
// request into an answer, plus the switches that make the answer misbehave.
class HttpRoute
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest &request)>;

    HttpRoute() = default;

    static HttpRoute exact(const QString &path, Handler handler);
    // Matches every path that starts with prefix (plain text comparison, so
    // give "/files/" rather than "/files").
    static HttpRoute prefix(const QString &prefix, Handler handler);

    static HttpRoute bytes(const QString &path, const QByteArray &body,
                           const QByteArray &contentType = "application/octet-stream");
    static HttpRoute generated(const QString &path, qint64 size,
                               const QByteArray &contentType = "application/octet-stream");
    static HttpRoute file(const QString &path, const QString &filePath, const QByteArray &contentType = QByteArray());
    // An answer with this status; a redirect when location is given.
    static HttpRoute status(const QString &path, int status, const QByteArray &location = QByteArray());
    // Files below rootDir, addressed by the rest of the path after prefix.
    // Names that climb out of rootDir ("..", links) are not found.
    static HttpRoute directory(const QString &prefix, const QString &rootDir);

    // The faults hit the first faultyRequests requests of this route and the
    // later ones get the normal answer; -1 makes every request faulty.
    HttpRoute &setFaults(const HttpFaults &faults, int faultyRequests = -1);
    // One Set-Cookie header value sent with every answer of this route.
    HttpRoute &addCookie(const QByteArray &setCookie);
    // Replaces the Content-Type of the handler's answer (for wrong types).
    HttpRoute &setContentType(const QByteArray &contentType);
    HttpRoute &addHeader(const QByteArray &name, const QByteArray &value);
    // Requests of unrecorded routes do not appear in the request log.
    HttpRoute &setRecorded(bool recorded);
    // With false, "Range" headers are ignored and the whole body comes with
    // 200, like from a server without range support.
    HttpRoute &setAcceptsRanges(bool accepts);

    QString path() const { return mPath; }
    bool isPrefix() const { return mPrefix; }
    bool isRecorded() const { return mRecorded; }
    bool acceptsRanges() const { return mAcceptsRanges; }
    bool matches(const QString &requestPath) const;

    // The answer to the request that is the requestIndex-th (from 0) this
    // route has seen; faults receives the transport faults to apply while
    // sending it.
    HttpResponse respond(const HttpRequest &request, int requestIndex, HttpFaults *faults) const;

private:
    HttpRoute(const QString &path, bool prefix, Handler handler);

    QString mPath;
    bool mPrefix = false;
    bool mRecorded = true;
    bool mAcceptsRanges = true;
    Handler mHandler;
    HttpFaults mFaults;
    int mFaultyRequests = -1;
    QList<QByteArray> mCookies;
    QByteArray mContentType;
    QList<HttpResponse::Header> mExtraHeaders;
};
