#pragma once

#include "downloadobserver.h"
#include "downloadtimings.h"
#include "errorcodes.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QVector>

class QTimer;

// One HTTP GET: receives the bytes of the reply the download manager hands
// it, keeps an inactivity watchdog, records the outcome and decides where the
// bytes go (subclasses). All its slots run in the download manager's thread,
// to which the creator moves it before queueing it.
class VelDownloadAction : public QObject
{
    Q_OBJECT

public:
    // observer hears actionProgress, started and finished while the manager
    // runs the action; nullptr for none.
    VelDownloadAction(const QUrl &url, const DownloadObserver &observer, QObject *parent = nullptr);
    ~VelDownloadAction() override;

    QUrl url() const { return mUrl; }
    QNetworkReply *reply() const { return mReply; }
    bool isActive() const { return mActive; }
    // The manager marks the action inactive when its reply has finished.
    void setActive(bool active);
    int retriesLeft() const { return mRetriesLeft; }
    qint64 expectedSize() const { return mExpectedSize; }
    // Size announced for the file (0: none). Another size is a failed
    // attempt, and a failed download of a file with an announced size
    // reports 901 unless the cause was local (907) or a checksum (917).
    void setExpectedSize(qint64 size) { mExpectedSize = size; }
    QVariant contentType() const { return mContentType; }
    QVariant httpStatus() const { return mHttpStatus; }
    DownloadTimings timings() const { return mTimings; }
    void setTimings(const DownloadTimings &timings) { mTimings = timings; }

    // Connects the reply's data, progress and error notifications; null
    // detaches.
    void attachReply(QNetworkReply *reply);
    void detachReply();
    // Connects the observer's slots for one attempt, and disconnects them.
    void connectObserver();
    void disconnectObserver();
    // Adds what this attempt asks of the server to the request the manager
    // is about to send (a file action asks for the rest of a partial file).
    virtual void prepareRequest(QNetworkRequest &request);
    // Copies the attached reply's content type and HTTP status.
    void captureReplyInfo();
    // At the end of a transfer that looks successful: fails it (code 2, the
    // server closed the connection early) when the reply announced a length
    // and this attempt received a different number of bytes, and (code 901)
    // when the file does not have the size announced for it.
    void checkReceivedLength();
    // Bytes the current attempt has moved into its sink.
    qint64 receivedBytes() const { return mReceivedBytes; }
    // Bytes of the file in hand: those of this attempt, and those of an
    // earlier one that this attempt resumed.
    virtual qint64 bytesOnHand() const { return mReceivedBytes; }
    // The HTTP status is a complete answer: 200, or 206 for the rest of a
    // partial file that the action accepted.
    bool statusAccepted() const;
    // Starts one attempt: uses up one of the four, resets the outcome,
    // starts the watchdog and opens the sink.
    void arm();
    // The outcome: failed when the status is not accepted or an error code is
    // set. A failure of a file with an announced size becomes 901, unless the
    // local disk (907) or the checksum (917) failed it.
    bool hasFailed();

signals:
    // Bytes received since the previous report (a delta).
    void actionProgress(qint64 bytesReceived);
    // An attempt opened its sink (file actions).
    void started(VelDownloadAction *action);
    // The sink was closed, successfully or not (file actions).
    void finished(VelDownloadAction *action);
    // The attempt failed (network error, time-out, local file error).
    void actionError(VelDownloadAction *action);

public slots:
    // Prepares the sink for a new attempt.
    virtual void startAction() = 0;
    // Closes the sink after the reply ended or failed.
    virtual void finishAction() = 0;
    // Moves every byte now readable from the reply into the sink.
    virtual void storeAvailableData() = 0;

    void actionReadyRead();
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void connectionError(QNetworkReply::NetworkError error);
    ParseError getActionError() const;
    bool errorOccour() const;
    // One step of the inactivity watchdog.
    void checkConnectionStatus();

protected:
    void setErrorCode(ParseError code) { mErrorCode = code; }
    // This attempt's 206 answer carries the rest of a file of which
    // offset bytes are in hand; progress counts them as received.
    void acceptPartialAnswer(qint64 offset);
    // The attempt failed because the transfer broke off (a network error,
    // no data, too slow): what arrived is a good start of the file.
    bool wasInterrupted() const { return mInterrupted; }
    // Subclasses count what storeAvailableData() took from the reply.
    void addReceivedBytes(qint64 count) { mReceivedBytes += count; }
    // Fails the attempt: logs, records the code, closes the sink and emits
    // actionError.
    void failAction(ParseError code);
    // Fails the current attempt from the event loop, for failures found
    // while the manager is inside a call into this action.
    void failActionLater(ParseError code);

private:
    // Fails the attempt when it fell below the minimum rate over the last
    // window; true when it did.
    bool checkTransferRate();

    QUrl mUrl;
    DownloadObserver mObserver;
    ParseError mErrorCode = 0;
    QPointer<QNetworkReply> mReply;
    qint64 mLastReportedBytes = 0;
    qint64 mReceivedBytes = 0;
    // Monotonic, so that a change of the wall clock neither fires nor
    // silences the watchdog.
    QElapsedTimer mLastActivity;
    bool mActive = false;
    int mRetriesLeft = 4;
    qint64 mExpectedSize = 0;
    QVariant mContentType;
    QVariant mHttpStatus;
    bool mPartialAnswerAccepted = false;
    qint64 mProgressOffset = 0;
    bool mInterrupted = false;

    // Network progress of this attempt, sampled at each watchdog step.
    struct RateSample
    {
        qint64 elapsedMs;
        qint64 bytes;
    };
    QElapsedTimer mAttemptClock;
    qint64 mAttemptBytes = 0;
    QVector<RateSample> mRateSamples;

    DownloadTimings mTimings;
    QTimer *mWatchdog;
    quint64 mAttempt = 0;
    QMetaObject::Connection mReadyReadConnection;
    QMetaObject::Connection mProgressConnection;
    QMetaObject::Connection mErrorConnection;
    QList<QMetaObject::Connection> mObserverConnections;
};
