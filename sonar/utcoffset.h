#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// The offset of local time from UTC where a track was recorded, as the
// time-zone service gives it ("1.0", "-5.0", "5.5"): text that is sent on
// unchanged, never parsed.

// The first word of the cache file "latestUtc.txt"; "0" when it cannot be read.
QString readLatestUtc(const QString &path);
// Replaces the cache's content with offset; false when it cannot be written.
bool writeLatestUtc(const QString &path, const QString &offset);

// The service's question for a position: "lat=..&lng=..&radius=200&username=kelTR_4",
// the degrees in the general format with 6 significant digits.
QUrl timeZoneQuery(const QUrl &service, double latitude, double longitude);

// The text of the first "rawOffset" child of the root's first child, when
// that is "timezone"; false for any other answer (the service's "status"
// error form, text that is not XML).
bool readTimeZoneAnswer(const QByteArray &body, QString &offset);
