#include "bufferdownloadaction.h"

#include <QBuffer>

BufferDownloadAction::BufferDownloadAction(const QUrl &url, QObject *parent)
    : VelDownloadAction(url, nullptr, parent)
    , mBuffer(new QBuffer(this))
{
}

BufferDownloadAction::~BufferDownloadAction() = default;

QByteArray BufferDownloadAction::buffer() const
{
    return mBuffer->data();
}

void BufferDownloadAction::startAction()
{
    if (mBuffer->isOpen())
        mBuffer->close();
    mBuffer->setData(QByteArray());
    mBuffer->open(QIODevice::ReadWrite | QIODevice::Truncate);
}

void BufferDownloadAction::finishAction()
{
}

void BufferDownloadAction::storeAvailableData()
{
    QNetworkReply *source = reply();
    if (!source || !source->isReadable())
        return;
    const QByteArray bytes = source->readAll();
    addReceivedBytes(bytes.size());
    mBuffer->write(bytes);
}
