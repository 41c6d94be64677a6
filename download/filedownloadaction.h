#pragma once

#include "veldownloadaction.h"

#include <QByteArray>
#include <QString>

class QFile;

// Downloads into destinationPath + ".tmp" and, when the attempt succeeded,
// moves that file over destinationPath. A failed attempt removes the ".tmp"
// file and leaves an existing file at destinationPath as it was.
class FileDownloadAction : public VelDownloadAction
{
    Q_OBJECT

public:
    FileDownloadAction(const QUrl &url, const QString &destinationPath, QObject *observer,
                       QObject *parent = nullptr);
    ~FileDownloadAction() override;

    QString destinationPath() const { return mDestinationPath; }
    QString temporaryPath() const;

public slots:
    void startAction() override;
    void finishAction() override;
    void storeAvailableData() override;

private:
    void discardTemporaryFile();

    QFile *mTempFile = nullptr;
    QString mDestinationPath;
    // The sink could not take the bytes of this attempt.
    bool mWriteFailed = false;
    QByteArray mReadBuffer;
};
