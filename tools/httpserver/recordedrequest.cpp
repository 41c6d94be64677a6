#include "recordedrequest.h"

#include <QJsonArray>

namespace {

QJsonArray pairsToJson(const QList<HttpRequest::Header> &pairs)
{
    QJsonArray array;
    for (const HttpRequest::Header &pair : pairs)
        array.append(QJsonArray { QString::fromLatin1(pair.first), QString::fromLatin1(pair.second) });
    return array;
}

} // namespace

QJsonObject RecordedRequest::toJson() const
{
    return QJsonObject {
        { QStringLiteral("id"), double(id) },
        { QStringLiteral("requestLine"), QString::fromLatin1(request.requestLine()) },
        { QStringLiteral("method"), QString::fromLatin1(request.method()) },
        { QStringLiteral("path"), request.path() },
        { QStringLiteral("headers"), pairsToJson(request.headers()) },
        { QStringLiteral("cookies"), pairsToJson(request.cookies()) },
        { QStringLiteral("bodySize"), request.body().size() },
        { QStringLiteral("status"), status },
        { QStringLiteral("bodyBytesSent"), double(bodyBytesSent) },
        { QStringLiteral("completed"), completed },
        { QStringLiteral("clientClosed"), clientClosed },
        { QStringLiteral("serverClosed"), serverClosed },
        { QStringLiteral("receivedOrder"), double(receivedOrder) },
        { QStringLiteral("finishedOrder"), double(finishedOrder) },
    };
}
