#include "fileobject.h"

namespace {
qint64 byteCount(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok && value >= 0 ? value : -1;
}
} // namespace

FileObject::FileObject(const QString &destinationPath, const QString &size, const QString &url, const QString &name,
                       const QString &md5)
    : mDestinationPath(destinationPath)
    , mSize(byteCount(size))
    , mUrl(url)
    , mName(name)
    , mMd5(md5)
{
}

FileObject::FileObject(const QString &destinationPath, const QString &size, const QString &url, const QString &name)
    : FileObject(destinationPath, size, url, name, QString())
{
}

FileObject::~FileObject() = default;
