#include "filebody.h"

FileBody::FileBody(const QString &path)
    : mFile(path)
{
    if (mFile.open(QIODevice::ReadOnly))
        mSize = mFile.size();
}

bool FileBody::isOpen() const
{
    return mFile.isOpen();
}

qint64 FileBody::size() const
{
    return mSize;
}

bool FileBody::seek(qint64 offset)
{
    return mFile.isOpen() && offset >= 0 && offset <= mSize && mFile.seek(offset);
}

qint64 FileBody::read(char *data, qint64 maxSize)
{
    if (!mFile.isOpen())
        return -1;
    return mFile.read(data, maxSize);
}
