#include "httprequest.h"

#include <QUrl>

HttpRequest::HttpRequest(const QByteArray &method, const QByteArray &target, const QByteArray &version,
                         const QList<Header> &headers, const QByteArray &body)
    : mMethod(method)
    , mTarget(target)
    , mVersion(version)
    , mHeaders(headers)
    , mBody(body)
{
    const QUrl url = QUrl::fromEncoded(mTarget, QUrl::StrictMode);
    if (mTarget.startsWith('/') && url.isValid()) {
        mPath = url.path(QUrl::FullyDecoded);
        mQuery = QUrlQuery(url);
    }
}

QByteArray HttpRequest::requestLine() const
{
    return mMethod + ' ' + mTarget + ' ' + mVersion;
}

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const Header &header : mHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

bool HttpRequest::hasHeader(const QByteArray &name) const
{
    return !header(name).isNull();
}

QList<HttpRequest::Header> HttpRequest::cookies() const
{
    QList<Header> result;
    for (const Header &header : mHeaders) {
        if (header.first.compare("Cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &pair : header.second.split(';')) {
            const QByteArray item = pair.trimmed();
            if (item.isEmpty())
                continue;
            const int equals = item.indexOf('=');
            if (equals < 0)
                result.append({ item, QByteArray("") });
            else
                result.append({ item.left(equals), item.mid(equals + 1) });
        }
    }
    return result;
}

QByteArray HttpRequest::cookie(const QByteArray &name) const
{
    for (const Header &cookie : cookies()) {
        if (cookie.first == name)
            return cookie.second;
    }
    return QByteArray();
}
