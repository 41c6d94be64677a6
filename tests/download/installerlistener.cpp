#include "installerlistener.h"

#include "pcappdownloadthread.h"

InstallerListener::InstallerListener(PCAppDownloadThread *thread)
{
    connect(thread, &PCAppDownloadThread::FileDownloaded, this, &InstallerListener::ThreadDownloadEnd);
    connect(thread, &PCAppDownloadThread::bytesDownloaded, this, &InstallerListener::notifyBytesDownloaded);
    connect(thread, &PCAppDownloadThread::downloadFailed, this, &InstallerListener::processErrorOnDownload);
}

void InstallerListener::ThreadDownloadEnd(const QString &threadName)
{
    completed.append(threadName);
}

void InstallerListener::notifyBytesDownloaded(qint64 bytes)
{
    lastBytes = bytes;
}

void InstallerListener::processErrorOnDownload(int code, const QString &message)
{
    failures.append({ code, message });
}
