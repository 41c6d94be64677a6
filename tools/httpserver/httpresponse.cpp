#include "httpresponse.h"

#include "bytearraybody.h"
#include "filebody.h"
#include "generatedbody.h"

#include <QJsonDocument>
#include <QMimeDatabase>

HttpResponse::HttpResponse(int status)
    : mStatus(status)
{
}

HttpResponse HttpResponse::bytes(const QByteArray &body, const QByteArray &contentType, int status)
{
    HttpResponse response(status);
    if (!contentType.isEmpty())
        response.setHeader("Content-Type", contentType);
    response.setBody(std::make_shared<ByteArrayBody>(body));
    return response;
}

HttpResponse HttpResponse::text(int status, const QByteArray &text)
{
    return bytes(text, "text/plain; charset=utf-8", status);
}

HttpResponse HttpResponse::json(const QJsonDocument &document, int status)
{
    return bytes(document.toJson(QJsonDocument::Compact), "application/json", status);
}

HttpResponse HttpResponse::generated(qint64 size, const QByteArray &contentType)
{
    HttpResponse response(200);
    if (!contentType.isEmpty())
        response.setHeader("Content-Type", contentType);
    response.setBody(std::make_shared<GeneratedBody>(size));
    return response;
}

HttpResponse HttpResponse::file(const QString &path, const QByteArray &contentType)
{
    auto body = std::make_shared<FileBody>(path);
    if (!body->isOpen())
        return notFound();
    HttpResponse response(200);
    QByteArray type = contentType;
    if (type.isEmpty())
        type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toLatin1();
    response.setHeader("Content-Type", type);
    response.setBody(body);
    return response;
}

HttpResponse HttpResponse::redirect(const QByteArray &location, int status)
{
    HttpResponse response = text(status, "moved to " + location + "\n");
    response.setHeader("Location", location);
    return response;
}

HttpResponse HttpResponse::notFound()
{
    return text(404, "not found\n");
}

QByteArray HttpResponse::reasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const Header &header : mHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    for (int i = mHeaders.size() - 1; i >= 0; --i) {
        if (mHeaders.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            mHeaders.removeAt(i);
    }
    mHeaders.append({ name, value });
}

void HttpResponse::addHeader(const QByteArray &name, const QByteArray &value)
{
    mHeaders.append({ name, value });
}

qint64 HttpResponse::bodySize() const
{
    return mBody ? mBody->size() : 0;
}
