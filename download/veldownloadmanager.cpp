#include "veldownloadmanager.h"

#include "veldownloadaction.h"

#include <QDebug>
#include <QMetaType>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>

namespace {

// Bytes a reply may hold before the network stops reading: keeps memory flat
// when the disk is slower than the network.
constexpr qint64 kReplyReadBufferSize = 4 * 1024 * 1024;

void registerMetaTypes()
{
    qRegisterMetaType<VelDownloadAction *>("VelDownloadAction*");
    qRegisterMetaType<QNetworkReply::NetworkError>("QNetworkReply::NetworkError");
}

} // namespace

// mLock held for the whole of a slot, with the holding thread remembered.
class VelDownloadManager::LockedSection
{
public:
    explicit LockedSection(VelDownloadManager *manager)
        : mManager(manager)
    {
        mManager->mLock.lock();
        mManager->mLockHolder.storeRelease(QThread::currentThread());
    }
    ~LockedSection()
    {
        mManager->mLockHolder.storeRelease(nullptr);
        mManager->mLock.unlock();
    }
    LockedSection(const LockedSection &) = delete;
    LockedSection &operator=(const LockedSection &) = delete;

private:
    VelDownloadManager *mManager;
};

VelDownloadManager::VelDownloadManager(QNetworkAccessManager *networkManager, QObject *parent)
    : QObject(parent)
{
    registerMetaTypes();
    if (networkManager) {
        mNetworkManager = networkManager;
    } else {
        mNetworkManager = new QNetworkAccessManager(this);
        mOwnsNetworkManager = true;
    }
    connect(mNetworkManager, &QNetworkAccessManager::finished, this, &VelDownloadManager::urlDownloaded);
}

VelDownloadManager::~VelDownloadManager()
{
    LockedSection section(this);
    for (VelDownloadAction *action : qAsConst(mActionSlots)) {
        action->setActive(false);
        releaseAction(action);
    }
    // Replies of a shared network manager outlive this manager: stop them.
    for (QNetworkReply *reply : qAsConst(mDownloadSlots))
        retireReply(reply);
    mActionSlots.clear();
    mDownloadSlots.clear();
    mQueue.clear();
    // A worker still waiting would wait for ever, on a destroyed object.
    mShuttingDown = true;
    mAllDone.wakeAll();
    while (mWaiters > 0)
        mWaitersLeft.wait(&mLock);
    if (mNetworkManager)
        disconnect(mNetworkManager, nullptr, this, nullptr);
    // An owned network manager is a child and goes with this object.
}

void VelDownloadManager::waitForAll()
{
    if (QThread::currentThread() == thread()) {
        // The batch runs in this very thread's event loop: waiting here
        // would never end.
        qWarning() << "VelDownloadManager::waitForAll called from the manager's own thread";
        return;
    }
    QMutexLocker locker(&mLock);
    ++mWaiters;
    while (!mWakePending && !mShuttingDown)
        mAllDone.wait(&mLock);
    --mWaiters;
    if (mShuttingDown)
        mWaitersLeft.wakeAll();
    else
        mWakePending = false;
}

bool VelDownloadManager::deferIfReentered(const std::function<void()> &call)
{
    if (mLockHolder.loadAcquire() != QThread::currentThread())
        return false;
    QMetaObject::invokeMethod(this, call, Qt::QueuedConnection);
    return true;
}

void VelDownloadManager::enqueueUrl(VelDownloadAction *action)
{
    if (!action)
        return;
    QPointer<VelDownloadAction> guarded(action);
    if (deferIfReentered([this, guarded] {
            if (guarded)
                enqueueUrl(guarded);
        })) {
        return;
    }
    LockedSection section(this);
    if (mBatchAbandoned) {
        qDebug() << "*** Download not started, the batch was abandoned: " << action->url().toString();
        return;
    }
    if (action->thread() != thread()) {
        // Its slots would wait for a thread that is blocked in waitForAll().
        qDebug() << "*** Download action not moved to the download thread: " << action->url().toString();
        return;
    }
    if (mActionSlots.contains(action) || mQueue.contains(action)) {
        qDebug() << "*** Download action queued twice: " << action->url().toString();
        return;
    }
    if (mQueue.isEmpty() && mDownloadSlots.size() < mMaxSlots)
        startDownload(action);
    else
        mQueue.append(action);
}

void VelDownloadManager::connectionError(QNetworkReply::NetworkError code)
{
    qDebug() << "VelDownloadManager::connectionError during download. Error code= " << int(code);
}

void VelDownloadManager::waitingSlot()
{
    if (deferIfReentered([this] { waitingSlot(); }))
        return;
    LockedSection section(this);
    if (mDownloadSlots.isEmpty() && mQueue.isEmpty()) {
        mBatchAbandoned = false;
        mBatchClosed = false;
        wakeWaiters();
    } else {
        mBatchClosed = true;
    }
}

void VelDownloadManager::urlDownloaded(QNetworkReply *reply)
{
    if (!reply)
        return;
    QPointer<QNetworkReply> guarded(reply);
    if (deferIfReentered([this, guarded] {
            if (guarded)
                urlDownloaded(guarded);
        })) {
        return;
    }
    LockedSection section(this);
    // Replies of other users of a shared network manager, and late
    // notifications of replies already retired, end here.
    const int index = mDownloadSlots.indexOf(reply);
    if (index < 0)
        return;

    VelDownloadAction *action = mActionSlots.at(index);
    if (action->reply() != reply) {
        qDebug() << "GREAT PROBLEM WITH THE ACTION!!";
        qDebug() << "\tBad alignement between mDownloadSlots and mActionSlots";
        qDebug() << "\treply: " << reply->url().toString();
        qDebug() << "\taction: " << action->url().toString();
    } else if (action->getActionError() == 0) {
        // Whatever is still buffered in the reply belongs to the file.
        action->storeAvailableData();
    }

    action->captureReplyInfo();
    action->checkReceivedLength();
    action->setActive(false);
    action->finishAction();
    retireReply(reply);
    releaseAction(action);
    mDownloadSlots.removeAt(index);
    mActionSlots.removeAt(index);

    const QString url = action->url().toString();
    if (action->hasFailed()) {
        qDebug() << "*** Error downloading file: " << url;
        if (action->retriesLeft() < 1) {
            qDebug() << "*** No more autoretry attempt, stopping all downloads in progress!";
            dropBatch();
        } else {
            qDebug() << "*** Autoretry (" << action->retriesLeft() << ") downloading file: " << url;
            startDownload(action);
        }
        return;
    }

    qDebug() << "- Download completed: " << url;
    if (!mQueue.isEmpty()) {
        startDownload(mQueue.takeFirst());
    } else if (mDownloadSlots.isEmpty()) {
        qDebug() << "- All download has been completed!";
        batchEnded();
    }
}

void VelDownloadManager::dropBatch()
{
    for (VelDownloadAction *other : qAsConst(mActionSlots)) {
        QNetworkReply *otherReply = other->reply();
        other->setActive(false);
        releaseAction(other);
        if (otherReply)
            retireReply(otherReply);
    }
    mActionSlots.clear();
    mDownloadSlots.clear();
    mQueue.clear();
    if (mBatchClosed) {
        mBatchClosed = false;
        wakeWaiters();
    } else {
        mBatchAbandoned = true;
    }
}

void VelDownloadManager::abandonBatch()
{
    if (deferIfReentered([this] { abandonBatch(); }))
        return;
    LockedSection section(this);
    if (mActionSlots.isEmpty() && mQueue.isEmpty() && !mBatchClosed)
        return;
    qDebug() << "*** Downloads stopped, the batch was abandoned";
    dropBatch();
}

void VelDownloadManager::actionErrorReceived(VelDownloadAction *action)
{
    if (action)
        urlDownloaded(action->reply());
}

void VelDownloadManager::startDownload(VelDownloadAction *action)
{
    if (mDownloadSlots.size() >= mMaxSlots)
        return;
    if (!mNetworkManager) {
        qDebug() << "*** No network manager left, download not started: " << action->url().toString();
        if (mDownloadSlots.isEmpty() && mQueue.isEmpty())
            batchEnded();
        return;
    }

    QNetworkRequest request(action->url());
    // A redirection is an answer other than 200 and fails the attempt.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    action->prepareRequest(request);
    QNetworkReply *reply = mNetworkManager->get(request);
    reply->setReadBufferSize(kReplyReadBufferSize);

    mActionSlots.append(action);
    mDownloadSlots.append(reply);
    action->attachReply(reply);
    connect(action, &VelDownloadAction::actionError, this, &VelDownloadManager::actionErrorReceived,
            Qt::UniqueConnection);
    // Connected before arm() so that the observer also hears the start.
    action->connectObserver();
    action->setTimings(mTimings);
    action->arm();
}

void VelDownloadManager::releaseAction(VelDownloadAction *action)
{
    action->detachReply();
    disconnect(action, &VelDownloadAction::actionError, this, &VelDownloadManager::actionErrorReceived);
    action->disconnectObserver();
}

void VelDownloadManager::retireReply(QNetworkReply *reply)
{
    // Only a transfer still under way is aborted (the watchdog's, a local
    // failure's). A reply that has finished or already reported its error
    // has ended: aborting it would report a second error, which Qt refuses
    // with a warning; its deletion releases the connection.
    const bool running = !reply->isFinished() && reply->error() == QNetworkReply::NoError;
    // abort() finishes the reply on the spot, and its finished must not come
    // back into the manager while the lock is held: abort from the event
    // loop. The late finished is then ignored (the reply has left the slots).
    if (running) {
        QPointer<QNetworkReply> guarded(reply);
        QMetaObject::invokeMethod(
            reply,
            [guarded] {
                if (guarded && !guarded->isFinished() && guarded->error() == QNetworkReply::NoError)
                    guarded->abort();
            },
            Qt::QueuedConnection);
    }
    reply->deleteLater();
}

void VelDownloadManager::batchEnded()
{
    if (mBatchClosed) {
        mBatchClosed = false;
        wakeWaiters();
    }
}

void VelDownloadManager::wakeWaiters()
{
    mWakePending = true;
    mAllDone.wakeAll();
}
