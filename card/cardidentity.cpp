#include "cardidentity.h"

#include "cardpaths.h"
#include "localfiles.h"

#include <QDir>
#include <QFileInfo>

bool CardIdentity::capture(const QString &rootPath)
{
    mRealRoot = QFileInfo(rootPath).canonicalFilePath();
    if (mRealRoot.isEmpty() || !QFileInfo(mRealRoot).isDir() || !LocalFiles::deviceOf(mRealRoot, mDevice)) {
        mRealRoot.clear();
        return false;
    }
    if (!mCard.open(mRealRoot)) {
        mRealRoot.clear();
        return false;
    }
    return true;
}

bool CardIdentity::isSameCard() const
{
    quint64 device = 0;
    if (mRealRoot.isEmpty() || !QFileInfo(mRealRoot).isDir() || !LocalFiles::deviceOf(mRealRoot, device)
        || device != mDevice)
        return false;
    return mCard.tagMatches();
}

QString CardIdentity::resolve(const QString &relativePath) const
{
    return realPathBelow(mRealRoot, relativePath);
}

QString CardIdentity::resolveAbsolute(const QString &absolutePath) const
{
    const QString real = realPathOf(absolutePath);
    return isWithin(mRealRoot, real) ? real : QString();
}

bool CardIdentity::makeFolders(const QString &realFolder) const
{
    if (!isWithin(mRealRoot, realFolder) || !isSameCard())
        return false;
    return realFolder == mRealRoot || QDir().mkpath(realFolder);
}
