#pragma once

#include "httpbody.h"
#include "httpfaults.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <memory>

class QJsonDocument;

// An answer: status, headers and a body that is streamed when sent.
class HttpResponse
{
public:
    using Header = QPair<QByteArray, QByteArray>;

    HttpResponse() = default;
    explicit HttpResponse(int status);

    static HttpResponse bytes(const QByteArray &body, const QByteArray &contentType = "application/octet-stream",
                              int status = 200);
    static HttpResponse text(int status, const QByteArray &text);
    static HttpResponse json(const QJsonDocument &document, int status = 200);
    // size bytes of the pattern of GeneratedBody.
    static HttpResponse generated(qint64 size, const QByteArray &contentType = "application/octet-stream");
    // 404 when the file cannot be read.
    static HttpResponse file(const QString &path, const QByteArray &contentType = QByteArray());
    static HttpResponse redirect(const QByteArray &location, int status = 302);
    static HttpResponse notFound();

    static QByteArray reasonPhrase(int status);

    int status() const { return mStatus; }
    void setStatus(int status) { mStatus = status; }

    QList<Header> headers() const { return mHeaders; }
    QByteArray header(const QByteArray &name) const;
    // Replaces every header of that name.
    void setHeader(const QByteArray &name, const QByteArray &value);
    // Adds one more header of that name (for Set-Cookie).
    void addHeader(const QByteArray &name, const QByteArray &value);

    std::shared_ptr<HttpBody> body() const { return mBody; }
    void setBody(std::shared_ptr<HttpBody> body) { mBody = std::move(body); }
    // Size of the body, 0 without one.
    qint64 bodySize() const;

    // Transport faults for this one answer (a handler that decides per
    // request to stall or cut); the route's own faults win when both apply.
    HttpFaults transportFaults() const { return mTransportFaults; }
    void setTransportFaults(const HttpFaults &faults) { mTransportFaults = faults; }

private:
    int mStatus = 200;
    QList<Header> mHeaders;
    std::shared_ptr<HttpBody> mBody;
    HttpFaults mTransportFaults;
};
