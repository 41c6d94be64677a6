#pragma once

#include <QString>

class HttpServer;
class QJsonDocument;

// Routes of HttpServer described in JSON, for the program and for scripts:
//
//   { "routes": [
//       { "path": "/big.bin", "generate": 1073741824 },
//       { "path": "/manifest", "body": "[]", "contentType": "application/json" },
//       { "path": "/old", "status": 302, "location": "/new" },
//       { "prefix": "/files/", "root": "charts" },
//       { "path": "/flaky", "generate": 5000, "fault": { "status": 503 }, "faultyRequests": 3 },
//       { "path": "/slow", "generate": 5000, "fault": { "trickleBytes": 100, "trickleMs": 50 } },
//       { "path": "/login", "body": "ok", "setCookies": ["session=abc; Path=/"] }
//   ] }
//
// A route has "path" or "prefix" and one answer: "generate" (bytes of the
// generated pattern), "body" (text), "file", "root" (a folder, with
// "prefix"), or just "status" (with "location" for a redirect). Optional:
// "status" with a body, "contentType", "headers" (object), "setCookies",
// "acceptRanges" (false: ignore "Range" headers), "fault" (keys of
// HttpFaults) and "faultyRequests". Relative file names are taken from
// baseDir.
namespace HttpConfig {

bool apply(HttpServer &server, const QJsonDocument &document, const QString &baseDir, QString *error);
bool applyFile(HttpServer &server, const QString &path, QString *error);

} // namespace HttpConfig
