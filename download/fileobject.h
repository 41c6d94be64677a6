#pragma once

#include <QObject>
#include <QString>

// One file of a card update as the manifest lists it; also the record the
// bridge builds for the installer download. A plain record.
class FileObject : public QObject
{
    Q_OBJECT

public:
    // The manifest parser's: size is decimal text; -1 when it is not a
    // number of bytes (negative, not a number), which no check can trust.
    FileObject(const QString &destinationPath, const QString &size, const QString &url, const QString &name,
               const QString &md5);
    // The bridge's, for the installer download: the installer's file name
    // goes in the destinationPath position, md5 stays empty.
    FileObject(const QString &destinationPath, const QString &size, const QString &url, const QString &name);
    ~FileObject() override;

    // Relative to the card root: the file's own path, or the folder that
    // receives an archive's contents.
    QString destinationPath() const { return mDestinationPath; }
    void setDestinationPath(const QString &path) { mDestinationPath = path; }
    // Download size in bytes; -1 when the manifest gave none that can be read.
    qint64 size() const { return mSize; }
    void setSize(qint64 size) { mSize = size; }
    // The download URL as text in encoded form.
    QString url() const { return mUrl; }
    void setUrl(const QString &url) { mUrl = url; }
    QString name() const { return mName; }
    void setName(const QString &name) { mName = name; }
    QString md5() const { return mMd5; }
    void setMd5(const QString &md5) { mMd5 = md5; }
    // For an archive: total size of its contents, and number of its files.
    quint64 unzippedSize() const { return mUnzippedSize; }
    void setUnzippedSize(quint64 size) { mUnzippedSize = size; }
    quint32 totalFiles() const { return mTotalFiles; }
    void setTotalFiles(quint32 count) { mTotalFiles = count; }

private:
    QString mDestinationPath;
    qint64 mSize = 0;
    QString mUrl;
    QString mName;
    QString mMd5;
    quint64 mUnzippedSize = 0;
    quint32 mTotalFiles = 0;
};
