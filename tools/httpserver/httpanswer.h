#pragma once

#include "httpfaults.h"
#include "httpresponse.h"

// What HttpServer decided for one request: the answer, the transport faults
// to apply while sending it, and where the request is recorded.
struct HttpAnswer
{
    HttpResponse response;
    HttpFaults faults;
    // Bytes of the body to send: all of it, or the range asked for (the
    // body is then positioned at its start).
    qint64 bodyLength = 0;
    quint64 recordId = 0;
    bool recorded = false;
};
