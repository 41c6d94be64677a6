#include "veldownloadaction.h"

#include "announcedlength.h"

#include <QDebug>
#include <QTimer>

VelDownloadAction::VelDownloadAction(const QUrl &url, const DownloadObserver &observer, QObject *parent)
    : QObject(parent)
    , mUrl(url)
    , mObserver(observer)
    , mWatchdog(new QTimer(this))
{
    // One pending step at a time: a restarted attempt restarts the same
    // timer instead of starting a second chain of checks.
    mWatchdog->setSingleShot(true);
    connect(mWatchdog, &QTimer::timeout, this, &VelDownloadAction::checkConnectionStatus);
}

VelDownloadAction::~VelDownloadAction() = default;

void VelDownloadAction::setActive(bool active)
{
    mActive = active;
    if (!mActive)
        mWatchdog->stop();
}

void VelDownloadAction::attachReply(QNetworkReply *reply)
{
    detachReply();
    if (!reply)
        return;
    mReply = reply;
    mReadyReadConnection = connect(reply, &QNetworkReply::readyRead, this, &VelDownloadAction::actionReadyRead);
    mProgressConnection = connect(reply, &QNetworkReply::downloadProgress, this, &VelDownloadAction::downloadProgress);
    mErrorConnection = connect(reply, &QNetworkReply::errorOccurred, this, &VelDownloadAction::connectionError);
}

void VelDownloadAction::detachReply()
{
    disconnect(mReadyReadConnection);
    disconnect(mProgressConnection);
    disconnect(mErrorConnection);
    mReply = nullptr;
}

void VelDownloadAction::connectObserver()
{
    disconnectObserver();
    mObserverConnections = mObserver.connectTo(this);
}

void VelDownloadAction::disconnectObserver()
{
    for (const QMetaObject::Connection &connection : qAsConst(mObserverConnections))
        disconnect(connection);
    mObserverConnections.clear();
}

void VelDownloadAction::prepareRequest(QNetworkRequest &)
{
}

bool VelDownloadAction::statusAccepted() const
{
    const int status = mHttpStatus.toInt();
    return status == 200 || (status == 206 && mPartialAnswerAccepted);
}

void VelDownloadAction::captureReplyInfo()
{
    if (!mReply)
        return;
    mContentType = mReply->header(QNetworkRequest::ContentTypeHeader);
    mHttpStatus = mReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
}

void VelDownloadAction::checkReceivedLength()
{
    if (!mReply || mErrorCode != 0 || !statusAccepted())
        return;
    const qint64 length = announcedLength(*mReply);
    if (length >= 0 && mReceivedBytes != length) {
        qDebug() << "*** Incomplete download, bytes received: " << mReceivedBytes << " of " << length
                 << " from: " << mUrl.toString();
        mErrorCode = QNetworkReply::RemoteHostClosedError;
        // Fewer bytes than announced: the start of the answer, cut short.
        mInterrupted = mReceivedBytes < length;
        return;
    }
    // A short body without a length, an error page sent as 200, an empty
    // answer: none of them is the file the manifest describes.
    if (mExpectedSize > 0 && bytesOnHand() != mExpectedSize) {
        qDebug() << "*** Wrong size, bytes received: " << bytesOnHand() << " of " << mExpectedSize
                 << " from: " << mUrl.toString();
        mErrorCode = FileWithWrongSize;
    }
}

void VelDownloadAction::arm()
{
    --mRetriesLeft;
    ++mAttempt;
    mReceivedBytes = 0;
    mAttemptBytes = 0;
    mAttemptClock.start();
    mRateSamples = { { 0, 0 } };
    mPartialAnswerAccepted = false;
    mProgressOffset = 0;
    mInterrupted = false;
    mLastActivity.start();
    mActive = true;
    mErrorCode = 0;
    mHttpStatus = 200;
    // The first watchdog step. Nothing can have timed out yet, so this is
    // what checkConnectionStatus() would do now; it also keeps arm() from
    // ever failing the action while the manager is inside this call.
    mWatchdog->start(mTimings.watchdogIntervalMs);
    startAction();
}

bool VelDownloadAction::hasFailed()
{
    const bool failed = !statusAccepted() || mErrorCode != 0;
    // A full disk or a wrong checksum is no transfer problem: say so.
    const bool ownCause = mErrorCode == ErrorWritingDownloadedFile || mErrorCode == ErrorChecksumMismatch;
    if (failed && mExpectedSize > 0 && !ownCause)
        mErrorCode = FileWithWrongSize;
    return failed;
}

void VelDownloadAction::actionReadyRead()
{
    mLastActivity.start();
    storeAvailableData();
}

void VelDownloadAction::downloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesTotal)
    // Not reset between attempts: a retry starts again from 0, and the
    // negative delta takes back what the failed attempt had reported, so the
    // deltas always add up to the bytes of the current attempt.
    // A resumed attempt reports the bytes it did not have to fetch again.
    const qint64 total = bytesReceived + mProgressOffset;
    emit actionProgress(total - mLastReportedBytes);
    mLastReportedBytes = total;
    mAttemptBytes = bytesReceived;
}

void VelDownloadAction::acceptPartialAnswer(qint64 offset)
{
    mPartialAnswerAccepted = true;
    mProgressOffset = offset;
}

void VelDownloadAction::connectionError(QNetworkReply::NetworkError error)
{
    mInterrupted = true;
    failAction(ParseError(error));
}

ParseError VelDownloadAction::getActionError() const
{
    return mErrorCode;
}

bool VelDownloadAction::errorOccour() const
{
    return mErrorCode != 0;
}

void VelDownloadAction::checkConnectionStatus()
{
    if (mErrorCode != 0 || !mActive)
        return;
    if (mLastActivity.elapsed() > mTimings.inactivityLimitMs) {
        qDebug() << "*** time out elapsed for action: " << mUrl.toString();
        mInterrupted = true;
        failAction(TimeoutConnectionElapsed);
        return;
    }
    if (checkTransferRate())
        return;
    mWatchdog->start(mTimings.watchdogIntervalMs);
}

bool VelDownloadAction::checkTransferRate()
{
    const qint64 now = mAttemptClock.elapsed();
    const qint64 bytes = qMax(mAttemptBytes, mReceivedBytes);
    mRateSamples.append({ now, bytes });
    // The newest sample that lies a whole window back; older ones are no
    // longer needed.
    int baseline = -1;
    for (int i = 0; i < mRateSamples.size() && now - mRateSamples.at(i).elapsedMs >= mTimings.minimumRateWindowMs; ++i)
        baseline = i;
    if (baseline < 0)
        return false;
    mRateSamples.remove(0, baseline);
    const RateSample &from = mRateSamples.first();
    const qint64 span = now - from.elapsedMs;
    if ((bytes - from.bytes) * 1000 >= mTimings.minimumBytesPerSecond * span)
        return false;
    qDebug() << "*** transfer too slow for action: " << mUrl.toString() << " bytes: " << (bytes - from.bytes)
             << " in ms: " << span;
    mInterrupted = true;
    failAction(TimeoutConnectionElapsed);
    return true;
}

void VelDownloadAction::failAction(ParseError code)
{
    qDebug() << "*** VelDownloadAction throws ConnectionError: " << code;
    mErrorCode = code;
    setActive(false);
    finishAction();
    emit actionError(this);
}

void VelDownloadAction::failActionLater(ParseError code)
{
    const quint64 attempt = mAttempt;
    QMetaObject::invokeMethod(
        this,
        [this, attempt, code] {
            if (attempt == mAttempt && mActive && mErrorCode == 0)
                failAction(code);
        },
        Qt::QueuedConnection);
}
