#include "cardpaths.h"

#include "chip.h"

#include <QStringList>

namespace {
QStringList components(const QString &path)
{
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
}

bool hasSeparator(const QString &path)
{
    return path.contains(QLatin1Char('/')) || path.contains(QLatin1Char('\\'));
}
} // namespace

bool isInsideFolder(const QString &relativePath)
{
    if (relativePath.startsWith(QLatin1Char('/')) || relativePath.startsWith(QLatin1Char('\\')))
        return false;
    // "C:" names another drive; a colon has no place there on a FAT card either.
    if (relativePath.size() >= 2 && relativePath.at(1) == QLatin1Char(':'))
        return false;
    return !components(relativePath).contains(QStringLiteral(".."));
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && !hasSeparator(name) && name != QLatin1String(".") && name != QLatin1String("..");
}

QString asCardResolves(const QString &relativePath)
{
    // FAT ignores trailing dots and blanks: "Velamari. " is "Velamari".
    QStringList kept;
    for (QString part : components(relativePath)) {
        while (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char(' ')))
            part.chop(1);
        if (!part.isEmpty())
            kept.append(part);
    }
    return kept.join(QLatin1Char('/'));
}

bool isCardStructureFolder(const QString &relativePath)
{
    const QString folder = asCardResolves(relativePath);
    return folder.isEmpty() || folder.compare(asCardResolves(Chip::VelamariFolder), Qt::CaseInsensitive) == 0
        || folder.compare(asCardResolves(Chip::ChartsFolder), Qt::CaseInsensitive) == 0;
}
