#include "actionobserver.h"

#include "veldownloadaction.h"

qint64 ActionObserver::total() const
{
    qint64 sum = 0;
    for (qint64 delta : deltas)
        sum += delta;
    return sum;
}

void ActionObserver::actionProgress(qint64 bytesReceived)
{
    deltas.append(bytesReceived);
}

void ActionObserver::started(VelDownloadAction *)
{
    ++startedCount;
}

void ActionObserver::finished(VelDownloadAction *action)
{
    ++finishedCount;
    finishedCodes.append(action->getActionError());
}
