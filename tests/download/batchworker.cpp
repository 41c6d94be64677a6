#include "batchworker.h"

#include "veldownloadaction.h"
#include "veldownloadmanager.h"

BatchWorker::BatchWorker(VelDownloadManager *manager, ActionFactory makeActions, Mode mode)
    : mManager(manager)
    , mMakeActions(std::move(makeActions))
    , mMode(mode)
{
    connect(this, &BatchWorker::enqueueUrl, mManager, &VelDownloadManager::enqueueUrl);
    connect(this, &BatchWorker::waitingSignal, mManager, &VelDownloadManager::waitingSlot);
}

BatchWorker::~BatchWorker()
{
    wait();
    qDeleteAll(mActions);
}

void BatchWorker::run()
{
    if (mMode == HandOverBatch) {
        if (mMakeActions)
            mActions = mMakeActions();
        for (VelDownloadAction *action : qAsConst(mActions)) {
            action->moveToThread(mManager->thread());
            emit enqueueUrl(action);
        }
        emit waitingSignal();
    }
    mAboutToWait.store(true);
    mManager->waitForAll();
    if (mAfterWait)
        mAfterWait();
    mReturned.store(true);
}
