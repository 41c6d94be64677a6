#include "velnetworkmanager.h"

#include <QNetworkRequest>

VelNetworkManager::VelNetworkManager(const QString &versionText, const QString &osText, QObject *parent)
    : QNetworkAccessManager(parent)
    , mVersionText(versionText)
    , mOsText(osText)
{
}

QNetworkReply *VelNetworkManager::createRequest(Operation operation, const QNetworkRequest &request,
                                                QIODevice *outgoingData)
{
    QNetworkRequest stamped(request);
    stamped.setRawHeader("tdmt-client", "tidemart");
    stamped.setRawHeader("tdmt-version", mVersionText.toLatin1());
    stamped.setRawHeader("tdmt-os", mOsText.toLatin1());
    return QNetworkAccessManager::createRequest(operation, stamped, outgoingData);
}
