#include "manifestdownloadaction.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>

ManifestDownloadAction::ManifestDownloadAction(const QUrl &url, qint64 maxBytes, QObject *parent)
    : BufferDownloadAction(url, parent)
    , mMaxBytes(maxBytes)
{
}

void ManifestDownloadAction::storeAvailableData()
{
    QNetworkReply *source = reply();
    if (!source || !source->isReadable())
        return;
    const qint64 announced = source->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (mTooLarge || announced > mMaxBytes || buffer().size() + source->bytesAvailable() > mMaxBytes) {
        if (!mTooLarge)
            qDebug() << "*** Manifest larger than" << mMaxBytes << "bytes:" << url().toString();
        mTooLarge = true;
        // Every attempt the manager still makes ends at its first bytes; not
        // from inside the manager's call into this action.
        failActionLater(QNetworkReply::OperationCanceledError);
        return;
    }
    BufferDownloadAction::storeAvailableData();
}
