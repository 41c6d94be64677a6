#pragma once

#include "partialdownload.h"
#include "temporaryfilesink.h"
#include "veldownloadaction.h"

#include <QByteArray>
#include <QString>

// Downloads into destinationPath + ".tmp" and, when the attempt succeeded,
// moves that file over destinationPath. A transfer that broke off keeps its
// ".tmp" file when the server takes byte ranges, and the next attempt (or
// run) asks only for the rest; any other failed attempt removes it. An
// existing file at destinationPath stays as it was until a complete one
// replaces it.
class FileDownloadAction : public VelDownloadAction
{
    Q_OBJECT

public:
    FileDownloadAction(const QUrl &url, const QString &destinationPath, const DownloadObserver &observer,
                       QObject *parent = nullptr);
    // Keeps the ".tmp" file of a transfer cut off by the end of the program
    // when it can be taken up again; removes it otherwise.
    ~FileDownloadAction() override;

    QString destinationPath() const { return mSink.destinationPath(); }
    QString temporaryPath() const { return mSink.temporaryPath(); }
    // The md5 (32 hex digits) the file must have; empty for none. A file
    // that arrives with another fails the attempt with 917.
    void setExpectedMd5(const QByteArray &md5);

    void prepareRequest(QNetworkRequest &request) override;
    qint64 bytesOnHand() const override { return mSink.size(); }

public slots:
    void startAction() override;
    void finishAction() override;
    void storeAvailableData() override;

private:
    enum class Answer { Unchecked, Writing, Ignored };

    // At the first data: whether the answer's bytes start the file, continue
    // it, or are none of it.
    void checkAnswer(QNetworkReply &source);
    bool rangeContinuesFile(const QNetworkReply &source) const;
    bool partialWorthKeeping() const;
    PartialDownload::Source partialSource() const;

    TemporaryFileSink mSink;
    QByteArray mReadBuffer;
    QByteArray mExpectedMd5;
    // Bytes of a kept partial file this attempt asked the rest of.
    qint64 mResumeOffset = 0;
    Answer mAnswer = Answer::Unchecked;
    // The bytes on disk are a good start of the file and the server takes
    // byte ranges.
    bool mResumable = false;
};
