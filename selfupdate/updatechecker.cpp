#include "updatechecker.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTextStream>

namespace {
QString taggedValue(const QString &text, const QString &tag)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
    const int start = text.indexOf(open) + open.length();
    const int count = text.indexOf(close) - start;
    return text.mid(start, count < 0 ? -1 : count).trimmed();
}
} // namespace

UpdateChecker::UpdateChecker(QObject *parent)
    : QObject(parent)
    , mNetworkManager(new QNetworkAccessManager(this))
{
    connect(mNetworkManager, &QNetworkAccessManager::finished, this, &UpdateChecker::updateFinished);
}

bool UpdateChecker::writeUpdateIni(const QString &path, const QString &serverHost, const QString &platformName,
                                   int versionId)
{
    // Written whole or not at all: the auto-updater depends on this file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setCodec("ISO-8859-1");
    out << "[Update]\n";
    out << QStringLiteral("url = http://%1/devices/qt_tidemart_%2_version").arg(serverHost, platformName) << '\n';
    out << QStringLiteral("version_id = %1").arg(versionId) << '\n';
    out << "update_download_location = tmp/\n";
    out << "check_for_updates = 1\n";
    out.flush();
    return file.commit();
}

bool UpdateChecker::readUpdateIni(const QString &path)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    return parseUpdateIni(file.readAll(), mCurrentVersionId, mUpdateUrl);
}

bool UpdateChecker::parseUpdateIni(const QByteArray &text, int &versionId, QString &url)
{
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    bool versionRead = false;
    bool urlRead = false;
    QTextStream in(&buffer);
    in.setCodec("ISO-8859-1");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QStringList parts = line.split(QLatin1Char('='));
        if (line.contains(QLatin1String("version_id"))) {
            if (parts.size() >= 2) {
                versionId = parts.at(1).trimmed().toInt();
                versionRead = true;
            }
        } else if (line.contains(QLatin1String("url"))) {
            if (parts.size() >= 2) {
                url = parts.at(1).trimmed();
                urlRead = true;
            }
        }
    }
    return versionRead && urlRead;
}

UpdateChecker::VersionDocument UpdateChecker::parseVersionDocument(const QByteArray &body)
{
    const QString text = QString::fromLatin1(body);
    VersionDocument document;
    document.version = taggedValue(text, QStringLiteral("version"));
    document.versionId = taggedValue(text, QStringLiteral("versionId")).toInt();
    document.downloadUrl = taggedValue(text, QStringLiteral("url"));
    return document;
}

void UpdateChecker::checkForUpdate()
{
    if (mBusy || mUpdateUrl.isEmpty())
        return;
    mBusy = true;
    mUpdateAvailable = false;
    mNetworkManager->get(QNetworkRequest(QUrl(mUpdateUrl)));
}

void UpdateChecker::updateFinished(QNetworkReply *reply)
{
    bool available = false;
    QString downloadUrl;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "WARNING: Error updating: " << reply->errorString();
    } else {
        const VersionDocument document = parseVersionDocument(reply->readAll());
        mLatestVersion = document.version;
        downloadUrl = document.downloadUrl;
        available = mCurrentVersionId < document.versionId;
    }
    reply->deleteLater();
    mUpdateAvailable = available;
    mBusy = false;
    if (available)
        emit updateReady(true, downloadUrl);
}
