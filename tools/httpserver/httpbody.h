#pragma once

#include <QtGlobal>

// Source of a response body, read front to back while the connection sends
// it, so that a large body never has to sit in memory.
class HttpBody
{
public:
    virtual ~HttpBody() = default;

    // Total size in bytes.
    virtual qint64 size() const = 0;

    // Moves to offset (for byte ranges); false when that is not possible.
    virtual bool seek(qint64 offset) = 0;

    // Copies up to maxSize next bytes into data; returns the count, 0 at the
    // end, -1 on a read failure.
    virtual qint64 read(char *data, qint64 maxSize) = 0;
};
