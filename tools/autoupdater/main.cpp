// Stand-in for the vendor's auto-updater (an outside program, not part of the
// product). It does what the store client relies on: read "update.ini" beside
// itself, fetch the version document, download the announced package into the
// download location, and record what it did in "autoupdate.log".

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QTextStream>
#include <QUrl>

namespace {

QTextStream *gLog = nullptr;

void note(const QString &line)
{
    if (gLog)
        *gLog << line << Qt::endl;
}

QByteArray fetch(QNetworkAccessManager &manager, const QUrl &url, bool &ok)
{
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    ok = reply->error() == QNetworkReply::NoError && status == 200;
    const QByteArray body = reply->readAll();
    if (!ok)
        note(QStringLiteral("failed: %1 (%2, HTTP %3)").arg(url.toString(), reply->errorString()).arg(status));
    reply->deleteLater();
    return body;
}

QString taggedValue(const QString &text, const QString &tag)
{
    const int open = text.indexOf(QLatin1Char('<') + tag + QLatin1Char('>'));
    const int close = text.indexOf(QStringLiteral("</") + tag + QLatin1Char('>'));
    if (open < 0 || close < 0)
        return QString();
    const int start = open + tag.size() + 2;
    return text.mid(start, close - start).trimmed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QDir home(QCoreApplication::applicationDirPath());

    QFile logFile(home.filePath(QStringLiteral("autoupdate.log")));
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return 1;
    QTextStream log(&logFile);
    gLog = &log;
    note(QStringLiteral("started"));

    QSettings ini(home.filePath(QStringLiteral("update.ini")), QSettings::IniFormat);
    const QString documentUrl = ini.value(QStringLiteral("Update/url")).toString();
    const QString location = ini.value(QStringLiteral("Update/update_download_location")).toString();
    const int versionId = ini.value(QStringLiteral("Update/version_id")).toInt();
    if (documentUrl.isEmpty()) {
        note(QStringLiteral("no url in update.ini"));
        return 1;
    }
    note(QStringLiteral("version document: %1, installed version id %2").arg(documentUrl).arg(versionId));

    QNetworkAccessManager manager;
    bool ok = false;
    const QString document = QString::fromLatin1(fetch(manager, QUrl(documentUrl), ok));
    if (!ok)
        return 1;
    const int latest = taggedValue(document, QStringLiteral("versionId")).toInt();
    const QUrl packageUrl(taggedValue(document, QStringLiteral("url")));
    note(QStringLiteral("latest version %1 (id %2) at %3")
             .arg(taggedValue(document, QStringLiteral("version"))).arg(latest).arg(packageUrl.toString()));
    if (latest <= versionId) {
        note(QStringLiteral("up to date"));
        return 0;
    }

    const QByteArray package = fetch(manager, packageUrl, ok);
    if (!ok)
        return 1;
    const QDir target(home.filePath(location));
    QDir().mkpath(target.path());
    QString name = QFileInfo(packageUrl.path()).fileName();
    if (name.isEmpty())
        name = QStringLiteral("package");
    QFile out(target.filePath(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(package) != package.size()) {
        note(QStringLiteral("cannot write %1").arg(out.fileName()));
        return 1;
    }
    out.close();
    note(QStringLiteral("downloaded %1 (%2 bytes)").arg(out.fileName()).arg(package.size()));
    return 0;
}
