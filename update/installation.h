#pragma once

#include <QDir>
#include <QFileInfoList>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CardIdentity;
class FileObject;

// Moves a downloaded card update from the download area onto the card:
// unpacks archives, clears the way (catalogue, superseded files, the
// replaced edition folder) and copies plain files and archive contents.
// The download area mirrors the card: a file for P on the card lies at P
// inside the download area.
//
// Nothing it writes or deletes may lie off the card: every card path is
// resolved first (links included), and the card must still be the one the
// run started on before anything is removed and before each copy.
class Installation
{
public:
    // Why a step failed when the card itself was the reason.
    enum class CardProblem { None, Lost, PathOutside };

    Installation(bool newtide, bool community, const QString &cardRootPath, const QString &additionalPath);
    ~Installation();
    Installation(Installation &&);

    // The card the run started on; without one, the card at cardRootPath
    // as it is when the installation is made. Not owned.
    void setCard(const CardIdentity *card);

    // Called at the start of each copy phase and after every file handled.
    void setProgressHooks(std::function<void()> phaseStarted, std::function<void()> fileProcessed);

    // Set when the last step failed because the card was gone or swapped, or
    // a place on it led elsewhere.
    CardProblem cardProblem() const { return mCardProblem; }
    // The error code of a failed step: the card's own (lost, or a place off
    // the card) when the card was the reason, stepCode otherwise.
    int failureCode(int stepCode) const;
    // The place that led off the card, when that was the problem.
    QString refusedPath() const { return mRefusedPath; }

    // Every place the installation will write or delete (each file or
    // archive folder, the chart folder, the index, the edition folder)
    // resolves on the card, links followed; otherwise PathOutside.
    bool checkPlaces(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir);

    // Unpacks the archives in the download area, empties their destination
    // folders on the card, then removes superseded files. False when an
    // archive or a card folder could not be handled (the removal is then skipped).
    bool prepareInstallation(const QList<FileObject *> &installList, const QDir &downloadDir, const QDir &cardRootDir,
                             const QDir &chartsDir);
    // The two halves of the preparation. Unpacking touches only the download
    // area; an archive may not grow past its declared unzipped size (with a
    // margin) nor past the area's free space.
    bool unpackArchives(const QList<FileObject *> &installList, const QDir &downloadDir);
    // One archive of the list, then deleted from the download area. Safe on
    // a thread of its own while nothing else uses the installation.
    bool unpackArchive(const FileObject &archive, const QDir &downloadDir);
    // Empties the archives' destination folders and removes superseded
    // files; nothing is removed unless every place resolves on the card.
    bool clearTheWay(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir);

    // Deletes the catalogue and the chart files that the new files replace.
    // Failures are only logged.
    void removeSupersededFiles(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir);

    // Copies the plain files onto the card; false when one could not be copied.
    bool installFiles(const QList<FileObject *> &installList, const QDir &downloadDir, const QDir &cardRootDir);

    // Copies what each archive held onto the card under its folder.
    bool installArchiveContents(const QList<FileObject *> &installList, const QDir &downloadDir,
                                const QDir &cardRootDir);

    // What the copies put on the card so far, for reading it back.
    struct CopiedFile
    {
        QString source;
        QString target;
    };
    QList<CopiedFile> copiedFiles() const { return mCopied; }
    // The card is still the one the run started on (logged and noted as
    // lost otherwise).
    bool stillTheSameCard();

    // The card files that clearing the way deletes, as they are now: what the
    // space rule may count as freed.
    QFileInfoList filesToRemove(const QList<FileObject *> &installList, const QDir &cardRootDir) const;
    // The files that installing copies onto the card, as they lie in the
    // download area (after unpacking).
    QFileInfoList filesToInstall(const QList<FileObject *> &installList, const QDir &downloadDir) const;

    // An entry that names a folder (its destination does not contain its name).
    static bool hasFolderDestination(const FileObject &entry);
    // A ".zip" name, in any letter case: unpacked, never copied as it is.
    static bool isArchive(const FileObject &entry);
    // Where an entry lies below the download area or the card root.
    static QString targetPath(const FileObject &entry);
    // The folder an archive fills: its destination, or, when the destination
    // names the archive itself, the folder that holds it.
    static QString archiveFolder(const FileObject &entry);

private:
    void phaseStarted();
    void fileProcessed();
    const CardIdentity &card() const;
    // The real path of relative on the card below cardRootDir, or empty
    // (and PathOutside noted) when it leads elsewhere.
    QString onCard(const QDir &cardRootDir, const QString &relative);
    bool isOnCard(const QString &absolutePath);
    void refuse(const QString &path);
    bool copyOntoCard(const QString &source, const QString &target, const QString &shownName);

    bool mNewtide;
    bool mCommunity;
    QString mCardRootPath;
    QString mAdditionalPath;
    const CardIdentity *mCard = nullptr;
    std::unique_ptr<CardIdentity> mOwnCard;
    CardProblem mCardProblem = CardProblem::None;
    QString mRefusedPath;
    std::function<void()> mPhaseStarted;
    std::function<void()> mFileProcessed;
    // Archive (by its path in the download area) -> files it held, relative to its folder.
    QMap<QString, QStringList> mArchiveContents;
    QList<CopiedFile> mCopied;
};
