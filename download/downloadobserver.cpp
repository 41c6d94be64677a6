#include "downloadobserver.h"

#include "veldownloadaction.h"

QList<QMetaObject::Connection> DownloadObserver::connectTo(VelDownloadAction *action) const
{
    QObject *receiver = mReceiver;
    if (!receiver || !action)
        return {};
    return {
        QObject::connect(action, &VelDownloadAction::actionProgress, receiver, mActionProgress),
        QObject::connect(action, &VelDownloadAction::started, receiver, mStarted),
        QObject::connect(action, &VelDownloadAction::finished, receiver, mFinished),
    };
}
