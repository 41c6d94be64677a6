#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QRecursiveMutex>

// Cookie jar that network managers of several threads may share (the store
// page's in the main thread, the installer download's in its own): every
// access goes through one lock. Recursive, because the base class calls its
// own virtuals (setCookiesFromUrl calls insertCookie, which calls
// deleteCookie).
class SharedCookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    explicit SharedCookieJar(QObject *parent = nullptr);
    ~SharedCookieJar() override;

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;
    bool insertCookie(const QNetworkCookie &cookie) override;
    bool updateCookie(const QNetworkCookie &cookie) override;
    bool deleteCookie(const QNetworkCookie &cookie) override;

    // A copy of every cookie in the jar.
    QList<QNetworkCookie> cookies() const;
    void setCookies(const QList<QNetworkCookie> &cookies);

protected:
    bool validateCookie(const QNetworkCookie &cookie, const QUrl &url) const override;

private:
    mutable QRecursiveMutex mMutex;
};
