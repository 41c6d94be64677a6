#include "trackservices.h"

#include "serverhosts.h"

#include <QDebug>
#include <QFile>
#include <QStringList>

namespace {
QUrl serviceUrl(const QString &address, int defaultPort, const QString &path)
{
    QUrl url(QStringLiteral("http://") + address.trimmed());
    if (url.port() == -1 && defaultPort != -1)
        url.setPort(defaultPort);
    url.setPath(path);
    return url;
}
} // namespace

TrackServices TrackServices::at(const QString &uploadAddress, const QString &timeZoneAddress)
{
    TrackServices services;
    services.upload = serviceUrl(uploadAddress, 8080, QStringLiteral("/WebInputInterface/VelWii"));
    services.timeZone = serviceUrl(timeZoneAddress, -1, QStringLiteral("/timezone"));
    return services;
}

TrackServices TrackServices::built()
{
    return at(ServerHosts::upload(), ServerHosts::timeZone());
}

TrackServices TrackServices::forApplicationDir(const QDir &applicationDir)
{
    QFile file(applicationDir.filePath(QStringLiteral("trackServers.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return built();
    QStringList lines;
    while (!file.atEnd() && lines.size() < 2) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty())
            lines << line;
    }
    if (lines.isEmpty())
        return built();
    const TrackServices services = at(lines.first(), lines.last());
    qDebug() << "- Track services:" << services.upload.toString() << services.timeZone.toString();
    return services;
}
