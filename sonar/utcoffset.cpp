#include "utcoffset.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

QString readLatestUtc(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("0");
    QString word;
    QTextStream(&file) >> word;
    return word;
}

bool writeLatestUtc(const QString &path, const QString &offset)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = offset.toLatin1();
    // Flushed first: commit() alone would not notice a write the disk refused.
    return file.write(text) == text.size() && file.flush() && file.commit();
}

QUrl timeZoneQuery(const QUrl &service, double latitude, double longitude)
{
    QUrl url(service);
    url.setQuery(QStringLiteral("lat=%1&lng=%2&radius=200&username=kelTR_4")
                     .arg(QString::number(latitude, 'g', 6), QString::number(longitude, 'g', 6)));
    return url;
}

bool readTimeZoneAnswer(const QByteArray &body, QString &offset)
{
    QDomDocument document;
    if (!document.setContent(body))
        return false;
    const QDomElement timezone = document.documentElement().firstChild().toElement();
    if (timezone.isNull() || timezone.tagName() != QLatin1String("timezone"))
        return false;
    const QDomElement rawOffset = timezone.firstChildElement(QStringLiteral("rawOffset"));
    // An empty offset would be sent and cached as it is.
    if (rawOffset.text().trimmed().isEmpty())
        return false;
    offset = rawOffset.text();
    return true;
}
