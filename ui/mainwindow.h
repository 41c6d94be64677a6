#pragma once

#include "updatechecker.h"

#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QMetaObject>
#include <QNetworkReply>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class browserControl;
class DownloadManagerTest;
class QCloseEvent;
class QNetworkAccessManager;
class QNetworkCookieJar;
class VelamarisClientBridge;
class VelDownloadManager;
class webPage;

// The store client's only window: shows the store in a web view, gives the
// page "qtBridge", runs card updates and turns their phases into calls of
// the page's functions.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QString &serverHost, const QString &cardPath, QWidget *parent = nullptr);
    ~MainWindow() override;

    QString cardPath() const { return mCardPath; }
    browserControl *view() const { return mView; }
    webPage *page() const { return mPage; }
    VelamarisClientBridge *bridge() const { return mBridge; }
    VelDownloadManager *downloadManager() const { return mDownloadManager; }
    DownloadManagerTest *process() const { return mProcessThread; }
    UpdateChecker &updateChecker() { return mUpdateChecker; }
    QDateTime lastUpdateCheck() const { return mLastUpdateCheck; }
    bool isLeaving() const { return mLeaving; }
    // Time source of the update-check rhythm (the local time unless replaced).
    void setClock(std::function<QDateTime()> clock) { mClock = std::move(clock); }

    // The text as a JavaScript string literal, quotes included.
    static QString javaScriptStringLiteral(const QString &text);

signals:
    // The program is about to end (critical error, declined update, exit confirmed).
    void leaving();

public slots:
    void gotoLink(QUrl url);
    void initJavascript();
    void replyFinished(QNetworkReply *qReply);
    void goBack();
    void stateResetSlot();
    void updateResponse(bool value, QString dwUrl);
    void problemDuringSoftwareUpdate();
    void setApplicationTitle(int percentage);
    void setApplicationTitle();
    void setProgress(int p);
    void finishLoading(bool aBool);
    void regSslError(QNetworkReply *reply, const QList<QSslError> &errors);
    void returnToTidemart();
    void downloadChart(QString manifestUrl, QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled);
    void doNewtideDataFromManifest(QString manifest);
    void doNewtideDataFromManifest(QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled);
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
    // A later start of the program handed a card over (empty: none).
    void takeHandedOverCard(const QString &cardPath);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void evaluate(const QString &script);
    void criticalError(const QString &text, const QString &informativeText);
    void leaveWithoutAsking();
    void cleanTemporaryFolder();
    bool verifyUpdateIni();
    void launchAutoUpdater();
    void connectProcess();
    void stopProcess();

    QNetworkAccessManager *mProbeManager = nullptr;
    QString mCardPath;
    browserControl *mView = nullptr;
    webPage *mPage = nullptr;
    VelamarisClientBridge *mBridge = nullptr;
    UpdateChecker mUpdateChecker;
    QDateTime mLastUpdateCheck;
    std::function<QDateTime()> mClock = [] { return QDateTime::currentDateTime(); };
    QString mEditionLabel;
    VelDownloadManager *mDownloadManager = nullptr;
    DownloadManagerTest *mProcessThread = nullptr;
    QString mServerHost;
    QUrl mHomeUrl;
    std::unique_ptr<QNetworkCookieJar> mCookieJar;
    QList<QMetaObject::Connection> mProcessConnections;
    bool mLeaving = false;
};
