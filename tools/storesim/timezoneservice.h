#pragma once

#include "httprequest.h"
#include "httpresponse.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QStringList>

class HttpServer;

// Stand-in for the GeoNames time-zone service: GET
// "/timezone?lat=..&lng=..&radius=200&username=kelTR_4" (the production
// path; only host and port differ).
//
// A position within reach of one of a few real zones (its centre, its reach
// plus the query's radius in km; the nearest wins) is answered in the
// service's XML form, a "geonames" root holding a "timezone" element with
// countryCode, countryName, lat, lng, timezoneId, dstOffset, gmtOffset,
// rawOffset and time. Anywhere else gets the service's error form,
//   <geonames><status message="no timezone information found for lat/lng" value="15"/></geonames>
// (value 14 for a lat or lng that is not a number, 10 without a username).
//
// Every query is recorded with its raw query string and the complaints about
// it (keys not lat, lng, radius, username in that order, a radius other than
// 200, numbers not in the 6-digit general format). Thread-safe.
class TimeZoneService : public QObject
{
    Q_OBJECT

public:
    static const char *const path;  // "/timezone"

    struct Zone
    {
        QString timezoneId;
        QString countryCode;
        QString countryName;
        double latitude = 0;
        double longitude = 0;
        double reachKm = 0;
        // As the service writes them ("1.0", "-5.0", "5.5").
        QString gmtOffset;
        QString dstOffset;
        QString rawOffset;
    };

    // What the next queries get instead of the normal answer.
    enum class Fault {
        StatusAnswer,   // 200 with the status form (value 18, credits used up)
        HttpStatus503,  // 503 with a short text body
        NotXml,         // 200 with a body that is not XML
        Stall,          // headers sent, then no body until the client gives up
        Cut,            // connection cut before the answer ends
    };

    struct Query
    {
        QByteArray rawQuery;
        QStringList complaints;
        // Zone answered; empty for the status form or a fault.
        QString timezoneId;
        int status = 0;          // 0 for a stall or a cut
        QByteArray answer;
    };

    explicit TimeZoneService(QObject *parent = nullptr);

    // Naples/Rome 1.0, Frankfurt/Berlin 1.0, off New York -5.0, off
    // St. John's -3.5, off Reykjavik 0.0, Mumbai 5.5, off Sydney 10.0
    // (whose gmtOffset, 11.0, differs from rawOffset).
    static QList<Zone> defaultZones();
    void setZones(const QList<Zone> &zones);

    void install(HttpServer *server);

    QList<Query> queries() const;
    // The raw query strings, in arrival order.
    QStringList rawQueries() const;
    void clear();
    void failNext(Fault fault, int count = 1);
    // "status", "status503", "notxml", "stall", "cut".
    static bool faultFromName(const QString &name, Fault *fault);

    QByteArray answerFor(double latitude, double longitude, double radiusKm, QString *timezoneId = nullptr) const;

signals:
    void queryReceived(const QString &summary);

private:
    HttpResponse answer(const HttpRequest &request);

    mutable QMutex mMutex;
    QList<Zone> mZones;
    QList<Query> mQueries;
    QList<Fault> mFaults;
};
