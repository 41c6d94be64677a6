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

    HttpRequest() = default;
    HttpRequest(const QByteArray &method, const QByteArray &target, const QByteArray &version,
                const QList<Header> &headers, const QByteArray &body = QByteArray());

    // False when the target is not a path (with an optional query).
    bool isValid() const { return !mPath.isNull(); }

    QByteArray method() const { return mMethod; }
    // The request target as sent, e.g. "/files/a.bin?x=1".
    QByteArray target() const { return mTarget; }
    QByteArray version() const { return mVersion; }
    QByteArray requestLine() const;
    // Decoded path of the target, e.g. "/files/a b.bin".
    QString path() const { return mPath; }
    QUrlQuery query() const { return mQuery; }

    // Headers sorted by name (repeated ones in arrival order), names as sent.
    QList<Header> headers() const { return mHeaders; }
    // Value of the first header with this name (letter case ignored), or a
    // null array.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    // Cookies of the "Cookie" headers, in order.
    QList<Header> cookies() const;
    QByteArray cookie(const QByteArray &name) const;

    // The body as sent (form data included, not taken apart).
    QByteArray body() const { return mBody; }

private:
    QByteArray mMethod;
    QByteArray mTarget;
    QByteArray mVersion;
    QString mPath;
    QUrlQuery mQuery;
    QList<Header> mHeaders;
    QByteArray mBody;
};
