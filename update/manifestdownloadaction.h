#pragma once

#include "bufferdownloadaction.h"

#include <atomic>

// The manifest's download: into memory like any small document, but never
// past a limit, so that a huge or endless answer cannot exhaust the
// client's memory. An answer that passes the limit (or announces it will)
// fails its attempt and is marked too large.
class ManifestDownloadAction : public BufferDownloadAction
{
    Q_OBJECT

public:
    ManifestDownloadAction(const QUrl &url, qint64 maxBytes, QObject *parent = nullptr);

    bool isTooLarge() const { return mTooLarge; }

public slots:
    void storeAvailableData() override;

private:
    qint64 mMaxBytes;
    std::atomic<bool> mTooLarge { false };
};
