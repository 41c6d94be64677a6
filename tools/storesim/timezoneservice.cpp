#include "timezoneservice.h"

#include "httpserver.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTimeZone>

#include <cmath>

const char *const TimeZoneService::path = "/timezone";

namespace {

const QByteArray kXmlType = "text/xml;charset=UTF-8";
const QByteArray kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";

QByteArray statusDocument(const QByteArray &message, int value)
{
    return kHead + "<geonames>\n<status message=\"" + message + "\" value=\"" + QByteArray::number(value)
        + "\"/>\n</geonames>\n";
}

double distanceKm(double lat1, double lon1, double lat2, double lon2)
{
    const double radians = M_PI / 180.0;
    const double dLat = (lat2 - lat1) * radians;
    const double dLon = (lon2 - lon1) * radians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(lat1 * radians) * std::cos(lat2 * radians) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 6371.0 * 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a));
}

// The number as the store client must write it: printf "%g".
bool inGeneralFormat(const QString &text, double value)
{
    return QString::asprintf("%g", value) == text;
}

} // namespace

TimeZoneService::TimeZoneService(QObject *parent)
    : QObject(parent)
    , mZones(defaultZones())
{
}

QList<TimeZoneService::Zone> TimeZoneService::defaultZones()
{
    return {
        { QStringLiteral("Europe/Rome"), QStringLiteral("IT"), QStringLiteral("Italy"), 40.80, 14.20, 300,
          QStringLiteral("1.0"), QStringLiteral("2.0"), QStringLiteral("1.0") },
        { QStringLiteral("Europe/Berlin"), QStringLiteral("DE"), QStringLiteral("Germany"), 50.11, 8.68, 300,
          QStringLiteral("1.0"), QStringLiteral("2.0"), QStringLiteral("1.0") },
        { QStringLiteral("America/New_York"), QStringLiteral("US"), QStringLiteral("United States"), 40.45, -73.80, 300,
          QStringLiteral("-5.0"), QStringLiteral("-4.0"), QStringLiteral("-5.0") },
        { QStringLiteral("America/St_Johns"), QStringLiteral("CA"), QStringLiteral("Canada"), 47.55, -52.60, 300,
          QStringLiteral("-3.5"), QStringLiteral("-2.5"), QStringLiteral("-3.5") },
        { QStringLiteral("Atlantic/Reykjavik"), QStringLiteral("IS"), QStringLiteral("Iceland"), 64.15, -22.10, 300,
          QStringLiteral("0.0"), QStringLiteral("0.0"), QStringLiteral("0.0") },
        { QStringLiteral("Asia/Kolkata"), QStringLiteral("IN"), QStringLiteral("India"), 18.93, 72.80, 300,
          QStringLiteral("5.5"), QStringLiteral("5.5"), QStringLiteral("5.5") },
        { QStringLiteral("Australia/Sydney"), QStringLiteral("AU"), QStringLiteral("Australia"), -33.85, 151.30, 300,
          QStringLiteral("11.0"), QStringLiteral("10.0"), QStringLiteral("10.0") },
    };
}

void TimeZoneService::setZones(const QList<Zone> &zones)
{
    QMutexLocker locker(&mMutex);
    mZones = zones;
}

void TimeZoneService::install(HttpServer *server)
{
    server->addRoute(HttpRoute::exact(QString::fromLatin1(path), [this](const HttpRequest &request) {
        return answer(request);
    }));
}

QList<TimeZoneService::Query> TimeZoneService::queries() const
{
    QMutexLocker locker(&mMutex);
    return mQueries;
}

QStringList TimeZoneService::rawQueries() const
{
    QStringList raw;
    for (const Query &query : queries())
        raw << QString::fromLatin1(query.rawQuery);
    return raw;
}

void TimeZoneService::clear()
{
    QMutexLocker locker(&mMutex);
    mQueries.clear();
    mFaults.clear();
}

void TimeZoneService::failNext(Fault fault, int count)
{
    QMutexLocker locker(&mMutex);
    for (int i = 0; i < count; ++i)
        mFaults.append(fault);
}

bool TimeZoneService::faultFromName(const QString &name, Fault *fault)
{
    static const QList<QPair<QString, Fault>> names = {
        { QStringLiteral("status"), Fault::StatusAnswer }, { QStringLiteral("status503"), Fault::HttpStatus503 },
        { QStringLiteral("notxml"), Fault::NotXml },       { QStringLiteral("stall"), Fault::Stall },
        { QStringLiteral("cut"), Fault::Cut },
    };
    for (const auto &entry : names) {
        if (entry.first == name) {
            *fault = entry.second;
            return true;
        }
    }
    return false;
}

QByteArray TimeZoneService::answerFor(double latitude, double longitude, double radiusKm, QString *timezoneId) const
{
    QList<Zone> zones;
    {
        QMutexLocker locker(&mMutex);
        zones = mZones;
    }
    const Zone *best = nullptr;
    double bestDistance = 0;
    for (const Zone &zone : qAsConst(zones)) {
        const double distance = distanceKm(latitude, longitude, zone.latitude, zone.longitude);
        if (distance <= zone.reachKm + radiusKm && (!best || distance < bestDistance)) {
            best = &zone;
            bestDistance = distance;
        }
    }
    if (!best)
        return statusDocument("no timezone information found for lat/lng", 15);
    if (timezoneId)
        *timezoneId = best->timezoneId;
    const QTimeZone zone(best->timezoneId.toLatin1());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString localTime = (zone.isValid() ? now.toTimeZone(zone)
                                              : now.addSecs(qint64(best->rawOffset.toDouble() * 3600)))
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString document = QStringLiteral("<geonames>\n<timezone tzversion=\"tzdata2024a\">\n"
                                            "<countryCode>%1</countryCode>\n<countryName>%2</countryName>\n"
                                            "<lat>%3</lat>\n<lng>%4</lng>\n<timezoneId>%5</timezoneId>\n"
                                            "<dstOffset>%6</dstOffset>\n<gmtOffset>%7</gmtOffset>\n"
                                            "<rawOffset>%8</rawOffset>\n<time>%9</time>\n</timezone>\n</geonames>\n")
                                 .arg(best->countryCode, best->countryName, QString::number(latitude),
                                      QString::number(longitude), best->timezoneId, best->dstOffset, best->gmtOffset,
                                      best->rawOffset, localTime);
    return kHead + document.toUtf8();
}

HttpResponse TimeZoneService::answer(const HttpRequest &request)
{
    Query query;
    const int mark = request.target().indexOf('?');
    query.rawQuery = mark < 0 ? QByteArray() : request.target().mid(mark + 1);

    QList<QByteArray> keys;
    QList<QByteArray> values;
    for (const QByteArray &item : query.rawQuery.split('&')) {
        const int equals = item.indexOf('=');
        keys << (equals < 0 ? item : item.left(equals));
        values << (equals < 0 ? QByteArray() : QByteArray::fromPercentEncoding(item.mid(equals + 1)));
    }
    const QList<QByteArray> expectedKeys = { "lat", "lng", "radius", "username" };
    if (keys != expectedKeys)
        query.complaints << QStringLiteral("keys [%1], expected lat, lng, radius, username in that order")
                                .arg(QString::fromLatin1(keys.join(", ")));
    auto value = [&](const QByteArray &key) {
        const int at = keys.indexOf(key);
        return at < 0 ? QString() : QString::fromLatin1(values.at(at));
    };
    bool latOk = false;
    bool lngOk = false;
    const double latitude = value("lat").toDouble(&latOk);
    const double longitude = value("lng").toDouble(&lngOk);
    if (latOk && !inGeneralFormat(value("lat"), latitude))
        query.complaints << QStringLiteral("lat %1 is not in the 6-digit general format").arg(value("lat"));
    if (lngOk && !inGeneralFormat(value("lng"), longitude))
        query.complaints << QStringLiteral("lng %1 is not in the 6-digit general format").arg(value("lng"));
    if (value("radius") != QLatin1String("200"))
        query.complaints << QStringLiteral("radius %1, expected 200").arg(value("radius"));
    if (request.method() != "GET")
        query.complaints << QStringLiteral("method %1, not GET").arg(QString::fromLatin1(request.method()));

    int status = 200;
    QByteArray type = kXmlType;
    QByteArray body;
    HttpFaults transport;
    Fault fault = Fault::StatusAnswer;
    bool hasFault = false;
    {
        QMutexLocker locker(&mMutex);
        hasFault = !mFaults.isEmpty();
        if (hasFault)
            fault = mFaults.takeFirst();
    }
    if (hasFault && fault == Fault::StatusAnswer) {
        body = statusDocument("the daily limit of 20000 credits for kelTR_4 has been exceeded. "
                              "Please throttle your requests or use the commercial service.", 18);
    } else if (hasFault && fault == Fault::HttpStatus503) {
        status = 503;
        type = "text/plain";
        body = "Service Unavailable\n";
    } else if (hasFault && fault == Fault::NotXml) {
        type = "text/html";
        body = "<html><body>Maintenance until 20:00 UTC<br></body></html>\n";
    } else if (value("username").isEmpty()) {
        body = statusDocument("Please add a username to each call in order for geonames to be able to identify the "
                              "calling application and count the credits usage.", 10);
    } else if (!latOk || !lngOk) {
        body = statusDocument("invalid lat/lng", 14);
    } else {
        body = answerFor(latitude, longitude, value("radius").toDouble(), &query.timezoneId);
        if (hasFault)
            transport = fault == Fault::Stall ? HttpFaults::stallAfter(0) : HttpFaults::closeAfter(0);
    }
    if (transport.isEmpty()) {
        query.status = status;
        query.answer = body;
    } else {
        query.timezoneId.clear();
    }
    {
        QMutexLocker locker(&mMutex);
        mQueries.append(query);
    }
    emit queryReceived(QStringLiteral("time-zone query: %1 -> %2%3")
                           .arg(QString::fromLatin1(query.rawQuery),
                                query.status == 0 ? QStringLiteral("no answer")
                                                  : (query.timezoneId.isEmpty() ? QStringLiteral("status form") : query.timezoneId),
                                query.complaints.isEmpty() ? QString() : QStringLiteral(" complaints: ") + query.complaints.join(QStringLiteral("; "))));
    HttpResponse response = HttpResponse::bytes(body, type, status);
    response.setTransportFaults(transport);
    return response;
}
