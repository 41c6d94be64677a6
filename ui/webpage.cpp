#include "webpage.h"

#include "buildconfig.h"

#include <QDebug>
#include <QNetworkRequest>
#include <QRegularExpression>

webPage::webPage(QObject *parent)
    : QWebPage(parent)
{
}

bool webPage::isPaymentProviderReturn(const QString &url)
{
    static const QRegularExpression provider(QStringLiteral("www(\\.[A-Za-z0-9._-]+)?\\.")
                                             + QRegularExpression::escape(QStringLiteral(TIDEMART_PAYMENT_DOMAIN)));
    return provider.match(url).hasMatch() && url.contains(QLatin1String("merchantpaymentweb?"));
}

bool webPage::acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type)
{
    const QString url = request.url().toString();
    qDebug() << "acceptNavigationRequest";
    qDebug() << "\tURL: " << request.url();
    qDebug() << "\ttype: " << int(type);
    if ((type == NavigationTypeFormSubmitted || type == NavigationTypeFormResubmitted) && isPaymentProviderReturn(url)) {
        qDebug() << "Form verso paypall: " << url;
        emit returnToStore();
        return false;
    }
    return QWebPage::acceptNavigationRequest(frame, request, type);
}

void webPage::javaScriptConsoleMessage(const QString &, int, const QString &)
{
}

QString webPage::userAgentForUrl(const QUrl &) const
{
    return QStringLiteral("Mozilla/5.0 QtTidemart");
}
