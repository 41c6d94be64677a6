#pragma once

#include "chip.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

class PCAppDownloadThread;
class QNetworkCookieJar;

// The object the store page calls as "qtBridge": it answers questions about
// the inserted card, records the page's choices and forwards update
// requests. Method names and argument types are the page's contract.
class VelamarisClientBridge : public QObject
{
    Q_OBJECT

public:
    VelamarisClientBridge(const QString &serverHost, const QString &cardPath, QObject *parent = nullptr);
    ~VelamarisClientBridge() override;

    // For the main window; not exposed to the page.
    QString cardPath() const { return mCardPath; }
    // The card to answer for from now on, as if given on the command line.
    void setCardPath(const QString &path);
    QString currentUserId() const { return mCurrentUserId; }
    bool sonarBeta() const { return mSonarBeta; }
    QString returnUrl() const { return mReturnUrl; }
    QString cancelReturnUrl() const { return mCancelReturnUrl; }
    QString pewterFolderPath() const;
    void setSonarCounts(int uploaded, int alreadyUploaded, int corrupted);
    void setCookieJar(QNetworkCookieJar *jar);
    // Where the installer download puts its file (the user's desktop).
    void setInstallerFolder(const QString &folder);
    QStringList acceptedTrackFormats() const { return mAcceptedTrackFormats; }

signals:
    void printLinkClicked(QUrl url);
    void notEnoughSpace();
    void notifyStatus(QString inStatus);
    void errorOnDownload(int status, QString message);
    void progressBarUpdate(float percent);
    void goBack();
    void reinitializeState();
    void newtideDataFromManifest(QString manifest);
    void newtideDataFromManifest(QString manifest, bool ntEnabled, bool clEnabled, bool stEnabled);

public slots:
    void enqueueFiles(int lengthManifest, QStringList sFiles1);
    void ThreadDownloadEnd(QString aThreadName);

private slots:
    void notifyBytesDownloaded(qint64 inBytes);
    void processErrorOnDownload(int code, QString message);

public:
    Q_INVOKABLE QString getApplicationNameAndVersion();
    Q_INVOKABLE QString getSerial();
    Q_INVOKABLE double getCardAvailableSpace();
    Q_INVOKABLE bool isCardWriteable();
    Q_INVOKABLE void doUrlBrowser(QString sPage);
    Q_INVOKABLE void consoleDebugMethod();
    Q_INVOKABLE void setDevice(QString device);
    Q_INVOKABLE QString getDevice();
    Q_INVOKABLE void qtDebug(QString dbString);
    Q_INVOKABLE void openLink(QString aLink);
    Q_INVOKABLE void enqueueFiles(QString aManifest);
    Q_INVOKABLE void enqueueFiles(QString aManifest, bool ntEnabled, bool clEnabled, bool stEnabled);
    Q_INVOKABLE void setDeletePewter();
    Q_INVOKABLE double getFreeSpaceAndVelData();
    Q_INVOKABLE int getClusterSize();
    Q_INVOKABLE void stateReset();
    Q_INVOKABLE void setReturnUrl(QString aUrl);
    Q_INVOKABLE void setCancelReturnUrl(QString aUrl);
    Q_INVOKABLE void setUGDBetaUser(bool enabled);
    Q_INVOKABLE void setCurrentUserId(QString userId);
    Q_INVOKABLE int getSonarTracksNumber();
    Q_INVOKABLE int getCorruptedSonarTracksNumber();
    Q_INVOKABLE int getAlreadyUploadedSonarTracksNumber();
    Q_INVOKABLE bool sonarTracksFound();
    Q_INVOKABLE bool isOldChip();

private:
    void searchCard();
    quint64 freeBytesOfCard();
    void stopInstallerDownload();

    QPointer<QNetworkCookieJar> mCookieJar;
    PCAppDownloadThread *mInstallerThread = nullptr;
    QString mCardPath;
    QString mDevice;
    QString mServerHost;
    QString mReturnUrl;
    QString mCancelReturnUrl;
    qint64 mInstallerSize = 0;
    qint64 mInstallerBytes = 0;
    Chip mCard;
    bool mCardOpened = false;
    bool mCountTierCharts = false;
    bool mDeletePewter = false;
    bool mSonarBeta = false;
    QString mCurrentUserId;
    int mUploadedCount = 0;
    int mCorruptedCount = 0;
    int mAlreadyUploadedCount = 0;
    QStringList mAcceptedTrackFormats;
    QString mInstallerFolder;
};
