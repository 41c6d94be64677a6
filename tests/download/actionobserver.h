#pragma once

#include <QList>
#include <QObject>

class VelDownloadAction;

// Stands in for the card update process as the observer of download actions:
// records what the actions report to it.
class ActionObserver : public QObject
{
    Q_OBJECT

public:
    QList<qint64> deltas;
    int startedCount = 0;
    int finishedCount = 0;
    // Error code of the action at each finished, in order.
    QList<int> finishedCodes;

    qint64 total() const;

public slots:
    void actionProgress(qint64 bytesReceived);
    void started(VelDownloadAction *action);
    void finished(VelDownloadAction *action);
};
