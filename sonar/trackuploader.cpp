#include "trackuploader.h"

#include "environment.h"
#include "errorcodes.h"
#include "serverresponse.h"
#include "sonarfolders.h"
#include "uploadhistory.h"
#include "uploadrequest.h"
#include "utcoffset.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>

namespace {
// How often a waiting loop looks whether the run was cancelled.
constexpr int CancelCheckMs = 200;
} // namespace

TrackUploader::TrackUploader(SonarTracks &tracks, const Setup &setup, QObject *parent)
    : QObject(parent)
    , mTracks(tracks)
    , mSetup(setup)
{
    mInactivity.setSingleShot(true);
    connect(&mInactivity, &QTimer::timeout, this, &TrackUploader::requestStalled);
    mCancelCheck.setInterval(CancelCheckMs);
    connect(&mCancelCheck, &QTimer::timeout, this, &TrackUploader::checkCancelled);
}

int TrackUploader::run()
{
    mUploadIndex = 0;
    if (mTracks.uploadList.isEmpty())
        return -1;
    mRunning = true;
    nextTrack();
    if (mRunning) {
        if (mSetup.cancelled)
            mCancelCheck.start();
        mLoop.exec();
    }
    mCancelCheck.stop();
    return mUploadIndex;
}

void TrackUploader::endLoop()
{
    mRunning = false;
    mInactivity.stop();
    mLoop.quit();
}

void TrackUploader::nextTrack()
{
    // A file whose position cannot be read is passed over at once.
    while (mRunning) {
        if (mSetup.cancelled && mSetup.cancelled()) {
            endLoop();
            return;
        }
        if (mUploadIndex >= mTracks.uploadList.size()) {
            qDebug() << "Upload of UGD tracks done!";
            mUploadIndex = -1;
            endLoop();
            return;
        }
        const QString path = mTracks.uploadList.at(mUploadIndex);
        qDebug() << "Calculating UTC for " << path;
        if (lookupUtcOffset(path))
            return;
        skipCurrent();
    }
}

// The file counts as corrupted, without a request.
void TrackUploader::skipCurrent()
{
    mTracks.corruptedTracks.append(mTracks.uploadList.at(mUploadIndex));
    ++mUploadIndex;
    emit trackHandled(false);
}

bool TrackUploader::lookupUtcOffset(const QString &path)
{
    const QString positionText = SonarFolders::positionText(path);
    const QString lowerPath = path.toLower();
    double latitude = 0;
    double longitude = 0;
    bool located = false;
    if (lowerPath.endsWith(QLatin1String(".zip")))
        located = Environment::instance()->readSlgTrackText(positionText, latitude, longitude);
    else if (lowerPath.endsWith(QLatin1String(".t3d")))
        located = Environment::instance()->readT3dTrackText(positionText, latitude, longitude);
    if (!located)
        return false;

    QNetworkRequest request(timeZoneQuery(mSetup.services.timeZone, latitude, longitude));
    QNetworkReply *reply = mNetwork.get(request);
    mLookup = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { utcFinished(reply); });
    watch(reply, mSetup.timings.lookupInactivityMs);
    return true;
}

void TrackUploader::watch(QNetworkReply *reply, int inactivityMs)
{
    mStalled = false;
    mInactivity.setInterval(inactivityMs);
    mInactivity.start();
    auto alive = [this] { mInactivity.start(); };
    connect(reply, &QNetworkReply::downloadProgress, this, alive);
    connect(reply, &QNetworkReply::uploadProgress, this, alive);
    connect(reply, &QNetworkReply::metaDataChanged, this, alive);
}

void TrackUploader::requestStalled()
{
    QNetworkReply *reply = mUpload ? mUpload.data() : mLookup.data();
    if (!reply)
        return;
    qDebug() << "***** No answer for" << mInactivity.interval() << "ms: " << reply->url().toString();
    mStalled = true;
    reply->abort();
}

void TrackUploader::checkCancelled()
{
    if (!mSetup.cancelled || !mSetup.cancelled())
        return;
    mCancelled = true;
    if (mLookup)
        mLookup->abort();
    if (mUpload)
        mUpload->abort();
    endLoop();
}

bool TrackUploader::failedOnNetwork(QNetworkReply *reply) const
{
    if (mStalled || reply->error() == QNetworkReply::NoError)
        return mStalled;
    // An HTTP status means the service answered; its error codes start at 200.
    return !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() || reply->error() < 200;
}

int TrackUploader::failureCode(QNetworkReply *reply) const
{
    return mStalled ? int(TimeoutConnectionElapsed) : int(reply->error());
}

void TrackUploader::utcFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    // Only the lookup under way moves the loop on.
    if (reply != mLookup || mCancelled)
        return;
    mInactivity.stop();
    mLookup.clear();
    if (failedOnNetwork(reply)) {
        utcError(failureCode(reply));
        return;
    }
    const QByteArray body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qDebug() << "UTC Server response:" << status;
    QString offset;
    if (status == 200 && readTimeZoneAnswer(body, offset)) {
        mSetup.utcOffset = offset;
        writeLatestUtc(mSetup.utcCachePath, offset);
    } else {
        qDebug() << "***** Error parsing UTC response: " << QString::fromLatin1(body);
    }
    startUpload();
}

void TrackUploader::utcError(int code)
{
    qDebug() << "***** UTC request failed: " << code;
    startUpload();
}

void TrackUploader::startUpload()
{
    const QString path = mTracks.uploadList.at(mUploadIndex);
    qDebug() << "Start uploading track " << path;
    if (uploadTrack(path))
        return;
    // Nothing was sent, nothing will answer: the loop goes on without it.
    qDebug() << "***** Track file cannot be read: " << path;
    skipCurrent();
    nextTrack();
}

bool TrackUploader::uploadTrack(const QString &path)
{
    qDebug() << "upload track: " << path;
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    const bool complete = file.error() == QFileDevice::NoError;
    file.close();
    if (!complete)
        return false;

    UploadForm form;
    form.userId = mSetup.userId;
    form.utcOffset = mSetup.utcOffset;
    form.filePath = path;
    const QByteArray body = uploadBody(form, data);
    QNetworkReply *reply = mNetwork.post(uploadRequest(mSetup.services.upload, body.size()), body);
    mUpload = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { uploadFinished(reply); });
    connect(reply, &QNetworkReply::uploadProgress, this, &TrackUploader::uploadProgress);
    watch(reply, mSetup.timings.uploadInactivityMs);
    return true;
}

void TrackUploader::uploadProgress(qint64 bytesSent, qint64 bytesTotal)
{
    qDebug() << "Upload in progress.. " << QStringLiteral("%1/%2").arg(bytesSent).arg(bytesTotal);
}

void TrackUploader::uploadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != mUpload || mCancelled)
        return;
    mInactivity.stop();
    mUpload.clear();
    if (failedOnNetwork(reply)) {
        uploadError(failureCode(reply));
        return;
    }
    const QByteArray body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qDebug() << "Upload finished (" << status << ")";
    const QString path = mTracks.uploadList.at(mUploadIndex);
    const QMap<QString, QString> &keys = mTracks.trackKeys;
    readServerResponse(uploadAnswerDocument(status, body), mSetup.historyPath, path,
                       [&keys](const QString &historyPath, const QString &trackPath) {
                           return recordUploadedTrack(historyPath, keys.value(trackPath));
                       });
    ++mUploadIndex;
    emit trackHandled(true);
    nextTrack();
}

// The service cannot be reached: this file and the rest stay unsent.
void TrackUploader::uploadError(int code)
{
    qDebug() << "***** Upload Error: " << code;
    endLoop();
}
