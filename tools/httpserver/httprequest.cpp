#include "httprequest.h"

#include <QUrl>

bool HttpRequest::parseHead(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.isEmpty())
        return false;

    const QList<QByteArray> parts = lines.first().trimmed().split(' ');
    if (parts.size() != 3 || parts.at(0).isEmpty() || !parts.at(1).startsWith('/')
        || !parts.at(2).startsWith("HTTP/1.")) {
        return false;
    }
    mMethod = parts.at(0);
    mTarget = parts.at(1);
    mVersion = parts.at(2);

    const QUrl url = QUrl::fromEncoded(mTarget, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    mPath = url.path(QUrl::FullyDecoded);
    mQuery = QUrlQuery(url);

    mHeaders.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        mHeaders.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    return true;
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

qint64 HttpRequest::contentLength() const
{
    const QByteArray value = header("Content-Length");
    if (value.isNull())
        return 0;
    bool ok = false;
    const qint64 length = value.toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

bool HttpRequest::wantsKeepAlive() const
{
    const QByteArray connection = header("Connection").toLower();
    if (mVersion == "HTTP/1.0")
        return connection.contains("keep-alive");
    return !connection.contains("close");
}
