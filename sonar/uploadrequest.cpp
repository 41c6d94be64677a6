#include "uploadrequest.h"

#include "version.h"

#include <QFileInfo>

namespace {
const QByteArray Boundary = "__DATA_BOUNDARY__";
const QByteArray CRLF = "\r\n";

void addField(QByteArray &body, const char *name, const QString &value, bool blankBeforeLineEnd = false)
{
    body += QByteArray("Content-Disposition: form-data; name=\"") + name + '"';
    if (blankBeforeLineEnd)
        body += ' ';
    body += CRLF + CRLF + value.toLatin1() + CRLF + "--" + Boundary + CRLF;
}
} // namespace

QString uploadTrackFormat(const QString &path)
{
    if (path.toLower().endsWith(QLatin1String(".zip")))
        return QStringLiteral("stk");
    return QFileInfo(path).completeSuffix();
}

QByteArray uploadBody(const UploadForm &form, const QByteArray &fileData)
{
    const QFileInfo file(form.filePath);
    QByteArray body;
    body.reserve(fileData.size() + 2048);
    body += CRLF + "--" + Boundary + CRLF;
    addField(body, "function", QStringLiteral("uploadTrack"));
    addField(body, "userId", form.userId);
    addField(body, "softwareId", QStringLiteral("Velamaris Tidemart") + QLatin1String(Version::text));
    addField(body, "deviceId", form.deviceId);
    addField(body, "zIsDepth", form.zIsDepth);
    addField(body, "trackOffset", QStringLiteral("0"));
    addField(body, "deltaPoolLevel", QString());
    addField(body, "acquisitionPoolLevel", QString());
    addField(body, "srid", form.srid);
    addField(body, "vertUnits", form.vertUnits);
    addField(body, "timeOffsetToUtc", form.utcOffset);
    addField(body, "trackFormat", uploadTrackFormat(form.filePath));
    addField(body, "trackFilename", file.fileName());
    // The service has always been sent this line with a blank before its end.
    addField(body, "trackPathname", file.absolutePath(), true);
    body += "Content-Disposition: form-data; name=\"trackData\"; filename=\"" + file.fileName().toLatin1() + '"' + CRLF;
    body += "Content-Type: application/zip" + CRLF + CRLF;
    body += fileData;
    body += CRLF + "--" + Boundary + "--" + CRLF;
    return body;
}

QNetworkRequest uploadRequest(const QUrl &endpoint, qint64 bodySize)
{
    QNetworkRequest request(endpoint);
    request.setRawHeader("Accept", "*/*");
    request.setRawHeader("User-Agent", "Velamaris");
    request.setRawHeader("Accept-Encoding", "gzip, deflate");
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + Boundary);
    request.setHeader(QNetworkRequest::ContentLengthHeader, bodySize);
    return request;
}
