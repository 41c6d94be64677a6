#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

class DownloadManagerTest;
class PageNotifier;
class VelamarisClientBridge;
class VelDownloadManager;

// Runs the card updates the store page asks for, one at a time, each on a
// thread of its own whose phases go to the page. The last run stays until
// the next one replaces it.
class CardUpdateRunner : public QObject
{
    Q_OBJECT

public:
    CardUpdateRunner(VelDownloadManager *manager, VelamarisClientBridge *bridge, PageNotifier *notifier,
                     QObject *parent = nullptr);
    ~CardUpdateRunner() override;

    // Starts a run on the bridge's card, unless the card cannot be written
    // (the page hears so) or a run is still busy.
    void start(const QString &manifestUrl, const QString &manifest, bool ntEnabled, bool clEnabled, bool stEnabled);
    DownloadManagerTest *process() const { return mProcess; }

private:
    DownloadManagerTest *createProcess(const QString &manifestUrl, const QString &cardPath, bool ntEnabled,
                                       bool clEnabled, bool sonarEnabled) const;
    void connectProcess();
    void stopProcess();

    VelDownloadManager *mManager;
    VelamarisClientBridge *mBridge;
    PageNotifier *mNotifier;
    DownloadManagerTest *mProcess = nullptr;
    QList<QMetaObject::Connection> mConnections;
};
