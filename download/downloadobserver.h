#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <cstddef>
#include <functional>

class VelDownloadAction;

// The object that hears a download action's progress, start and finish (the
// card update process), with the three of its slots that take them. Given as
// member pointers, so that a missing or mistyped slot fails to compile
// instead of leaving the observer silently unconnected. The download manager
// connects them for each attempt of the action.
class DownloadObserver
{
public:
    // No observer.
    DownloadObserver(std::nullptr_t = nullptr) { }
    template <typename Receiver>
    DownloadObserver(Receiver *receiver, void (Receiver::*actionProgress)(qint64),
                     void (Receiver::*started)(VelDownloadAction *), void (Receiver::*finished)(VelDownloadAction *))
        : mReceiver(receiver)
        , mActionProgress([receiver, actionProgress](qint64 bytes) { (receiver->*actionProgress)(bytes); })
        , mStarted([receiver, started](VelDownloadAction *action) { (receiver->*started)(action); })
        , mFinished([receiver, finished](VelDownloadAction *action) { (receiver->*finished)(action); })
    {
    }

    // Null when there is none or it has been destroyed.
    QObject *receiver() const { return mReceiver; }

    // Connects the action's actionProgress, started and finished to the
    // slots, delivered in the receiver's thread; nothing without a receiver.
    QList<QMetaObject::Connection> connectTo(VelDownloadAction *action) const;

private:
    QPointer<QObject> mReceiver;
    std::function<void(qint64)> mActionProgress;
    std::function<void(VelDownloadAction *)> mStarted;
    std::function<void(VelDownloadAction *)> mFinished;
};
