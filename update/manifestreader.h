#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class FileObject;
class VelDownloadAction;

// Obtains the manifest of a run, from its URL through the download manager
// or as text the page handed over, and decides whether it may be read at
// all: only an http(s) address, at most MaxManifestBytes, no NUL byte.
class ManifestReader
{
public:
    enum class Result { Read, NotObtained, Refused };

    // fetch hands one action to the download manager and returns when the
    // manager has ended the batch; stopRequested tells that the program
    // is leaving. retryPause: milliseconds between two attempts.
    ManifestReader(std::function<void(VelDownloadAction *)> fetch, std::function<bool()> stopRequested,
                   int retryPause);

    // Up to five attempts; parses the manifest into list when it was obtained
    // and may be read. reason says why it was refused.
    Result readFromUrl(const QString &url, QList<FileObject *> &list);
    Result readText(const QByteArray &text, QList<FileObject *> &list);

    QString reason() const { return mReason; }

private:
    Result refuse(const QString &reason);
    Result read(const QByteArray &text, QList<FileObject *> &list, bool logText);

    std::function<void(VelDownloadAction *)> mFetch;
    std::function<bool()> mStopRequested;
    int mRetryPause;
    QString mReason;
};
