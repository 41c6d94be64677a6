#include "uploadhistory.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QSaveFile>
#include <QTextCodec>

namespace {
const QString RootName = QStringLiteral("History");

bool readWhole(const QString &path, QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return true;
}

bool writeWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Not committed, the temporary file goes and the old content stays. The
    // explicit flush matters: Qt's commit() does not see a buffered write
    // that failed (a full disk) and would put an empty file in place.
    return file.write(content) == content.size() && file.flush() && file.commit();
}

void logUnreadable(const QString &errorText, const QString &path)
{
    qDebug() << "Failure reading history content (" << errorText << "): " << path;
}

// The backup's records, when it holds any.
bool readBackup(const QString &historyPath, QDomDocument &document)
{
    QByteArray content;
    const QString backup = historyBackupPath(historyPath);
    if (!readWhole(backup, content) || !parseUploadHistory(content, document))
        return false;
    qDebug() << "Track history taken from its backup: " << backup;
    return true;
}

QString freeAsideName(const QString &historyPath)
{
    const QString base = historyPath + QStringLiteral(".unreadable");
    QString name = base;
    for (int number = 1; QFile::exists(name); ++number)
        name = base + QLatin1Char('-') + QString::number(number);
    return name;
}

void ensureRoot(QDomDocument &document)
{
    if (!document.documentElement().isNull())
        return;
    document = QDomDocument(RootName);
    document.appendChild(document.createElement(RootName));
}
} // namespace

QString historyBackupPath(const QString &historyPath)
{
    return historyPath + QStringLiteral(".bak");
}

bool parseUploadHistory(const QByteArray &content, QDomDocument &document, QString *errorText)
{
    QString error;
    if (document.setContent(content, false, &error))
        return true;
    // Only text that is not UTF-8 gets the second reading.
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(content.constData(), content.size(), &state);
    if (state.invalidChars > 0 && document.setContent(QString::fromLatin1(content), false))
        return true;
    document = QDomDocument(RootName);
    if (errorText)
        *errorText = error;
    return false;
}

void readUploadHistory(const QString &path, QDomDocument &document)
{
    QByteArray content;
    if (!readWhole(path, content))
        qDebug() << "Track history file not found: " << path;
    QString error;
    if (parseUploadHistory(content, document, &error))
        return;
    logUnreadable(error, path);
    if (!readBackup(path, document))
        ensureRoot(document);
}

bool historyHoldsTrack(const QDomDocument &document, const QString &key)
{
    return !key.isEmpty() && !document.documentElement().elementsByTagName(key).isEmpty();
}

bool recordUploadedTrack(const QString &historyPath, const QString &key)
{
    QDomDocument document(RootName);
    QByteArray previous;
    bool keepPrevious = false;
    if (QFile::exists(historyPath)) {
        if (!readWhole(historyPath, previous)) {
            qDebug() << "Failed opening for reading: " << historyPath;
            return false;
        }
        QString error;
        keepPrevious = parseUploadHistory(previous, document, &error);
        if (!keepPrevious) {
            logUnreadable(error, historyPath);
            const QString aside = freeAsideName(historyPath);
            if (!QFile::rename(historyPath, aside)) {
                qDebug() << "Failure keeping the unreadable history aside: " << aside;
                return false;
            }
            readBackup(historyPath, document);
        }
    } else {
        // Earlier records may live only in the backup.
        readBackup(historyPath, document);
    }
    ensureRoot(document);

    if (!key.isEmpty() && !historyHoldsTrack(document, key))
        document.documentElement().appendChild(document.createElement(key));

    if (keepPrevious && !writeWhole(historyBackupPath(historyPath), previous))
        qDebug() << "Failure writing the history backup: " << historyBackupPath(historyPath);
    if (!writeWhole(historyPath, document.toByteArray(1))) {
        qDebug() << "Failure opening for writing: " << historyPath;
        return false;
    }
    return true;
}
