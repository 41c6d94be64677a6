#include "filedownloadaction.h"

#include <QDebug>
#include <QFile>

namespace {
constexpr int kReadChunk = 256 * 1024;
}

FileDownloadAction::FileDownloadAction(const QUrl &url, const QString &destinationPath,
                                       const DownloadObserver &observer, QObject *parent)
    : VelDownloadAction(url, observer, parent)
    , mSink(destinationPath)
{
}

FileDownloadAction::~FileDownloadAction()
{
    if (!mSink.isStarted())
        return;
    if (partialWorthKeeping()) {
        mSink.keep();
    } else {
        PartialDownload::forget(temporaryPath());
        mSink.discard();
    }
}

void FileDownloadAction::setExpectedMd5(const QByteArray &md5)
{
    mExpectedMd5 = md5.toLower();
    mSink.setHashing(!mExpectedMd5.isEmpty());
}

PartialDownload::Source FileDownloadAction::partialSource() const
{
    return PartialDownload::Source { url(), expectedSize(), mExpectedMd5 };
}

void FileDownloadAction::prepareRequest(QNetworkRequest &request)
{
    mResumeOffset = PartialDownload::resumableSize(temporaryPath(), partialSource());
    if (mResumeOffset <= 0)
        return;
    request.setRawHeader("Range", "bytes=" + QByteArray::number(mResumeOffset) + '-');
    // A range of a compressed answer is not a range of the file.
    request.setRawHeader("Accept-Encoding", "identity");
}

void FileDownloadAction::startAction()
{
    mAnswer = Answer::Unchecked;
    mResumable = mResumeOffset > 0;
    const bool opened = mResumable ? mSink.openToResume() : mSink.open();
    if (!opened) {
        qDebug() << "*** Unable to open the temporary file: " << temporaryPath() << mSink.errorString();
        mResumable = false;
        // The manager is still inside arm(); fail from the event loop.
        failActionLater(ErrorWritingDownloadedFile);
    }
    emit started(this);
}

bool FileDownloadAction::rangeContinuesFile(const QNetworkReply &source) const
{
    // "bytes <first>-<last>/<total>": exactly the rest of the file.
    const QByteArray range = source.rawHeader("Content-Range").trimmed();
    if (!range.startsWith("bytes "))
        return false;
    const int dash = range.indexOf('-');
    const int slash = range.indexOf('/');
    if (dash < 0 || slash < dash)
        return false;
    bool ok[3] = {};
    const qint64 first = range.mid(6, dash - 6).toLongLong(&ok[0]);
    const qint64 last = range.mid(dash + 1, slash - dash - 1).toLongLong(&ok[1]);
    const qint64 total = range.mid(slash + 1).toLongLong(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2])
        return false;
    return first == mResumeOffset && last == total - 1 && (expectedSize() <= 0 || total == expectedSize());
}

void FileDownloadAction::checkAnswer(QNetworkReply &source)
{
    const int status = source.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool takesRanges = source.rawHeader("Accept-Ranges").trimmed().toLower() == "bytes";
    if (status == 206 && mResumeOffset > 0) {
        if (rangeContinuesFile(source) && mSink.acceptPartial()) {
            qDebug() << "- Download resumed at byte " << mResumeOffset << ": " << url().toString();
            acceptPartialAnswer(mResumeOffset);
            mAnswer = Answer::Writing;
            return;
        }
        // Not the part asked for: the next attempt starts the file over.
        qDebug() << "*** Wrong Content-Range " << QString::fromLatin1(source.rawHeader("Content-Range"))
                 << " for byte " << mResumeOffset << " of: " << url().toString();
        mAnswer = Answer::Ignored;
        mResumable = false;
        failActionLater(FileWithWrongSize);
        return;
    }
    if (status == 200) {
        if (mResumeOffset > 0 && !mSink.restart()) {
            mAnswer = Answer::Ignored;
            mResumable = false;
            failActionLater(ErrorWritingDownloadedFile);
            return;
        }
        mAnswer = Answer::Writing;
        // Recorded now, so that even a crash leaves a partial file that a
        // later run can recognise.
        mResumable = takesRanges && PartialDownload::record(temporaryPath(), partialSource());
        if (!mResumable)
            PartialDownload::forget(temporaryPath());
        return;
    }
    // An error page, a redirection: none of it belongs in the file, and a
    // partial file already there stays as it was.
    mAnswer = Answer::Ignored;
}

void FileDownloadAction::storeAvailableData()
{
    QNetworkReply *source = reply();
    if (!mSink.isStarted() || !source || !source->isReadable())
        return;
    if (mAnswer == Answer::Unchecked)
        checkAnswer(*source);
    if (mReadBuffer.size() < kReadChunk)
        mReadBuffer.resize(kReadChunk);
    while (source->bytesAvailable() > 0) {
        const qint64 count = source->read(mReadBuffer.data(), mReadBuffer.size());
        if (count <= 0)
            break;
        addReceivedBytes(count);
        if (mAnswer != Answer::Writing || mSink.hasFailed())
            continue;
        if (!mSink.write(mReadBuffer.constData(), count)) {
            qDebug() << "*** Unable to write the temporary file: " << temporaryPath() << mSink.errorString();
            failActionLater(ErrorWritingDownloadedFile);
        }
    }
}

bool FileDownloadAction::partialWorthKeeping() const
{
    if (!mResumable || mSink.hasFailed() || mSink.size() <= 0)
        return false;
    return expectedSize() <= 0 || mSink.size() < expectedSize();
}

void FileDownloadAction::finishAction()
{
    if (!mSink.isStarted())
        return;

    // The local disk failed, whatever the network did meanwhile.
    if (mSink.hasFailed())
        setErrorCode(ErrorWritingDownloadedFile);

    if (getActionError() != 0 || !statusAccepted()) {
        if (getActionError() == 0 || wasInterrupted()) {
            // Broken off, or an answer that wrote nothing: what is on disk is
            // still a good start of the file.
            if (partialWorthKeeping()) {
                mSink.keep();
                emit finished(this);
                return;
            }
        }
        PartialDownload::forget(temporaryPath());
        mSink.discard();
        emit finished(this);
        return;
    }

    if (!mExpectedMd5.isEmpty() && mSink.md5() != mExpectedMd5) {
        qDebug() << "*** Checksum mismatch, md5: " << QString::fromLatin1(mSink.md5()) << " expected: "
                 << QString::fromLatin1(mExpectedMd5) << " for: " << url().toString();
        setErrorCode(ErrorChecksumMismatch);
        PartialDownload::forget(temporaryPath());
        mSink.discard();
        emit finished(this);
        return;
    }

    // The manager has compared the announced length with the bytes
    // received (checkReceivedLength), for every kind of action.
    PartialDownload::forget(temporaryPath());
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
    emit finished(this);
}
