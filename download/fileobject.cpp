#include "fileobject.h"

FileObject::FileObject(const QString &destinationPath, const QString &size, const QString &url, const QString &name,
                       const QString &md5)
    : mDestinationPath(destinationPath)
    , mSize(size.toInt(nullptr, 10))
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
