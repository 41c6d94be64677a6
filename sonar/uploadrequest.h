#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// The track upload as the service reads it: a hand-built multipart form with
// the boundary "__DATA_BOUNDARY__", CRLF line ends, Latin-1 text.
struct UploadForm
{
    QString userId;
    // Sent as it came from the time-zone service.
    QString utcOffset;
    QString filePath;
    QString deviceId = QStringLiteral("Test_DeviceID");
    QString zIsDepth = QStringLiteral("true");
    QString srid = QStringLiteral("Mercator Lowrance");
    QString vertUnits = QStringLiteral("3");
};

// "stk" for a zipped track, otherwise everything after the name's first "."
// ("b.t3d" for "a.b.t3d").
QString uploadTrackFormat(const QString &path);

// The request body for the form with the file's bytes.
QByteArray uploadBody(const UploadForm &form, const QByteArray &fileData);

// The POST's headers: Accept, User-Agent, Accept-Encoding, Content-Type
// with the boundary, Content-Length.
QNetworkRequest uploadRequest(const QUrl &endpoint, qint64 bodySize);
