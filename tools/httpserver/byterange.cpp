#include "byterange.h"

namespace {

// A run of digits as a non-negative number; -1 when empty, -2 when not a
// number.
qint64 position(const QByteArray &text)
{
    if (text.isEmpty())
        return -1;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -2;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : -2;
}

} // namespace

ByteRange ByteRange::fromHeader(const QByteArray &value, qint64 size)
{
    ByteRange range;
    const QByteArray text = value.trimmed();
    const QByteArray unit = "bytes=";
    if (text.left(unit.size()).toLower() != unit)
        return range;
    const QByteArray rangeText = text.mid(unit.size()).trimmed();
    const int dash = rangeText.indexOf('-');
    if (dash < 0 || rangeText.contains(','))
        return range;
    const qint64 first = position(rangeText.left(dash).trimmed());
    const qint64 last = position(rangeText.mid(dash + 1).trimmed());
    if (first == -2 || last == -2 || (first < 0 && last < 0) || (first >= 0 && last >= 0 && first > last))
        return range;

    if (first < 0) {
        // The last N bytes.
        if (last == 0 || size == 0) {
            range.kind = Kind::Unsatisfiable;
            return range;
        }
        range.kind = Kind::Partial;
        range.first = qMax<qint64>(0, size - last);
        range.last = size - 1;
        return range;
    }
    if (first >= size) {
        range.kind = Kind::Unsatisfiable;
        return range;
    }
    range.kind = Kind::Partial;
    range.first = first;
    range.last = last < 0 ? size - 1 : qMin(last, size - 1);
    return range;
}
