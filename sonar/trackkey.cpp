#include "trackkey.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
// What an XML name may hold after the leading "TR_" and what the history
// always read back: letters, digits and ". - _ :". Anything else would make
// the whole history unreadable.
bool isPlainNameCharacter(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' || u == '-'
        || u == '_' || u == ':';
}

// Characters the history never held stand for themselves as "_xHHHH_" (their
// UTF-16 unit), so the key stays the same from run to run.
QString safeName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (isPlainNameCharacter(c))
            safe += c;
        else
            safe += QStringLiteral("_x") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))
                + QLatin1Char('_');
    }
    return safe;
}
} // namespace

QString makeTrackKey(const QString &path, qint64 size, bool withDate)
{
    QString name = QFileInfo(path).fileName().toLower();
    static const QString blanked = QStringLiteral(" ()[]{}\"&%$\u00a3!*^");
    for (QChar &c : name) {
        if (blanked.contains(c))
            c = QLatin1Char('_');
    }
    name.replace(QLatin1Char('@'), QLatin1String("at"));
    name.replace(QLatin1Char('+'), QLatin1String("plus"));
    name.replace(QLatin1Char('='), QLatin1String("eq"));

    const QString date = withDate
        ? QFileInfo(path).lastModified().toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        : QStringLiteral("0");
    return QStringLiteral("TR_") + safeName(name) + QLatin1Char('_') + date + QLatin1Char('_')
        + QString::number(size);
}

QString datCompanionPath(const QString &datPath)
{
    const QFileInfo log(datPath);
    const QString baseName = log.fileName().section(QLatin1Char('.'), 0, 0);
    return log.absoluteDir().filePath(baseName);
}

qint64 datTrackSize(const QString &datPath)
{
    qint64 size = 0;
    const QFileInfoList files = QDir(datCompanionPath(datPath)).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &file : files)
        size += file.size();
    return size;
}
