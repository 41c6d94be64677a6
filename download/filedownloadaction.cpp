#include "filedownloadaction.h"

#include <QDebug>

namespace {
constexpr int kReadChunk = 256 * 1024;
}

FileDownloadAction::FileDownloadAction(const QUrl &url, const QString &destinationPath,
                                       const DownloadObserver &observer, QObject *parent)
    : VelDownloadAction(url, observer, parent)
    , mSink(destinationPath)
{
}

// Destroyed in the middle of a transfer, the sink removes its ".tmp" file.
FileDownloadAction::~FileDownloadAction() = default;

void FileDownloadAction::startAction()
{
    if (!mSink.open()) {
        qDebug() << "*** Unable to open the temporary file: " << temporaryPath() << mSink.errorString();
        // The manager is still inside arm(); fail from the event loop.
        failActionLater(ErrorWritingDownloadedFile);
    }
    emit started(this);
}

void FileDownloadAction::storeAvailableData()
{
    QNetworkReply *source = reply();
    if (!mSink.isStarted() || !source || !source->isReadable())
        return;
    if (mReadBuffer.size() < kReadChunk)
        mReadBuffer.resize(kReadChunk);
    while (source->bytesAvailable() > 0) {
        const qint64 count = source->read(mReadBuffer.data(), mReadBuffer.size());
        if (count <= 0)
            break;
        addReceivedBytes(count);
        if (mSink.hasFailed())
            continue;
        if (!mSink.write(mReadBuffer.constData(), count)) {
            qDebug() << "*** Unable to write the temporary file: " << temporaryPath() << mSink.errorString();
            failActionLater(ErrorWritingDownloadedFile);
        }
    }
}

void FileDownloadAction::finishAction()
{
    if (!mSink.isStarted())
        return;

    if (getActionError() != 0 || httpStatus().toInt() != 200) {
        mSink.discard();
    } else {
        // The manager has compared the announced length with the bytes
        // received (checkReceivedLength), for every kind of action.
        switch (mSink.commit()) {
        case TemporaryFileSink::Outcome::Committed:
            break;
        case TemporaryFileSink::Outcome::RenameFailed:
            qDebug() << "*** Unable to move the downloaded file to: " << destinationPath() << mSink.errorString();
            setErrorCode(ErrorWritingDownloadedFile);
            break;
        case TemporaryFileSink::Outcome::WriteFailed:
        case TemporaryFileSink::Outcome::WrongLength:
            // Bytes were lost on the way to the disk: never report the file
            // as complete.
            setErrorCode(ErrorWritingDownloadedFile);
            break;
        }
    }
    emit finished(this);
}
