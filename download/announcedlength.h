#pragma once

#include <QtGlobal>

class QNetworkReply;

// The body length a reply announced (Content-Length), to compare with the
// bytes that arrived: Qt's HTTP layer may answer an early close of the
// connection by sending the request again on its own and then end the reply
// without an error although part of the body is missing. -1 when the reply
// announced none, or sent a compressed body, which is counted after
// decompression.
qint64 announcedLength(const QNetworkReply &reply);
