#include "generatedbody.h"

#include <cstring>

namespace {

constexpr int kPeriod = 251;

// Many periods in a row, so that a read is a handful of memcpy calls.
const QByteArray &patternBlock()
{
    static const QByteArray block = [] {
        QByteArray bytes(kPeriod * 1024, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i % kPeriod);
        return bytes;
    }();
    return block;
}

} // namespace

GeneratedBody::GeneratedBody(qint64 size)
    : mSize(qMax<qint64>(0, size))
{
}

char GeneratedBody::byteAt(qint64 offset)
{
    return char(offset % kPeriod);
}

QByteArray GeneratedBody::expected(qint64 size, qint64 offset)
{
    GeneratedBody body(offset + size);
    body.seek(offset);
    QByteArray bytes(int(size), Qt::Uninitialized);
    body.read(bytes.data(), size);
    return bytes;
}

qint64 GeneratedBody::size() const
{
    return mSize;
}

bool GeneratedBody::seek(qint64 offset)
{
    if (offset < 0 || offset > mSize)
        return false;
    mOffset = offset;
    return true;
}

qint64 GeneratedBody::read(char *data, qint64 maxSize)
{
    const QByteArray &block = patternBlock();
    qint64 count = qMin(maxSize, mSize - mOffset);
    if (count <= 0)
        return 0;
    const qint64 total = count;
    while (count > 0) {
        const qint64 start = mOffset % kPeriod;
        const qint64 piece = qMin<qint64>(count, block.size() - start);
        std::memcpy(data, block.constData() + start, size_t(piece));
        data += piece;
        mOffset += piece;
        count -= piece;
    }
    return total;
}
