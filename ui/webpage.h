#pragma once

#include <QWebPage>

// The store page: keeps the view away from the payment provider's return
// form, drops console messages and names the client in its user agent.
class webPage : public QWebPage
{
    Q_OBJECT

public:
    explicit webPage(QObject *parent = nullptr);

    // "www", an optional dotted sub-domain, then the provider's domain.
    static bool isPaymentProviderReturn(const QString &url);

signals:
    void returnToStore();

protected:
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type) override;
    void javaScriptConsoleMessage(const QString &message, int lineNumber, const QString &sourceID) override;
    QString userAgentForUrl(const QUrl &url) const override;
};
