#include "desktopurlopener.h"

#include <QDebug>
#include <QProcess>
#include <QUrl>

// xdg-open is the freedesktop URL opener, which also stands behind Qt's own
// opener on these desktops; calling it directly spares a program without a
// window a connection to the display server.
bool openDesktopUrl(const QUrl &url)
{
    const bool started = QProcess::startDetached(QStringLiteral("xdg-open"), { url.toString(QUrl::FullyEncoded) });
    if (!started)
        qDebug() << "*** ERROR: xdg-open could not be started for" << url.toString(QUrl::FullyEncoded);
    return started;
}
