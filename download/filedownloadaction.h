#pragma once

#include "temporaryfilesink.h"
#include "veldownloadaction.h"

#include <QByteArray>
#include <QString>

// Downloads into destinationPath + ".tmp" and, when the attempt succeeded,
// moves that file over destinationPath. A failed attempt removes the ".tmp"
// file and leaves an existing file at destinationPath as it was.
class FileDownloadAction : public VelDownloadAction
{
    Q_OBJECT

public:
    FileDownloadAction(const QUrl &url, const QString &destinationPath, const DownloadObserver &observer,
                       QObject *parent = nullptr);
    ~FileDownloadAction() override;

    QString destinationPath() const { return mSink.destinationPath(); }
    QString temporaryPath() const { return mSink.temporaryPath(); }

public slots:
    void startAction() override;
    void finishAction() override;
    void storeAvailableData() override;

private:
    TemporaryFileSink mSink;
    QByteArray mReadBuffer;
};
