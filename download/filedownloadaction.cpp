#include "filedownloadaction.h"

#include <QDebug>
#include <QFile>

namespace {
constexpr int kReadChunk = 256 * 1024;
}

FileDownloadAction::FileDownloadAction(const QUrl &url, const QString &destinationPath, QObject *observer,
                                       QObject *parent)
    : VelDownloadAction(url, observer, parent)
    , mDestinationPath(destinationPath)
{
}

FileDownloadAction::~FileDownloadAction()
{
    // Destroyed in the middle of a transfer: leave nothing half written.
    if (mTempFile)
        discardTemporaryFile();
}

QString FileDownloadAction::temporaryPath() const
{
    return mDestinationPath + QStringLiteral(".tmp");
}

void FileDownloadAction::startAction()
{
    if (!mTempFile)
        mTempFile = new QFile(temporaryPath(), this);
    if (mTempFile->isOpen())
        mTempFile->close();
    mWriteFailed = false;
    // Unbuffered: the bytes come in large blocks already, and what has
    // arrived is on disk rather than in a second buffer.
    if (!mTempFile->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qDebug() << "*** Unable to open the temporary file: " << temporaryPath() << mTempFile->errorString();
        mWriteFailed = true;
        // The manager is still inside arm(); fail from the event loop.
        failActionLater(ErrorWritingDownloadedFile);
    }
    emit started(this);
}

void FileDownloadAction::storeAvailableData()
{
    QNetworkReply *source = reply();
    if (!mTempFile || !source || !source->isReadable())
        return;
    if (mReadBuffer.size() < kReadChunk)
        mReadBuffer.resize(kReadChunk);
    while (source->bytesAvailable() > 0) {
        const qint64 count = source->read(mReadBuffer.data(), mReadBuffer.size());
        if (count <= 0)
            break;
        addReceivedBytes(count);
        if (mWriteFailed)
            continue;
        if (mTempFile->write(mReadBuffer.constData(), count) != count) {
            qDebug() << "*** Unable to write the temporary file: " << temporaryPath() << mTempFile->errorString();
            mWriteFailed = true;
            failActionLater(ErrorWritingDownloadedFile);
        }
    }
}

void FileDownloadAction::finishAction()
{
    if (!mTempFile)
        return;

    if (mTempFile->isOpen() && !mTempFile->flush())
        mWriteFailed = true;
    mTempFile->close();

    bool succeeded = getActionError() == 0 && httpStatus().toInt() == 200;
    if (succeeded && mWriteFailed) {
        // Bytes were lost on the way to the disk: never report the file as
        // complete.
        setErrorCode(ErrorWritingDownloadedFile);
        succeeded = false;
    }
    if (succeeded) {
        if (QFile::exists(mDestinationPath))
            QFile::remove(mDestinationPath);
        if (!mTempFile->rename(mDestinationPath)) {
            qDebug() << "*** Unable to move the downloaded file to: " << mDestinationPath << mTempFile->errorString();
            setErrorCode(ErrorWritingDownloadedFile);
            succeeded = false;
        }
    }
    if (succeeded) {
        // The file object now names the destination; the next attempt, if
        // any, must start from a fresh ".tmp" file.
        delete mTempFile;
        mTempFile = nullptr;
    } else {
        discardTemporaryFile();
    }
    emit finished(this);
}

void FileDownloadAction::discardTemporaryFile()
{
    mTempFile->close();
    mTempFile->remove();
    delete mTempFile;
    mTempFile = nullptr;
}
