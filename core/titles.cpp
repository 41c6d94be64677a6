#include "titles.h"

#include "serverhosts.h"
#include "version.h"

QString serverEditionLabel(const QString &serverHost)
{
    if (serverHost == ServerHosts::productionMirror())
        return QStringLiteral("Velamaris");
    if (serverHost == ServerHosts::development())
        return QStringLiteral("Velamaris DEVELOPER");
    if (serverHost == ServerHosts::beta())
        return QStringLiteral("Velamaris BETA");
    return QStringLiteral("Unknow Server");
}

QString applicationTitle(const QString &editionLabel, int percentage)
{
    const QString version = QString::fromLatin1(Version::text);
    if (percentage >= 1 && percentage <= 99)
        return QStringLiteral("%1 - V%2 - (%3)").arg(editionLabel, version).arg(percentage);
    return QStringLiteral("%1 - V%2").arg(editionLabel, version);
}
