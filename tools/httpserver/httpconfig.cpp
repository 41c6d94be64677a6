#include "httpconfig.h"

#include "httpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HttpConfig {

namespace {

bool routeFromJson(const QJsonObject &object, const QDir &baseDir, HttpRoute *route, QString *error)
{
    const bool isPrefix = object.contains(QStringLiteral("prefix"));
    const QString path = object.value(isPrefix ? QStringLiteral("prefix") : QStringLiteral("path")).toString();
    if (!path.startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("a route needs a \"path\" or \"prefix\" starting with /");
        return false;
    }
    const int status = object.value(QStringLiteral("status")).toInt(200);
    const QByteArray contentType = object.value(QStringLiteral("contentType")).toString().toLatin1();

    HttpRoute::Handler handler;
    if (object.contains(QStringLiteral("generate"))) {
        const qint64 size = qint64(object.value(QStringLiteral("generate")).toDouble(-1));
        if (size < 0) {
            *error = QStringLiteral("\"generate\" of %1 is not a size").arg(path);
            return false;
        }
        handler = [size, status](const HttpRequest &) {
            HttpResponse response = HttpResponse::generated(size);
            response.setStatus(status);
            return response;
        };
    } else if (object.contains(QStringLiteral("body"))) {
        const QByteArray body = object.value(QStringLiteral("body")).toString().toUtf8();
        handler = [body, status](const HttpRequest &) { return HttpResponse::bytes(body, "text/plain", status); };
    } else if (object.contains(QStringLiteral("file"))) {
        const QString file = baseDir.absoluteFilePath(object.value(QStringLiteral("file")).toString());
        handler = [file](const HttpRequest &) { return HttpResponse::file(file); };
    } else if (object.contains(QStringLiteral("root"))) {
        if (!isPrefix) {
            *error = QStringLiteral("\"root\" needs a \"prefix\" (%1)").arg(path);
            return false;
        }
        const QString root = baseDir.absoluteFilePath(object.value(QStringLiteral("root")).toString());
        if (!QFileInfo(root).isDir()) {
            *error = QStringLiteral("no folder %1").arg(root);
            return false;
        }
        *route = HttpRoute::directory(path, root);
    } else if (object.contains(QStringLiteral("status"))) {
        const QByteArray location = object.value(QStringLiteral("location")).toString().toUtf8();
        handler = [status, location](const HttpRequest &) {
            if (!location.isEmpty())
                return HttpResponse::redirect(location, status);
            return HttpResponse::text(status, HttpResponse::reasonPhrase(status) + '\n');
        };
    } else {
        *error = QStringLiteral("route %1 has no answer").arg(path);
        return false;
    }
    if (handler)
        *route = isPrefix ? HttpRoute::prefix(path, handler) : HttpRoute::exact(path, handler);

    if (!contentType.isEmpty())
        route->setContentType(contentType);
    const QJsonObject headers = object.value(QStringLiteral("headers")).toObject();
    for (auto it = headers.begin(); it != headers.end(); ++it)
        route->addHeader(it.key().toLatin1(), it.value().toString().toLatin1());
    for (const QJsonValue &cookie : object.value(QStringLiteral("setCookies")).toArray())
        route->addCookie(cookie.toString().toLatin1());
    route->setAcceptsRanges(object.value(QStringLiteral("acceptRanges")).toBool(true));
    if (object.contains(QStringLiteral("fault"))) {
        route->setFaults(HttpFaults::fromJson(object.value(QStringLiteral("fault")).toObject()),
                         object.value(QStringLiteral("faultyRequests")).toInt(-1));
    }
    return true;
}

} // namespace

bool apply(HttpServer &server, const QJsonDocument &document, const QString &baseDir, QString *error)
{
    if (!document.isObject() || !document.object().value(QStringLiteral("routes")).isArray()) {
        *error = QStringLiteral("the configuration needs an object with a \"routes\" array");
        return false;
    }
    QList<HttpRoute> routes;
    for (const QJsonValue &value : document.object().value(QStringLiteral("routes")).toArray()) {
        HttpRoute route;
        if (!routeFromJson(value.toObject(), QDir(baseDir), &route, error))
            return false;
        routes.append(route);
    }
    for (const HttpRoute &route : routes)
        server.addRoute(route);
    return true;
}

bool applyFile(HttpServer &server, const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: %2 at offset %3").arg(path, parseError.errorString()).arg(parseError.offset);
        return false;
    }
    return apply(server, document, QFileInfo(path).absolutePath(), error);
}

} // namespace HttpConfig
