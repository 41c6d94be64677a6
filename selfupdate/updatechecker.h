#pragma once

#include <QObject>
#include <QString>

#include <climits>

class QNetworkAccessManager;
class QNetworkReply;

// Asks the version service whether a newer version of the store client
// exists. Its address and the running version come from "update.ini".
class UpdateChecker : public QObject
{
    Q_OBJECT

public:
    // The values cut out of the version service's answer.
    struct VersionDocument
    {
        QString version;
        int versionId = 0;
        QString downloadUrl;
    };

    explicit UpdateChecker(QObject *parent = nullptr);

    // Writes the five lines of "update.ini" for this server, platform and version.
    static bool writeUpdateIni(const QString &path, const QString &serverHost, const QString &platformName,
                               int versionId);
    // Reads the version id and the version document's URL; true when both were found.
    bool readUpdateIni(const QString &path);
    // The same for the file's bytes as read in text mode: sets versionId and
    // url from the lines that give them, leaves them alone otherwise.
    static bool parseUpdateIni(const QByteArray &text, int &versionId, QString &url);
    // The version document is cut up by text search, not parsed as XML.
    static VersionDocument parseVersionDocument(const QByteArray &body);

    void checkForUpdate();

    QString updateUrl() const { return mUpdateUrl; }
    QString latestVersion() const { return mLatestVersion; }
    int currentVersionId() const { return mCurrentVersionId; }
    bool isBusy() const { return mBusy; }
    bool updateAvailable() const { return mUpdateAvailable; }

signals:
    void updateReady(bool value, QString downloadUrl);

private slots:
    void updateFinished(QNetworkReply *reply);

private:
    QNetworkAccessManager *mNetworkManager;
    int mCurrentVersionId = INT_MAX;
    QString mUpdateUrl;
    QString mLatestVersion;
    bool mBusy = false;
    bool mUpdateAvailable = false;
};
