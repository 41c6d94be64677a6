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
QString upload() { return QStringLiteral(TIDEMART_UPLOAD_HOST); }
QString timeZone() { return QStringLiteral(TIDEMART_TIMEZONE_HOST); }

namespace {
int defaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}
} // namespace

bool isServerUrl(const QUrl &url, const QString &serverAddress)
{
    if (!isWebUrl(url))
        return false;
    // Read the address as a URL, so that both sides are normalised alike.
    const QUrl server(QStringLiteral("http://") + serverAddress.trimmed());
    if (!server.isValid() || server.host().isEmpty())
        return false;
    if (url.host(QUrl::EncodeUnicode) != server.host(QUrl::EncodeUnicode))
        return false;
    const int pagePort = url.port(defaultPort(url));
    return server.port() == -1 ? pagePort == defaultPort(url) : pagePort == server.port();
}

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}
} // namespace ServerHosts
