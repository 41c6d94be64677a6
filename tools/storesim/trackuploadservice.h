#pragma once

#include "httprequest.h"
#include "httpresponse.h"
#include "multipartform.h"

#include <QJsonArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QStringList>

class HttpServer;

// Stand-in for the vendor's track-upload service: POST
// "/WebInputInterface/VelWii" (the production path; only host and port
// differ), a multipart/form-data body with boundary "__DATA_BOUNDARY__".
//
// Every upload is recorded whole (headers, raw body, the form taken apart)
// with a list of complaints: each place where the request departs from the
// exact form the store client must send (leading CRLF, field order and
// disposition lines, the blank on the trackPathname line, the file part's
// headers, the closing delimiter, the request headers). The service still
// answers as the real one would, so a test checks complaints() itself.
//
// Answers (HTTP 200, text/xml):
//   <WebInputInterface><Status>Success</Status><TrackId>N</TrackId></WebInputInterface>
//   <WebInputInterface><Status>Error</Status><Message>...</Message></WebInputInterface>
// A track is identified by its userId and trackFilename: a second upload of
// the same pair gets "Error" with a message holding "duplicate key". A form
// without userId, trackFilename or a trackData file part gets "Error" too.
//
// Thread-safe: the server calls it from its connection threads.
class TrackUploadService : public QObject
{
    Q_OBJECT

public:
    static const char *const path;      // "/WebInputInterface/VelWii"
    static const char *const boundary;  // "__DATA_BOUNDARY__"

    // What the next uploads get instead of the normal answer.
    enum class Fault {
        ErrorAnswer,     // 200 with Status "Error" and a message without "duplicate key"
        HttpStatus500,   // 500 with a short text body
        NotXml,          // 200 with a body that is not XML
        Stall,           // headers sent, then no body until the client gives up
        CutAfterStoring, // the track is stored, then the connection is cut before the answer ends
    };

    struct Upload
    {
        QList<HttpRequest::Header> headers;
        QByteArray body;
        MultipartForm form;
        QStringList complaints;
        // Text values of the form's fields (not the file part), in order.
        QList<QPair<QByteArray, QByteArray>> fields;
        QByteArray fileName;
        QByteArray fileData;
        // HTTP status and body sent back ("" for a stall or a cut).
        int status = 0;
        QByteArray answer;
        // The track was stored (a new Success, or a cut after storing).
        bool stored = false;

        QByteArray field(const QByteArray &name) const;
        // One line for logs and the demo.
        QString summary() const;
    };

    explicit TrackUploadService(QObject *parent = nullptr);

    // Adds the service's route to the server.
    void install(HttpServer *server);

    QList<Upload> uploads() const;
    int uploadCount() const;
    // Forgets the record and the stored tracks.
    void clear();
    // Makes the service hold a track already (as from an earlier run).
    void holdTrack(const QByteArray &userId, const QByteArray &fileName);
    bool holdsTrack(const QByteArray &userId, const QByteArray &fileName) const;
    // The next count uploads meet this fault, after any queued before.
    void failNext(Fault fault, int count = 1);
    // "error", "status500", "notxml", "stall", "cut"; false for another name.
    static bool faultFromName(const QString &name, Fault *fault);

    // The record for clients in another process (no file bytes: their size
    // and SHA-1 instead).
    QJsonArray toJson() const;

    // The exact header values the store client sends.
    static QList<HttpRequest::Header> expectedHeaders();

signals:
    // Emitted from a server thread after each upload was answered.
    void uploadReceived(const QString &summary);

private:
    HttpResponse answer(const HttpRequest &request);
    static QStringList checkRequest(const HttpRequest &request, const MultipartForm &form);

    mutable QMutex mMutex;
    QList<Upload> mUploads;
    QSet<QByteArray> mHeld;
    QList<Fault> mFaults;
    int mNextTrackId = 1;
};
