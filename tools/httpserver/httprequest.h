#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

// One request as the server received it.
class HttpRequest
{
public:
    using Header = QPair<QByteArray, QByteArray>;

    // Parses the request line and header lines (everything before the empty
    // line, without it). False on malformed input.
    bool parseHead(const QByteArray &head);

    QByteArray method() const { return mMethod; }
    // The request target as sent, e.g. "/files/a.bin?x=1".
    QByteArray target() const { return mTarget; }
    QByteArray version() const { return mVersion; }
    QByteArray requestLine() const;
    // Decoded path of the target, e.g. "/files/a b.bin".
    QString path() const { return mPath; }
    QUrlQuery query() const { return mQuery; }

    // Headers in arrival order, names as sent.
    QList<Header> headers() const { return mHeaders; }
    // Value of the first header with this name (letter case ignored), or a
    // null array.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    // Cookies of the "Cookie" headers, in order.
    QList<Header> cookies() const;
    QByteArray cookie(const QByteArray &name) const;

    // Declared body length; 0 without a Content-Length header, -1 when the
    // header is not a number.
    qint64 contentLength() const;
    bool wantsKeepAlive() const;

    QByteArray body() const { return mBody; }
    void setBody(const QByteArray &body) { mBody = body; }

private:
    QByteArray mMethod;
    QByteArray mTarget;
    QByteArray mVersion;
    QString mPath;
    QUrlQuery mQuery;
    QList<Header> mHeaders;
    QByteArray mBody;
};
