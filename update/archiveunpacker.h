#pragma once

#include <QDir>
#include <QList>
#include <QMap>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

class FileObject;
class Installation;

// Unpacks a run's archives in the download area on a thread of its own,
// each as soon as its download has ended well, while the next files still
// download (the network is the slow side). Nothing here touches the card.
//
// An archive whose folder in the download area would also receive another
// download waits for finish(), so that the files there end as they would
// with every download done first.
class ArchiveUnpacker
{
public:
    ArchiveUnpacker(Installation &installation, const QDir &downloadDir, const QList<FileObject *> &installList);
    ~ArchiveUnpacker();
    ArchiveUnpacker(const ArchiveUnpacker &) = delete;
    ArchiveUnpacker &operator=(const ArchiveUnpacker &) = delete;

    // From any thread: the download to localPath has ended well. Ignored for
    // files that are no archive of the list, and after finish().
    void fileArrived(const QString &localPath);

    // Waits for the archives under way and unpacks, in list order, those
    // that did not start early. False when one could not be unpacked (each
    // is still tried); the thread has ended when it returns.
    bool finish();

    // Drops what waits and ends the thread once the archive under way is
    // done (a run that failed before its archives were needed).
    void stop();

    // Archives unpacked while downloads were still running.
    int unpackedEarly() const;

private:
    void work();

    Installation &mInstallation;
    const QDir mDownloadDir;
    // Archives in list order, by their path in the download area.
    QList<const FileObject *> mArchives;
    QMap<QString, const FileObject *> mEarly;

    mutable std::mutex mMutex;
    std::condition_variable mWake;
    std::thread mThread;
    QList<const FileObject *> mQueue;
    QList<const FileObject *> mHandled;
    bool mClosed = false;
    bool mFailed = false;
    int mUnpackedEarly = 0;
};
