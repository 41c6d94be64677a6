#pragma once

#include "downloadtimings.h"

#include <QAtomicPointer>
#include <QList>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QWaitCondition>

#include <functional>

class QThread;
class VelDownloadAction;

// Runs download actions one after the other for a worker thread, with up to
// four attempts each; abandons the batch when an action has used them all.
//
// A batch, as the worker sends it by queued signals: enqueueUrl() once per
// action (each moved to the manager's thread first), then waitingSlot(),
// then the worker blocks in waitForAll() until the batch is over. The
// manager owns neither the actions nor the network manager it is given.
class VelDownloadManager : public QObject
{
    Q_OBJECT

public:
    // Without a network manager it creates and owns a plain one. The given
    // one may be shared with other users (the store page): replies that are
    // not the manager's own are left alone.
    explicit VelDownloadManager(QNetworkAccessManager *networkManager = nullptr, QObject *parent = nullptr);
    ~VelDownloadManager() override;

    QNetworkAccessManager *networkManager() const { return mNetworkManager.data(); }
    // Watchdog timings handed to each action when it starts.
    DownloadTimings timings() const { return mTimings; }
    void setTimings(const DownloadTimings &timings) { mTimings = timings; }

    // Blocks the calling (worker) thread until the batch it closed with
    // waitingSlot() is over; returns at once when that already happened.
    // Also returns when the manager is destroyed, which waits for it.
    void waitForAll();

    // Stops the running batch as if it had failed: transfers are cut, queued
    // actions dropped, the waiting worker released. For leaving the program
    // while a card update runs.
    void abandonBatch();

public slots:
    void enqueueUrl(VelDownloadAction *action);
    void connectionError(QNetworkReply::NetworkError code);
    // Closes the batch: from here on its end wakes the waiter (at once when
    // nothing is left to do).
    void waitingSlot();

private slots:
    void urlDownloaded(QNetworkReply *reply);
    void actionErrorReceived(VelDownloadAction *action);

private:
    class LockedSection;

    // True when this thread already holds mLock (a signal of an action or
    // an observer came back into the manager); the call is then deferred.
    bool deferIfReentered(const std::function<void()> &call);

    // These run with mLock held.
    void startDownload(VelDownloadAction *action);
    void releaseAction(VelDownloadAction *action);
    void retireReply(QNetworkReply *reply);
    void batchEnded();
    void dropBatch();
    void wakeWaiters();

    int mMaxSlots = 1;
    bool mOwnsNetworkManager = false;
    // Guarded: a shared network manager may be destroyed first.
    QPointer<QNetworkAccessManager> mNetworkManager;
    QList<QNetworkReply *> mDownloadSlots;
    QList<VelDownloadAction *> mActionSlots;
    QList<VelDownloadAction *> mQueue;
    QWaitCondition mAllDone;
    // Workers inside waitForAll(), and their way out on destruction.
    int mWaiters = 0;
    bool mShuttingDown = false;
    QWaitCondition mWaitersLeft;
    QMutex mLock;
    QAtomicPointer<QThread> mLockHolder;

    DownloadTimings mTimings;
    // A wake-up issued while no worker was waiting yet; waitForAll()
    // consumes it.
    bool mWakePending = false;
    // waitingSlot() came while the batch was still running.
    bool mBatchClosed = false;
    // The batch was abandoned before its waitingSlot() arrived: the rest of
    // its actions are still on their way and must not start.
    bool mBatchAbandoned = false;
};
