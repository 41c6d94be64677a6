#include "cardpaths.h"

#include "chip.h"

#include <QDir>
#include <QFileInfo>
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

QString withCardSeparators(const QString &path)
{
    QString result = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (result.contains(QLatin1String("//")))
        result.replace(QLatin1String("//"), QLatin1String("/"));
    return result;
}

bool isBelowChartArea(const QString &relativePath)
{
    const QStringList parts = asCardResolves(relativePath).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() >= 2 && parts.first().compare(asCardResolves(Chip::VelamariFolder), Qt::CaseInsensitive) == 0;
}

QString realPathOf(const QString &absolutePath)
{
    if (!QDir::isAbsolutePath(absolutePath) || components(absolutePath).contains(QStringLiteral("..")))
        return QString();
    QString existing = QDir::cleanPath(absolutePath);
    QStringList rest;
    // A link counts as existing even when its target is gone, so that it is
    // resolved (and refused) rather than created through.
    while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink()) {
        const QFileInfo info(existing);
        if (info.path() == existing)
            return QString();
        rest.prepend(info.fileName());
        existing = info.path();
    }
    const QString real = QFileInfo(existing).canonicalFilePath();
    if (real.isEmpty())
        return QString();
    return rest.isEmpty() ? real : QDir::cleanPath(real + QLatin1Char('/') + rest.join(QLatin1Char('/')));
}

bool isWithin(const QString &realRoot, const QString &realPath)
{
    if (realRoot.isEmpty() || realPath.isEmpty())
        return false;
    if (realPath == realRoot)
        return true;
    const QString prefix = realRoot.endsWith(QLatin1Char('/')) ? realRoot : realRoot + QLatin1Char('/');
    return realPath.startsWith(prefix);
}

QString realPathBelow(const QString &realRoot, const QString &relativePath)
{
    if (realRoot.isEmpty() || !isInsideFolder(relativePath))
        return QString();
    const QString real = realPathOf(realRoot + QLatin1Char('/') + withCardSeparators(relativePath));
    return isWithin(realRoot, real) ? real : QString();
}
