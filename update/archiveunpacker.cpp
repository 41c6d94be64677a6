#include "archiveunpacker.h"

#include "fileobject.h"
#include "installation.h"

#include <QDebug>

namespace {
// relative lies at folder or below it (both relative to the download area).
bool liesIn(const QString &folder, const QString &relative)
{
    const QString f = QDir::cleanPath(folder);
    const QString r = QDir::cleanPath(relative);
    return r == f || f == QLatin1String(".") || r.startsWith(f + QLatin1Char('/'));
}
} // namespace

ArchiveUnpacker::ArchiveUnpacker(Installation &installation, const QDir &downloadDir,
                                 const QList<FileObject *> &installList)
    : mInstallation(installation)
    , mDownloadDir(downloadDir)
{
    for (const FileObject *entry : installList) {
        if (!Installation::isArchive(*entry))
            continue;
        mArchives.append(entry);
        const QString folder = Installation::archiveFolder(*entry);
        bool alone = true;
        for (const FileObject *other : installList) {
            if (other != entry && liesIn(folder, Installation::targetPath(*other)))
                alone = false;
        }
        if (alone)
            mEarly.insert(QDir::cleanPath(mDownloadDir.filePath(Installation::targetPath(*entry))), entry);
    }
}

ArchiveUnpacker::~ArchiveUnpacker()
{
    stop();
}

void ArchiveUnpacker::stop()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mClosed = true;
        mQueue.clear();
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
}

void ArchiveUnpacker::fileArrived(const QString &localPath)
{
    const FileObject *archive = mEarly.value(QDir::cleanPath(localPath));
    if (!archive)
        return;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mClosed || mQueue.contains(archive) || mHandled.contains(archive))
            return;
        mQueue.append(archive);
        if (!mThread.joinable())
            mThread = std::thread([this] { work(); });
    }
    mWake.notify_all();
}

void ArchiveUnpacker::work()
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWake.wait(lock, [this] { return mClosed || !mQueue.isEmpty(); });
        if (mQueue.isEmpty())
            return;
        const FileObject *archive = mQueue.takeFirst();
        mHandled.append(archive);
        lock.unlock();
        const bool ok = mInstallation.unpackArchive(*archive, mDownloadDir);
        lock.lock();
        mFailed = mFailed || !ok;
        ++mUnpackedEarly;
    }
}

bool ArchiveUnpacker::finish()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mClosed = true;
    }
    mWake.notify_all();
    // What was queued is still unpacked: the thread ends on an empty queue.
    if (mThread.joinable())
        mThread.join();
    bool ok = !mFailed;
    for (const FileObject *archive : qAsConst(mArchives)) {
        if (!mHandled.contains(archive))
            ok = mInstallation.unpackArchive(*archive, mDownloadDir) && ok;
    }
    return ok;
}

int ArchiveUnpacker::unpackedEarly() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mUnpackedEarly;
}
