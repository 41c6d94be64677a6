#pragma once

#include <QList>
#include <QMainWindow>
#include <QNetworkReply>
#include <QSet>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <memory>

class browserControl;
class CardUpdateRunner;
class PageNotifier;
class QCloseEvent;
class QNetworkAccessManager;
class QNetworkCookieJar;
class SoftwareUpdate;
class VelamarisClientBridge;
class VelDownloadManager;
class webPage;

// The store client's only window: shows the store in a web view, gives the
// page "qtBridge", and wires the card updates and the software update to it.
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
    PageNotifier *pageNotifier() const { return mPageNotifier; }
    CardUpdateRunner *cardUpdates() const { return mCardUpdates; }
    SoftwareUpdate *softwareUpdate() const { return mSoftwareUpdate; }
    bool isLeaving() const { return mLeaving; }

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
    // A later start of the program handed a card over (empty: none).
    void takeHandedOverCard(const QString &cardPath);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void criticalError(const QString &text, const QString &informativeText);
    void leaveWithoutAsking();
    void cleanTemporaryFolder();

    QNetworkAccessManager *mProbeManager = nullptr;
    QString mCardPath;
    browserControl *mView = nullptr;
    webPage *mPage = nullptr;
    VelamarisClientBridge *mBridge = nullptr;
    SoftwareUpdate *mSoftwareUpdate = nullptr;
    QString mEditionLabel;
    VelDownloadManager *mDownloadManager = nullptr;
    PageNotifier *mPageNotifier = nullptr;
    CardUpdateRunner *mCardUpdates = nullptr;
    QString mServerHost;
    QUrl mHomeUrl;
    // Sites whose pages were shown without "qtBridge" (logged once each).
    QSet<QString> mSitesWithoutBridge;
    std::unique_ptr<QNetworkCookieJar> mCookieJar;
    bool mLeaving = false;
};
