#pragma once

#include <QDir>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class FileObject;

// Moves a downloaded card update from the download area onto the card:
// unpacks archives, clears the way (catalogue, superseded files, the
// replaced edition folder) and copies plain files and archive contents.
// The download area mirrors the card: a file for P on the card lies at P
// inside the download area.
class Installation
{
public:
    Installation(bool newtide, bool community, const QString &cardRootPath, const QString &additionalPath);

    // Called at the start of each copy phase and after every file handled.
    void setProgressHooks(std::function<void()> phaseStarted, std::function<void()> fileProcessed);

    // Unpacks the archives in the download area, empties their destination
    // folders on the card, then removes superseded files. False when an
    // archive or a card folder could not be handled (the removal is then skipped).
    bool prepareInstallation(const QList<FileObject *> &installList, const QDir &downloadDir, const QDir &cardRootDir,
                             const QDir &chartsDir);

    // Deletes the catalogue and the chart files that the new files replace.
    // Failures are only logged.
    void removeSupersededFiles(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir);

    // Copies the plain files onto the card; false when one could not be copied.
    bool installFiles(const QList<FileObject *> &installList, const QDir &downloadDir, const QDir &cardRootDir);

    // Copies what each archive held onto the card under its destination.
    bool installArchiveContents(const QList<FileObject *> &installList, const QDir &downloadDir,
                                const QDir &cardRootDir);

    // An entry that names a folder (its destination does not contain its name).
    static bool hasFolderDestination(const FileObject &entry);
    static bool isArchive(const FileObject &entry);
    // Where an entry lies below the download area or the card root.
    static QString targetPath(const FileObject &entry);

private:
    void phaseStarted();
    void fileProcessed();

    bool mNewtide;
    bool mCommunity;
    QString mCardRootPath;
    QString mAdditionalPath;
    std::function<void()> mPhaseStarted;
    std::function<void()> mFileProcessed;
    // Archive (by its path in the download area) -> files it held, relative to its destination.
    QMap<QString, QStringList> mArchiveContents;
};
