#include "serverhosts.h"

#include "buildconfig.h"

#include <QUrl>

namespace ServerHosts {
QString productionStore() { return QStringLiteral(TIDEMART_STORE_HOST); }
QString productionMirror() { return QStringLiteral(TIDEMART_MIRROR_HOST); }
QString development() { return QStringLiteral(TIDEMART_DEV_HOST); }
QString beta() { return QStringLiteral(TIDEMART_BETA_HOST); }
QString organizationDomain() { return QStringLiteral(TIDEMART_ORG_DOMAIN); }
QString companySite() { return QStringLiteral(TIDEMART_COMPANY_SITE); }

QString hostAndPort(const QUrl &url)
{
    if (url.port() == -1)
        return url.host();
    return url.host() + QLatin1Char(':') + QString::number(url.port());
}
} // namespace ServerHosts
