#include "httproute.h"

#include <QDir>
#include <QFileInfo>

HttpRoute::HttpRoute(const QString &path, bool prefix, Handler handler)
    : mPath(path)
    , mPrefix(prefix)
    , mHandler(std::move(handler))
{
}

HttpRoute HttpRoute::exact(const QString &path, Handler handler)
{
    return HttpRoute(path, false, std::move(handler));
}

HttpRoute HttpRoute::prefix(const QString &prefix, Handler handler)
{
    return HttpRoute(prefix, true, std::move(handler));
}

HttpRoute HttpRoute::bytes(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    return exact(path, [body, contentType](const HttpRequest &) { return HttpResponse::bytes(body, contentType); });
}

HttpRoute HttpRoute::generated(const QString &path, qint64 size, const QByteArray &contentType)
{
    return exact(path, [size, contentType](const HttpRequest &) { return HttpResponse::generated(size, contentType); });
}

HttpRoute HttpRoute::file(const QString &path, const QString &filePath, const QByteArray &contentType)
{
    return exact(path, [filePath, contentType](const HttpRequest &) {
        return HttpResponse::file(filePath, contentType);
    });
}

HttpRoute HttpRoute::status(const QString &path, int status, const QByteArray &location)
{
    return exact(path, [status, location](const HttpRequest &) {
        if (!location.isEmpty())
            return HttpResponse::redirect(location, status);
        return HttpResponse::text(status, HttpResponse::reasonPhrase(status) + '\n');
    });
}

HttpRoute HttpRoute::directory(const QString &prefix, const QString &rootDir)
{
    const QString root = QDir(rootDir).canonicalPath();
    return HttpRoute::prefix(prefix, [prefix, root](const HttpRequest &request) {
        if (root.isEmpty())
            return HttpResponse::notFound();
        const QStringList parts = request.path().mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString &part : parts) {
            if (part == QLatin1String("..") || part == QLatin1String("."))
                return HttpResponse::notFound();
        }
        const QFileInfo info(QDir(root).filePath(parts.join(QLatin1Char('/'))));
        const QString canonical = info.canonicalFilePath();
        if (!info.isFile() || !canonical.startsWith(root + QLatin1Char('/')))
            return HttpResponse::notFound();
        return HttpResponse::file(canonical);
    });
}

HttpRoute &HttpRoute::setFaults(const HttpFaults &faults, int faultyRequests)
{
    mFaults = faults;
    mFaultyRequests = faultyRequests;
    return *this;
}

HttpRoute &HttpRoute::addCookie(const QByteArray &setCookie)
{
    mCookies.append(setCookie);
    return *this;
}

HttpRoute &HttpRoute::setContentType(const QByteArray &contentType)
{
    mContentType = contentType;
    return *this;
}

HttpRoute &HttpRoute::addHeader(const QByteArray &name, const QByteArray &value)
{
    mExtraHeaders.append({ name, value });
    return *this;
}

HttpRoute &HttpRoute::setRecorded(bool recorded)
{
    mRecorded = recorded;
    return *this;
}

HttpRoute &HttpRoute::setAcceptsRanges(bool accepts)
{
    mAcceptsRanges = accepts;
    return *this;
}

bool HttpRoute::matches(const QString &requestPath) const
{
    return mPrefix ? requestPath.startsWith(mPath) : requestPath == mPath;
}

HttpResponse HttpRoute::respond(const HttpRequest &request, int requestIndex, HttpFaults *faults) const
{
    const bool faulty = !mFaults.isEmpty() && (mFaultyRequests < 0 || requestIndex < mFaultyRequests);
    *faults = faulty ? mFaults : HttpFaults();

    HttpResponse response;
    if (faulty && mFaults.status > 0)
        response = HttpResponse::text(mFaults.status, "fault injected\n");
    else if (mHandler)
        response = mHandler(request);
    else
        response = HttpResponse::notFound();
    if (!faulty && !response.transportFaults().isEmpty())
        *faults = response.transportFaults();

    if (!mContentType.isEmpty())
        response.setHeader("Content-Type", mContentType);
    for (const HttpResponse::Header &header : mExtraHeaders)
        response.addHeader(header.first, header.second);
    for (const QByteArray &cookie : mCookies)
        response.addHeader("Set-Cookie", cookie);
    return response;
}
