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

qint64 FileBody::read(char *data, qint64 maxSize)
{
    if (!mFile.isOpen())
        return -1;
    return mFile.read(data, maxSize);
}
