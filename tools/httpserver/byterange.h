#pragma once

#include <QByteArray>

// The part of a body of known size that a "Range" request header asks for.
// Only one range is served: "bytes=N-", "bytes=N-M" and "bytes=-N" (the
// last N bytes); anything else, several ranges included, asks for the whole
// body, which a server may always answer with.
struct ByteRange
{
    enum class Kind { Whole, Partial, Unsatisfiable };

    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1;

    static ByteRange fromHeader(const QByteArray &value, qint64 size);

    qint64 length() const { return last - first + 1; }
};
