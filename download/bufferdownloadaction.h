#pragma once

#include "veldownloadaction.h"

#include <QByteArray>

class QBuffer;

// Downloads into memory (the manifest and other small documents). Every
// attempt starts from an empty buffer.
class BufferDownloadAction : public VelDownloadAction
{
    Q_OBJECT

public:
    explicit BufferDownloadAction(const QUrl &url, QObject *parent = nullptr);
    ~BufferDownloadAction() override;

    // The bytes received so far by the current (or last) attempt.
    QByteArray buffer() const;

public slots:
    void startAction() override;
    void finishAction() override;
    void storeAvailableData() override;

private:
    QBuffer *mBuffer;
};
