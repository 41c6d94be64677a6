#pragma once

#include <QObject>
#include <QPair>
#include <QStringList>

class PCAppDownloadThread;

// Plays the bridge for an installer download: lives in the main thread and
// records what the download thread reports (queued across threads).
class InstallerListener : public QObject
{
    Q_OBJECT

public:
    explicit InstallerListener(PCAppDownloadThread *thread);

    QStringList completed;
    QList<QPair<int, QString>> failures;
    qint64 lastBytes = -1;
    bool hasEnded() const { return !completed.isEmpty() || !failures.isEmpty(); }

public slots:
    void ThreadDownloadEnd(const QString &threadName);
    void notifyBytesDownloaded(qint64 bytes);
    void processErrorOnDownload(int code, const QString &message);
};
