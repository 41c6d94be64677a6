#pragma once

#include <QList>
#include <QThread>

#include <atomic>
#include <functional>

class VelDownloadAction;
class VelDownloadManager;

// A worker thread that hands a batch to the download manager the way the
// card update process does: it creates the actions in its own thread, moves
// them to the manager's thread, emits enqueueUrl for each and waitingSignal
// (queued), then blocks in waitForAll(). Optional hooks run in the worker
// right after waitForAll() returned, to look at the state it returned into.
class BatchWorker : public QThread
{
    Q_OBJECT

public:
    using ActionFactory = std::function<QList<VelDownloadAction *>()>;

    enum Mode {
        // enqueueUrl..., waitingSignal, waitForAll
        HandOverBatch,
        // only waitForAll (the batch was handed over by the test itself)
        WaitOnly,
    };

    BatchWorker(VelDownloadManager *manager, ActionFactory makeActions, Mode mode = HandOverBatch);
    ~BatchWorker() override;

    // Runs in the worker right after waitForAll() returned.
    void setAfterWait(std::function<void()> afterWait) { mAfterWait = std::move(afterWait); }
    // Set just before the worker calls waitForAll().
    bool isAboutToWait() const { return mAboutToWait.load(); }
    bool hasReturned() const { return mReturned.load(); }
    // The actions the factory made; deleted with the worker.
    QList<VelDownloadAction *> actions() const { return mActions; }

signals:
    void enqueueUrl(VelDownloadAction *action);
    void waitingSignal();

protected:
    void run() override;

private:
    VelDownloadManager *mManager;
    ActionFactory mMakeActions;
    Mode mMode;
    std::function<void()> mAfterWait;
    QList<VelDownloadAction *> mActions;
    std::atomic<bool> mAboutToWait { false };
    std::atomic<bool> mReturned { false };
};
