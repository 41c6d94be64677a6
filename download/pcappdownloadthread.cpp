#include "pcappdownloadthread.h"

#include "announcedlength.h"
#include "errorcodes.h"
#include "fileobject.h"
#include "temporaryfilesink.h"

#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkRequest>

namespace {

// Bytes the reply may hold before the network stops reading: keeps memory
// flat when the disk is slower than the network.
constexpr qint64 kReplyReadBufferSize = 4 * 1024 * 1024;

// The name comes from the store page: keep only its last part, so that
// "../x" or an absolute path cannot place the file outside the folder.
QString safeFileName(const QString &name)
{
    const int separator = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const QString base = name.mid(separator + 1).trimmed();
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        return QString();
    return base;
}

} // namespace

PCAppDownloadThread::PCAppDownloadThread(const QString &threadName, const QString &destinationFolder,
                                         QNetworkCookieJar *cookieJar, const FileObject *fileEntry)
    : mThreadName(threadName)
    , mDestinationFolder(destinationFolder)
    , mCookieJar(cookieJar)
{
    if (fileEntry) {
        mUrl = fileEntry->url();
        mFileName = fileEntry->destinationPath();
    }
}

PCAppDownloadThread::~PCAppDownloadThread()
{
    stop();
}

QString PCAppDownloadThread::destinationFilePath() const
{
    const QString name = safeFileName(mFileName);
    return name.isEmpty() ? QString() : QDir(mDestinationFolder).filePath(name);
}

void PCAppDownloadThread::stop()
{
    quit();
    if (QThread::currentThread() != this)
        wait();
}

void PCAppDownloadThread::run()
{
    // The network manager lives in this thread and ends with it. The cookie
    // jar belongs to the store page: a manager of another thread does not
    // take it over, and it stays with its owner.
    QNetworkAccessManager networkManager;
    if (mCookieJar) {
        QObject *owner = mCookieJar->parent();
        networkManager.setCookieJar(mCookieJar);
        if (mCookieJar->parent() != owner)
            mCookieJar->setParent(owner);
    }
    mNetworkManager = &networkManager;
    connect(&networkManager, &QNetworkAccessManager::finished, this, &PCAppDownloadThread::replyFinished,
            Qt::DirectConnection);

    mSink.reset();
    startTransfer();
    exec();

    // Leaving before the end of the transfer: abort() finishes the reply at
    // once, which removes the partial file and reports the failure.
    if (mReply)
        mReply->abort();
    delete mReply;
    mSink.reset();
    disconnect(&networkManager, nullptr, this, nullptr);
    mNetworkManager = nullptr;
}

void PCAppDownloadThread::startTransfer()
{
    const QString target = destinationFilePath();
    if (target.isEmpty()) {
        reportFailure(ErrorWritingDownloadedFile, QStringLiteral("No file name for the download"));
        return;
    }
    const QUrl url(mUrl);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        reportFailure(QNetworkReply::ProtocolUnknownError, QStringLiteral("Not a web address: %1").arg(mUrl));
        return;
    }

    QDir().mkpath(mDestinationFolder);
    mSink = std::make_unique<TemporaryFileSink>(target);
    if (!mSink->open()) {
        const QString message =
            QStringLiteral("Unable to write %1: %2").arg(mSink->temporaryPath(), mSink->errorString());
        mSink.reset();
        reportFailure(ErrorWritingDownloadedFile, message);
        return;
    }

    QNetworkRequest request(url);
    request.setRawHeader("QtTidemart", "VelBrowser");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (mTimings.inactivityLimitMs > 0)
        request.setTransferTimeout(mTimings.inactivityLimitMs);
    QNetworkReply *reply = mNetworkManager->get(request);
    reply->setReadBufferSize(kReplyReadBufferSize);
    mReply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, &PCAppDownloadThread::progressDownload,
            Qt::DirectConnection);
    connect(reply, &QNetworkReply::readyRead, this, &PCAppDownloadThread::dataRead, Qt::DirectConnection);
    connect(reply, &QNetworkReply::errorOccurred, this, &PCAppDownloadThread::connectionError, Qt::DirectConnection);
    connect(reply, &QNetworkReply::finished, this, &PCAppDownloadThread::downloadCompleted, Qt::DirectConnection);
}

void PCAppDownloadThread::replyFinished(QNetworkReply *qReply)
{
    if (!qReply || qReply != mReply)
        return;
    dataRead();
    mReply = nullptr;
    qReply->deleteLater();

    const QNetworkReply::NetworkError error = qReply->error();
    const QVariant status = qReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (error != QNetworkReply::NoError) {
        endTransfer(error, qReply->errorString());
    } else if (status.toInt() != 200) {
        endTransfer(QNetworkReply::UnknownContentError,
                    QStringLiteral("The server answered with HTTP status %1").arg(status.toInt()));
    } else {
        endTransfer(0, QString(), announcedLength(*qReply));
    }
}

void PCAppDownloadThread::progressDownload(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesTotal)
    emit bytesDownloaded(bytesReceived);
}

void PCAppDownloadThread::dataRead()
{
    // An aborted reply is closed: nothing left to read.
    if (!mReply || !mSink || !mReply->isReadable())
        return;
    const QByteArray bytes = mReply->readAll();
    if (bytes.isEmpty() || mSink->hasFailed())
        return;
    if (!mSink->write(bytes.constData(), bytes.size())) {
        // Stop the transfer; its end reports the write failure.
        QMetaObject::invokeMethod(mReply.data(), &QNetworkReply::abort, Qt::QueuedConnection);
    }
}

void PCAppDownloadThread::connectionError(QNetworkReply::NetworkError code)
{
    qDebug() << "Connection Error in PCAppDownloadThread. Error code =" << int(code);
}

void PCAppDownloadThread::downloadCompleted()
{
}

void PCAppDownloadThread::endTransfer(int code, const QString &message, qint64 expectedLength)
{
    if (!mSink)
        return;
    const std::unique_ptr<TemporaryFileSink> sink = std::move(mSink);
    const QString writeFailure = QStringLiteral("Unable to write %1: %2");

    int result = code;
    QString text = message;
    if (code != 0 || sink->hasFailed()) {
        // Bytes lost on the way to the disk outweigh what the network said.
        if (sink->hasFailed()) {
            result = ErrorWritingDownloadedFile;
            text = writeFailure.arg(sink->temporaryPath(), sink->errorString());
        }
        sink->discard();
        reportFailure(result, text);
        return;
    }

    const qint64 received = sink->size();
    switch (sink->commit(expectedLength)) {
    case TemporaryFileSink::Outcome::Committed:
        emit FileDownloaded(mThreadName);
        return;
    case TemporaryFileSink::Outcome::WriteFailed:
        result = ErrorWritingDownloadedFile;
        text = writeFailure.arg(sink->temporaryPath(), sink->errorString());
        break;
    case TemporaryFileSink::Outcome::WrongLength:
        result = QNetworkReply::RemoteHostClosedError;
        text = QStringLiteral("The connection closed after %1 of %2 bytes").arg(received).arg(expectedLength);
        break;
    case TemporaryFileSink::Outcome::RenameFailed:
        result = ErrorWritingDownloadedFile;
        text = QStringLiteral("Unable to move the download to %1: %2")
                   .arg(sink->destinationPath(), sink->errorString());
        break;
    }
    reportFailure(result, text);
}

void PCAppDownloadThread::reportFailure(int code, const QString &message)
{
    qDebug() << "*** Installer download failed: " << code << message;
    emit downloadFailed(code, message);
}
