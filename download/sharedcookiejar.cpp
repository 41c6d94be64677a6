#include "sharedcookiejar.h"

#include <QMutexLocker>

SharedCookieJar::SharedCookieJar(QObject *parent)
    : QNetworkCookieJar(parent)
{
}

SharedCookieJar::~SharedCookieJar() = default;

QList<QNetworkCookie> SharedCookieJar::cookiesForUrl(const QUrl &url) const
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::cookiesForUrl(url);
}

bool SharedCookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::setCookiesFromUrl(cookieList, url);
}

bool SharedCookieJar::insertCookie(const QNetworkCookie &cookie)
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::insertCookie(cookie);
}

bool SharedCookieJar::updateCookie(const QNetworkCookie &cookie)
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::updateCookie(cookie);
}

bool SharedCookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::deleteCookie(cookie);
}

QList<QNetworkCookie> SharedCookieJar::cookies() const
{
    QMutexLocker locker(&mMutex);
    return allCookies();
}

void SharedCookieJar::setCookies(const QList<QNetworkCookie> &cookies)
{
    QMutexLocker locker(&mMutex);
    setAllCookies(cookies);
}

bool SharedCookieJar::validateCookie(const QNetworkCookie &cookie, const QUrl &url) const
{
    QMutexLocker locker(&mMutex);
    return QNetworkCookieJar::validateCookie(cookie, url);
}
