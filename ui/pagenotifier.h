#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWebPage;
class VelamarisClientBridge;

// Tells the store page what a card update is doing: every phase, the
// progress and the outcome become a call of one of the page's functions
// (notifyStatusHandler, progressBarUpdateHandler, errorOnDownload).
class PageNotifier : public QObject
{
    Q_OBJECT

public:
    PageNotifier(QWebPage *page, VelamarisClientBridge *bridge, QObject *parent = nullptr);

public slots:
    void notEnoughSpaceSlot();
    void preparingForDownload();
    void startDownloadingChart();
    void preparingInstallation();
    void startInstallingChart();
    void startInstallingUGC();
    void updateProcessStatus(float status);
    void processCompleted();
    void receivedNewtideDataError(int code, QString message);
    void noWriteble();
    void searchSonarTracks();
    void convertSonarTrack();
    void uploadSonarTrack();
    void sonarTrackReport(int uploaded, int alreadyUploaded, int corrupted);

private:
    enum class Phase {
        NoSpace,
        Preparing,
        Downloading,
        PreparingInstallation,
        InstallingCharts,
        InstallingCommunity,
        Completed,
        NotWritable,
        SearchingTracks,
        ConvertingTracks,
        UploadingTracks,
    };

    void notify(Phase phase);
    void evaluate(const QString &script);

    QPointer<QWebPage> mPage;
    QPointer<VelamarisClientBridge> mBridge;
};
