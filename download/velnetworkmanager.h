#pragma once

#include <QNetworkAccessManager>
#include <QString>

// Network access manager of the store page (shared with the download
// manager): stamps the client's identification headers on every request.
class VelNetworkManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // versionText: the version number as decimal text ("151"); osText: the
    // environment's platform name ("pc").
    VelNetworkManager(const QString &versionText, const QString &osText, QObject *parent = nullptr);

    QString versionText() const { return mVersionText; }
    QString osText() const { return mOsText; }

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    QString mVersionText;
    QString mOsText;
};
