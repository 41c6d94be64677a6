#pragma once

#include "sonartracks.h"
#include "trackservices.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <functional>

// The second half of the sonar step: each file of the upload list in turn
// gets the UTC offset of its first position from the time-zone service, then
// goes to the upload service; an accepted one is recorded in the history.
// It runs in the thread that calls run(), whose event loop it turns until
// the list is done, a network failure ends it, or the run is cancelled.
class TrackUploader : public QObject
{
    Q_OBJECT

public:
    struct Setup
    {
        TrackServices services;
        SonarTimings timings;
        QString userId;
        QString historyPath;
        // "latestUtc.txt": the last offset known, for a lookup that fails.
        QString utcCachePath;
        QString utcOffset = QStringLiteral("0");
        std::function<bool()> cancelled;
    };

    TrackUploader(SonarTracks &tracks, const Setup &setup, QObject *parent = nullptr);

    // The index of the first file that was never handled, or -1 when every
    // file of the list was.
    int run();
    QString utcOffset() const { return mSetup.utcOffset; }

signals:
    // One more file of the list is dealt with: sent, or counted as
    // corrupted without a request.
    void trackHandled(bool sent);

private slots:
    void uploadProgress(qint64 bytesSent, qint64 bytesTotal);
    void uploadFinished(QNetworkReply *reply);
    void utcFinished(QNetworkReply *reply);
    void requestStalled();
    void checkCancelled();

private:
    void nextTrack();
    bool lookupUtcOffset(const QString &path);
    void startUpload();
    bool uploadTrack(const QString &path);
    void utcError(int code);
    void uploadError(int code);
    void skipCurrent();
    // A reply that did not reach the service (or that was cut by the
    // inactivity limit) rather than an answer of it.
    bool failedOnNetwork(QNetworkReply *reply) const;
    int failureCode(QNetworkReply *reply) const;
    void watch(QNetworkReply *reply, int inactivityMs);
    void endLoop();

    SonarTracks &mTracks;
    Setup mSetup;
    QNetworkAccessManager mNetwork;
    QEventLoop mLoop;
    QTimer mInactivity;
    QTimer mCancelCheck;
    QPointer<QNetworkReply> mLookup;
    QPointer<QNetworkReply> mUpload;
    int mUploadIndex = 0;
    bool mRunning = false;
    bool mStalled = false;
    bool mCancelled = false;
};
