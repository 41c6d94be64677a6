#include "bytearraybody.h"

#include <cstring>

ByteArrayBody::ByteArrayBody(const QByteArray &data)
    : mData(data)
{
}

qint64 ByteArrayBody::size() const
{
    return mData.size();
}

bool ByteArrayBody::seek(qint64 offset)
{
    if (offset < 0 || offset > mData.size())
        return false;
    mOffset = offset;
    return true;
}

qint64 ByteArrayBody::read(char *data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, mData.size() - mOffset);
    if (count <= 0)
        return 0;
    std::memcpy(data, mData.constData() + mOffset, size_t(count));
    mOffset += count;
    return count;
}
