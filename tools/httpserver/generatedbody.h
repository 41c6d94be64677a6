#pragma once

#include "httpbody.h"

#include <QByteArray>

// A body of any size made of a fixed pattern: byte i is i modulo 251. The
// prime period makes a lost, repeated or shifted block show up when the
// receiver checks the bytes against byteAt().
class GeneratedBody : public HttpBody
{
public:
    explicit GeneratedBody(qint64 size);

    static char byteAt(qint64 offset);
    // The first size bytes of the pattern, for checks in tests.
    static QByteArray expected(qint64 size, qint64 offset = 0);

    qint64 size() const override;
    bool seek(qint64 offset) override;
    qint64 read(char *data, qint64 maxSize) override;

private:
    qint64 mSize;
    qint64 mOffset = 0;
};
