#include "downloadarea.h"

#include "cardpaths.h"
#include "localfiles.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

DownloadArea::DownloadArea(const QString &downloadDirPath)
    : mDownloadDirPath(QDir::cleanPath(QDir(downloadDirPath).absolutePath()))
    , mRootPath(QFileInfo(mDownloadDirPath).path())
    , mLock(mRootPath + QStringLiteral(".lock"))
{
}

DownloadArea::Claim DownloadArea::claim()
{
    mProblem.clear();
    if (!LocalFiles::makePrivateFolder(mRootPath, mProblem)) {
        mProblem = mRootPath + QStringLiteral(" ") + mProblem;
        qDebug() << "*** Download area refused:" << mProblem;
        return Claim::Unsafe;
    }
    if (!mLock.acquire()) {
        qDebug() << "*** Download area in use by another run:" << mRootPath;
        return Claim::Busy;
    }
    return Claim::Taken;
}

void DownloadArea::release()
{
    mLock.release();
}

QString DownloadArea::resolve(const QString &relative) const
{
    const QString root = realPathOf(mRootPath);
    const QString real = realPathBelow(realPathOf(mDownloadDirPath), relative);
    // The download folder itself may be a link only into the root.
    return isWithin(root, real) ? real : QString();
}
