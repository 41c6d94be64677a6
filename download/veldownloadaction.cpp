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

void VelDownloadAction::captureReplyInfo()
{
    if (!mReply)
        return;
    mContentType = mReply->header(QNetworkRequest::ContentTypeHeader);
    mHttpStatus = mReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
}

void VelDownloadAction::checkReceivedLength()
{
    if (!mReply || mErrorCode != 0 || mHttpStatus.toInt() != 200)
        return;
    const qint64 length = announcedLength(*mReply);
    if (length < 0 || mReceivedBytes == length)
        return;
    qDebug() << "*** Incomplete download, bytes received: " << mReceivedBytes << " of " << length
             << " from: " << mUrl.toString();
    mErrorCode = QNetworkReply::RemoteHostClosedError;
}

void VelDownloadAction::arm()
{
    --mRetriesLeft;
    ++mAttempt;
    mReceivedBytes = 0;
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
    const bool failed = mHttpStatus.toInt() != 200 || mErrorCode != 0;
    if (failed && mExpectedSize > 0)
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
    emit actionProgress(bytesReceived - mLastReportedBytes);
    mLastReportedBytes = bytesReceived;
}

void VelDownloadAction::connectionError(QNetworkReply::NetworkError error)
{
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
    if (mLastActivity.elapsed() <= mTimings.inactivityLimitMs) {
        mWatchdog->start(mTimings.watchdogIntervalMs);
        return;
    }
    qDebug() << "*** time out elapsed for action: " << mUrl.toString();
    failAction(TimeoutConnectionElapsed);
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
