#pragma once

#include "downloadtimings.h"

#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QThread>

#include <memory>

class FileObject;
class TemporaryFileSink;
class QNetworkAccessManager;
class QNetworkCookieJar;

// Fetches one file, the desktop installer the store offers, into a folder on
// the local disk, in a thread of its own, with the cookies of the store page.
//
// The bytes go to "<name>.tmp" beside the target; only a complete answer
// (no network error, status 200) replaces the target and is reported with
// FileDownloaded. Any other end removes the partial file, leaves an earlier
// file of that name alone and is reported with downloadFailed.
//
// The object itself stays in the thread that created it; its slots are
// connected directly to the network objects, which live in the download
// thread, so they run there. After the transfer the thread idles in its
// event loop until stop() or destruction.
class PCAppDownloadThread : public QThread
{
    Q_OBJECT

public:
    // fileEntry gives the URL, and the file name in its destinationPath (as
    // the bridge builds it); only the last part of that name is used, so the
    // file always lands inside destinationFolder. cookieJar is shared, not
    // taken over; it must outlive the thread's run.
    PCAppDownloadThread(const QString &threadName, const QString &destinationFolder, QNetworkCookieJar *cookieJar,
                        const FileObject *fileEntry);
    ~PCAppDownloadThread() override;

    QString threadName() const { return mThreadName; }
    QString destinationFolder() const { return mDestinationFolder; }
    QString url() const { return mUrl; }
    QString fileName() const { return mFileName; }
    // Where the file lands: destinationFolder joined with the safe file name.
    QString destinationFilePath() const;
    // inactivityLimitMs ends a transfer that receives nothing for that long
    // (a stalled server must not keep the download open for ever). Set
    // before start().
    void setTimings(const DownloadTimings &timings) { mTimings = timings; }

    // Ends the thread's event loop, abandoning an unfinished transfer, and
    // waits for the thread to end.
    void stop();

signals:
    // The file is complete at destinationFilePath().
    void FileDownloaded(QString aThreadName);
    // Bytes received so far.
    void bytesDownloaded(qint64 inBytes);
    // The download failed: a network error code (QNetworkReply), 299 for an
    // answer other than 200, or 907 when the file could not be written.
    void downloadFailed(int code, QString message);

public slots:
    void replyFinished(QNetworkReply *qReply);
    void progressDownload(qint64 bytesReceived, qint64 bytesTotal);
    void dataRead();
    void connectionError(QNetworkReply::NetworkError code);
    void downloadCompleted();

protected:
    void run() override;

private:
    void startTransfer();
    void endTransfer(int code, const QString &message, qint64 expectedLength = -1);
    void reportFailure(int code, const QString &message);

    QNetworkAccessManager *mNetworkManager = nullptr;
    QPointer<QNetworkReply> mReply;
    std::unique_ptr<TemporaryFileSink> mSink;
    QString mThreadName;
    QString mDestinationFolder;
    QString mUrl;
    QString mFileName;

    QPointer<QNetworkCookieJar> mCookieJar;
    DownloadTimings mTimings;
};
