#include "trackuploadservice.h"

#include "httpserver.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QMutexLocker>
#include <QRegularExpression>

const char *const TrackUploadService::path = "/WebInputInterface/VelWii";
const char *const TrackUploadService::boundary = "__DATA_BOUNDARY__";

namespace {

const QByteArray kXmlType = "text/xml; charset=UTF-8";

// The text fields in the order the store client sends them.
const QList<QByteArray> kFieldOrder = {
    "function", "userId", "softwareId", "deviceId", "zIsDepth", "trackOffset", "deltaPoolLevel",
    "acquisitionPoolLevel", "srid", "vertUnits", "timeOffsetToUtc", "trackFormat", "trackFilename", "trackPathname",
};

// Fields whose value never changes.
const QList<QPair<QByteArray, QByteArray>> kFixedValues = {
    { "function", "uploadTrack" }, { "deviceId", "Test_DeviceID" }, { "zIsDepth", "true" },
    { "trackOffset", "0" },        { "deltaPoolLevel", "" },         { "acquisitionPoolLevel", "" },
    { "srid", "Mercator Lowrance" }, { "vertUnits", "3" },
};

QByteArray xmlEscaped(const QByteArray &text)
{
    return QString::fromUtf8(text).toHtmlEscaped().toUtf8();
}

QByteArray answerDocument(const QByteArray &status, const QByteArray &elementName, const QByteArray &text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WebInputInterface>\n  <Status>" + status + "</Status>\n  <"
        + elementName + '>' + xmlEscaped(text) + "</" + elementName + ">\n</WebInputInterface>\n";
}

QString quoted(const QByteArray &bytes)
{
    return QLatin1Char('"') + QString::fromLatin1(bytes) + QLatin1Char('"');
}

QByteArray heldKey(const QByteArray &userId, const QByteArray &fileName)
{
    return userId + '\n' + fileName;
}

} // namespace

TrackUploadService::TrackUploadService(QObject *parent)
    : QObject(parent)
{
}

QByteArray TrackUploadService::Upload::field(const QByteArray &name) const
{
    for (const auto &field : fields) {
        if (field.first == name)
            return field.second;
    }
    return QByteArray();
}

QString TrackUploadService::Upload::summary() const
{
    QString outcome = status == 0 ? QStringLiteral("no answer") : QString::number(status);
    const int statusAt = answer.indexOf("<Status>");
    if (statusAt >= 0)
        outcome += QLatin1Char(' ') + QString::fromLatin1(answer.mid(statusAt + 8, answer.indexOf('<', statusAt + 8) - statusAt - 8));
    return QStringLiteral("track upload: user=%1 file=%2 bytes=%3 utc=%4 answer=%5%6 complaints=%7%8")
        .arg(quoted(field("userId")), quoted(fileName))
        .arg(fileData.size())
        .arg(QString::fromLatin1(field("timeOffsetToUtc")), outcome, stored ? QStringLiteral(" (stored)") : QString())
        .arg(complaints.size())
        .arg(complaints.isEmpty() ? QString() : QStringLiteral(": ") + complaints.join(QStringLiteral("; ")));
}

QList<HttpRequest::Header> TrackUploadService::expectedHeaders()
{
    return { { "Accept", "*/*" },
             { "User-Agent", "Velamaris" },
             { "Accept-Encoding", "gzip, deflate" },
             { "Content-Type", QByteArray("multipart/form-data; boundary=") + boundary } };
}

void TrackUploadService::install(HttpServer *server)
{
    server->addRoute(HttpRoute::exact(QString::fromLatin1(path), [this](const HttpRequest &request) {
        return answer(request);
    }));
}

QList<TrackUploadService::Upload> TrackUploadService::uploads() const
{
    QMutexLocker locker(&mMutex);
    return mUploads;
}

int TrackUploadService::uploadCount() const
{
    QMutexLocker locker(&mMutex);
    return mUploads.size();
}

void TrackUploadService::clear()
{
    QMutexLocker locker(&mMutex);
    mUploads.clear();
    mHeld.clear();
    mFaults.clear();
}

void TrackUploadService::holdTrack(const QByteArray &userId, const QByteArray &fileName)
{
    QMutexLocker locker(&mMutex);
    mHeld.insert(heldKey(userId, fileName));
}

bool TrackUploadService::holdsTrack(const QByteArray &userId, const QByteArray &fileName) const
{
    QMutexLocker locker(&mMutex);
    return mHeld.contains(heldKey(userId, fileName));
}

void TrackUploadService::failNext(Fault fault, int count)
{
    QMutexLocker locker(&mMutex);
    for (int i = 0; i < count; ++i)
        mFaults.append(fault);
}

bool TrackUploadService::faultFromName(const QString &name, Fault *fault)
{
    static const QList<QPair<QString, Fault>> names = {
        { QStringLiteral("error"), Fault::ErrorAnswer }, { QStringLiteral("status500"), Fault::HttpStatus500 },
        { QStringLiteral("notxml"), Fault::NotXml },     { QStringLiteral("stall"), Fault::Stall },
        { QStringLiteral("cut"), Fault::CutAfterStoring },
    };
    for (const auto &entry : names) {
        if (entry.first == name) {
            *fault = entry.second;
            return true;
        }
    }
    return false;
}

QStringList TrackUploadService::checkRequest(const HttpRequest &request, const MultipartForm &form)
{
    QStringList complaints;
    if (request.method() != "POST")
        complaints << QStringLiteral("method %1, not POST").arg(QString::fromLatin1(request.method()));
    for (const HttpRequest::Header &expected : expectedHeaders()) {
        const QByteArray value = request.header(expected.first);
        if (value != expected.second)
            complaints << QStringLiteral("header %1 is %2, not %3")
                              .arg(QString::fromLatin1(expected.first), value.isNull() ? QStringLiteral("missing") : quoted(value),
                                   quoted(expected.second));
    }
    const QByteArray length = request.header("Content-Length");
    if (length.isNull() || length.toLongLong() != request.body().size())
        complaints << QStringLiteral("Content-Length %1 for a body of %2 bytes")
                          .arg(length.isNull() ? QStringLiteral("missing") : QString::fromLatin1(length))
                          .arg(request.body().size());

    complaints << form.complaints();
    if (form.preamble() != "\r\n")
        complaints << QStringLiteral("the body does not open with exactly one CRLF before the first delimiter");

    const QList<MultipartForm::Part> parts = form.parts();
    for (int i = 0; i < parts.size(); ++i) {
        const MultipartForm::Part &part = parts.at(i);
        const QByteArray expectedName = i < kFieldOrder.size() ? kFieldOrder.at(i) : QByteArray("trackData");
        if (part.name != expectedName) {
            complaints << QStringLiteral("part %1 is %2, expected %3").arg(i + 1).arg(quoted(part.name), quoted(expectedName));
            continue;
        }
        QList<QByteArray> expectedLines;
        if (i < kFieldOrder.size()) {
            // The client writes one blank after the trackPathname name, and only there.
            const QByteArray blank = expectedName == "trackPathname" ? " " : "";
            expectedLines << "Content-Disposition: form-data; name=\"" + expectedName + '"' + blank;
        } else {
            expectedLines << "Content-Disposition: form-data; name=\"trackData\"; filename=\"" + part.filename + '"'
                          << "Content-Type: application/zip";
        }
        if (part.headerLines != expectedLines)
            complaints << QStringLiteral("part %1 (%2) has the header lines [%3]")
                              .arg(i + 1)
                              .arg(QString::fromLatin1(part.name), QString::fromLatin1(part.headerLines.join("|")));
    }
    if (parts.size() != kFieldOrder.size() + 1)
        complaints << QStringLiteral("%1 parts, expected %2").arg(parts.size()).arg(kFieldOrder.size() + 1);

    for (const auto &fixed : kFixedValues) {
        const MultipartForm::Part *part = form.part(fixed.first);
        if (part && part->data != fixed.second)
            complaints << QStringLiteral("%1 is %2, expected %3").arg(QString::fromLatin1(fixed.first), quoted(part->data), quoted(fixed.second));
    }
    auto value = [&form](const QByteArray &name) {
        const MultipartForm::Part *part = form.part(name);
        return part ? part->data : QByteArray();
    };
    static const QRegularExpression softwareId(QStringLiteral("^Velamaris Tidemart\\d+(\\.\\d+)*$"));
    if (!softwareId.match(QString::fromLatin1(value("softwareId"))).hasMatch())
        complaints << QStringLiteral("softwareId %1 is not the name followed at once by the version").arg(quoted(value("softwareId")));
    bool numeric = false;
    value("timeOffsetToUtc").toDouble(&numeric);
    if (!numeric)
        complaints << QStringLiteral("timeOffsetToUtc %1 is not a number").arg(quoted(value("timeOffsetToUtc")));
    const QByteArray fileName = value("trackFilename");
    const MultipartForm::Part *file = form.part("trackData");
    if (file && file->filename != fileName)
        complaints << QStringLiteral("file part named %1, trackFilename %2").arg(quoted(file->filename), quoted(fileName));
    const int dot = fileName.indexOf('.');
    const QByteArray format = fileName.toLower().endsWith(".zip") ? QByteArray("stk") : (dot < 0 ? QByteArray() : fileName.mid(dot + 1));
    if (value("trackFormat") != format)
        complaints << QStringLiteral("trackFormat %1 for the file %2").arg(quoted(value("trackFormat")), quoted(fileName));
    const QByteArray folder = value("trackPathname");
    if (folder.isEmpty() || folder.endsWith('/') || folder.endsWith('\\'))
        complaints << QStringLiteral("trackPathname %1 is empty or ends in a separator").arg(quoted(folder));
    return complaints;
}

HttpResponse TrackUploadService::answer(const HttpRequest &request)
{
    Upload upload;
    upload.headers = request.headers();
    upload.body = request.body();
    upload.form = MultipartForm::parse(request.body(), MultipartForm::boundaryOf(request.header("Content-Type")));
    upload.complaints = checkRequest(request, upload.form);
    for (const MultipartForm::Part &part : upload.form.parts()) {
        if (part.filename.isNull())
            upload.fields.append({ part.name, part.data });
    }
    if (const MultipartForm::Part *file = upload.form.part("trackData")) {
        upload.fileName = file->filename;
        upload.fileData = file->data;
    }
    const QByteArray userId = upload.field("userId");
    const QByteArray trackName = upload.field("trackFilename");

    int status = 200;
    QByteArray type = kXmlType;
    QByteArray body;
    HttpFaults transport;
    {
        QMutexLocker locker(&mMutex);
        const bool hasFault = !mFaults.isEmpty();
        const Fault fault = hasFault ? mFaults.takeFirst() : Fault::ErrorAnswer;
        const bool complete = !userId.isEmpty() && !trackName.isEmpty() && !upload.fileName.isNull();
        if (hasFault && fault == Fault::HttpStatus500) {
            status = 500;
            type = "text/plain";
            body = "Internal Server Error\n";
        } else if (hasFault && fault == Fault::NotXml) {
            type = "text/plain";
            body = "Track received, thank you.\n";
        } else if (hasFault && fault == Fault::ErrorAnswer) {
            body = answerDocument("Error", "Message", "Track store is not available, try later");
        } else if (hasFault && fault == Fault::Stall) {
            body = answerDocument("Success", "TrackId", "0");
            transport = HttpFaults::stallAfter(0);
        } else if (!complete) {
            body = answerDocument("Error", "Message", "Invalid request: userId, trackFilename and trackData are required");
        } else if (mHeld.contains(heldKey(userId, trackName))) {
            body = answerDocument("Error", "Message",
                                  "ERROR: duplicate key value violates unique constraint \"track_user_file_key\"");
        } else {
            mHeld.insert(heldKey(userId, trackName));
            upload.stored = true;
            body = answerDocument("Success", "TrackId", QByteArray::number(mNextTrackId++));
            if (hasFault && fault == Fault::CutAfterStoring)
                transport = HttpFaults::closeAfter(0);
        }
        if (transport.isEmpty()) {
            upload.status = status;
            upload.answer = body;
        }
        mUploads.append(upload);
    }
    HttpResponse response = HttpResponse::bytes(body, type, status);
    response.setTransportFaults(transport);
    emit uploadReceived(upload.summary());
    return response;
}

QJsonArray TrackUploadService::toJson() const
{
    QJsonArray array;
    for (const Upload &upload : uploads()) {
        QJsonObject fields;
        for (const auto &field : upload.fields)
            fields.insert(QString::fromLatin1(field.first), QString::fromLatin1(field.second));
        QJsonObject headers;
        for (const auto &header : upload.headers)
            headers.insert(QString::fromLatin1(header.first), QString::fromLatin1(header.second));
        QJsonObject object;
        object.insert(QStringLiteral("headers"), headers);
        object.insert(QStringLiteral("fields"), fields);
        object.insert(QStringLiteral("fileName"), QString::fromLatin1(upload.fileName));
        object.insert(QStringLiteral("fileSize"), upload.fileData.size());
        object.insert(QStringLiteral("fileSha1"),
                      QString::fromLatin1(QCryptographicHash::hash(upload.fileData, QCryptographicHash::Sha1).toHex()));
        object.insert(QStringLiteral("status"), upload.status);
        object.insert(QStringLiteral("answer"), QString::fromUtf8(upload.answer));
        object.insert(QStringLiteral("stored"), upload.stored);
        object.insert(QStringLiteral("complaints"), QJsonArray::fromStringList(upload.complaints));
        array.append(object);
    }
    return array;
}
