#include "manifestreader.h"

#include "manifest.h"
#include "manifestdownloadaction.h"
#include "serverhosts.h"

#include <QDebug>
#include <QThread>
#include <QUrl>

ManifestReader::ManifestReader(std::function<void(VelDownloadAction *)> fetch, std::function<bool()> stopRequested,
                               int retryPause)
    : mFetch(std::move(fetch))
    , mStopRequested(std::move(stopRequested))
    , mRetryPause(retryPause)
{
}

ManifestReader::Result ManifestReader::refuse(const QString &reason)
{
    qDebug() << "*** Manifest refused:" << reason;
    mReason = reason;
    return Result::Refused;
}

ManifestReader::Result ManifestReader::readFromUrl(const QString &url, QList<FileObject *> &list)
{
    const QUrl address = QUrl::fromEncoded(url.toLatin1());
    // The file scheme would read this computer's own files.
    if (!ServerHosts::isWebUrl(address))
        return refuse(QStringLiteral("address that is not http or https: ") + url);

    auto *action = new ManifestDownloadAction(address, MaxManifestBytes);
    for (int attempt = 0; attempt < 5 && !mStopRequested(); ++attempt) {
        qDebug() << "getManifest";
        mFetch(action);
        if (action->isTooLarge() || (action->getActionError() == 0 && !action->buffer().isEmpty()))
            break;
        // The pause ends early when the program leaves.
        for (int waited = 0; waited < mRetryPause && !mStopRequested(); waited += 50)
            QThread::msleep(ulong(qMin(50, mRetryPause - waited)));
    }

    const bool tooLarge = action->isTooLarge();
    const QByteArray body = action->buffer();
    const bool obtained = !tooLarge && action->httpStatus().toInt() == 200 && action->getActionError() == 0
        && !body.isEmpty() && action->contentType().toString().contains(QLatin1String("application/json"));
    action->deleteLater();
    if (tooLarge)
        return refuse(QStringLiteral("manifest larger than %1 bytes").arg(MaxManifestBytes));
    if (!obtained)
        return Result::NotObtained;
    return read(body, list, true);
}

ManifestReader::Result ManifestReader::readText(const QByteArray &text, QList<FileObject *> &list)
{
    return read(text, list, false);
}

ManifestReader::Result ManifestReader::read(const QByteArray &text, QList<FileObject *> &list, bool logText)
{
    const QString problem = unacceptableManifestText(text);
    if (!problem.isEmpty())
        return refuse(problem);
    if (logText)
        qDebug() << text;
    parseManifest(text, list);
    return Result::Read;
}
