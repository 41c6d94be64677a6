#include "installation.h"

#include "cardfiles.h"
#include "cardidentity.h"
#include "cardpaths.h"
#include "cardspace.h"
#include "chip.h"
#include "errorcodes.h"
#include "fileobject.h"
#include "updateplan.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <limits>

namespace {
// Files of the card root that new charts replace.
const char *const RootFilesOfNewCharts[] = { "contents.txt", "EULA.pdf", "warnings_acknowledgements.pdf" };

// What an archive may unpack to: its declared size with room for a store
// that rounds, never more than the download area holds. An archive that
// declares nothing is bounded by the area alone.
quint64 unpackLimit(const FileObject &archive, const QDir &downloadDir)
{
    quint64 limit = std::numeric_limits<quint64>::max();
    if (archive.unzippedSize() > 0)
        limit = archive.unzippedSize() + archive.unzippedSize() / 8 + 1024 * 1024;
    quint64 freeBytes = 0;
    if (cardFreeSpace(downloadDir.absolutePath(), freeBytes))
        limit = qMin(limit, freeBytes);
    return limit;
}
} // namespace

Installation::Installation(bool newtide, bool community, const QString &cardRootPath, const QString &additionalPath)
    : mNewtide(newtide)
    , mCommunity(community)
    , mCardRootPath(cardRootPath)
    , mAdditionalPath(additionalPath)
    , mOwnCard(std::make_unique<CardIdentity>())
{
    mOwnCard->capture(cardRootPath);
    mCard = mOwnCard.get();
}

Installation::~Installation() = default;
Installation::Installation(Installation &&) = default;

void Installation::setCard(const CardIdentity *card)
{
    mCard = card ? card : mOwnCard.get();
}

void Installation::setProgressHooks(std::function<void()> phaseStarted, std::function<void()> fileProcessed)
{
    mPhaseStarted = std::move(phaseStarted);
    mFileProcessed = std::move(fileProcessed);
}

void Installation::phaseStarted()
{
    if (mPhaseStarted)
        mPhaseStarted();
}

void Installation::fileProcessed()
{
    if (mFileProcessed)
        mFileProcessed();
}

const CardIdentity &Installation::card() const
{
    return *mCard;
}

int Installation::failureCode(int stepCode) const
{
    switch (mCardProblem) {
    case CardProblem::Lost:
        return ErrorCardLost;
    case CardProblem::PathOutside:
        return ErrorPathOutsideCard;
    case CardProblem::None:
        break;
    }
    return stepCode;
}

bool Installation::hasFolderDestination(const FileObject &entry)
{
    return !entry.destinationPath().contains(entry.name());
}

bool Installation::isArchive(const FileObject &entry)
{
    // The space rule and the progress weights read archives the same way.
    return hasArchiveName(entry);
}

QString Installation::targetPath(const FileObject &entry)
{
    if (hasFolderDestination(entry))
        return QDir(entry.destinationPath()).filePath(entry.name());
    return entry.destinationPath();
}

QString Installation::archiveFolder(const FileObject &entry)
{
    return QFileInfo(targetPath(entry)).path();
}

QString Installation::onCard(const QDir &cardRootDir, const QString &relative)
{
    const QString real = realPathBelow(realPathOf(cardRootDir.absolutePath()), relative);
    if (real.isEmpty() || !isWithin(card().realRoot(), real)) {
        refuse(cardRootDir.filePath(relative));
        return QString();
    }
    return real;
}

bool Installation::isOnCard(const QString &absolutePath)
{
    if (!card().resolveAbsolute(absolutePath).isEmpty())
        return true;
    refuse(absolutePath);
    return false;
}

void Installation::refuse(const QString &path)
{
    qDebug() << "*** Refused: it leads off the card:" << path;
    mCardProblem = CardProblem::PathOutside;
    mRefusedPath = path;
}

bool Installation::stillTheSameCard()
{
    if (card().isSameCard())
        return true;
    qDebug() << "*** The card is gone or was swapped:" << mCardRootPath;
    mCardProblem = CardProblem::Lost;
    return false;
}

bool Installation::copyOntoCard(const QString &source, const QString &target, const QString &shownName)
{
    if (!stillTheSameCard())
        return false;
    if (card().makeFolders(QFileInfo(target).absolutePath()) && copyFileToCard(source, target)) {
        mCopied.append({ source, target });
        return true;
    }
    // A card pulled out in the middle of a copy is a lost card, not a bad file.
    if (!stillTheSameCard())
        return false;
    qDebug() << "copy of " << shownName << " failed";
    return false;
}

bool Installation::prepareInstallation(const QList<FileObject *> &installList, const QDir &downloadDir,
                                       const QDir &cardRootDir, const QDir &chartsDir)
{
    // Every archive is unpacked before anything on the card is cleared, so
    // that a damaged archive leaves the card as it was.
    return unpackArchives(installList, downloadDir) && clearTheWay(installList, cardRootDir, chartsDir);
}

bool Installation::unpackArchives(const QList<FileObject *> &installList, const QDir &downloadDir)
{
    bool result = true;
    mArchiveContents.clear();
    for (const FileObject *archive : installList) {
        if (isArchive(*archive))
            result = unpackArchive(*archive, downloadDir) && result;
    }
    return result;
}

bool Installation::unpackArchive(const FileObject &archive, const QDir &downloadDir)
{
    const QString archivePath = downloadDir.filePath(targetPath(archive));
    QStringList extracted;
    if (!unzipArchive(archivePath, downloadDir.filePath(archiveFolder(archive)), QString(), &extracted,
                      unpackLimit(archive, downloadDir))) {
        qDebug() << "*** problem unzipping the file " << targetPath(archive);
        return false;
    }
    QFile::remove(archivePath);
    mArchiveContents.insert(archivePath, extracted);
    return true;
}

bool Installation::checkPlaces(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir)
{
    for (const FileObject *entry : installList) {
        if (onCard(cardRootDir, isArchive(*entry) ? archiveFolder(*entry) : targetPath(*entry)).isEmpty())
            return false;
    }
    return isOnCard(chartsDir.absolutePath()) && !onCard(cardRootDir, Chip::IndexFile).isEmpty()
        && (mAdditionalPath.isEmpty() || isOnCard(mAdditionalPath));
}

bool Installation::clearTheWay(const QList<FileObject *> &installList, const QDir &cardRootDir, const QDir &chartsDir)
{
    mCardProblem = CardProblem::None;
    // Everything is resolved before anything is removed.
    if (!stillTheSameCard() || !checkPlaces(installList, cardRootDir, chartsDir))
        return false;
    bool result = true;
    for (const FileObject *entry : installList) {
        if (isArchive(*entry))
            result = removeDirectoryTree(QDir(onCard(cardRootDir, archiveFolder(*entry)))) && result;
    }
    if (result)
        removeSupersededFiles(installList, cardRootDir, chartsDir);
    return result;
}

void Installation::removeSupersededFiles(const QList<FileObject *> &installList, const QDir &cardRootDir,
                                         const QDir &chartsDir)
{
    qDebug() << "------------------------------------------------------------";
    qDebug() << "---   Removing files from chip";
    qDebug() << "--";
    qDebug() << "-         Chip folder: " << chartsDir.absolutePath();

    removeChartCatalogue(cardRootDir.absolutePath());
    if (mNewtide) {
        for (const char *name : RootFilesOfNewCharts) {
            const QString path = cardRootDir.filePath(QLatin1String(name));
            if (QFile::exists(path))
                QFile::remove(path);
        }
    }

    QStringList filters;
    buildRemovalFilters(mNewtide, mCommunity, true, filters);
    const QStringList effective = effectiveFilters(installList, filters);

    qDebug() << "-             Filters: " << effective;
    qDebug() << "-      Aditional path: " << (mAdditionalPath.isEmpty() ? QStringLiteral("N.A.") : mAdditionalPath);
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << "------------------------------------------------------------";
    qDebug("%s", "");

    const QFileInfoList files = filesMatching(chartsDir, effective);
    for (const QFileInfo &file : files) {
        const bool removed = QFile::remove(file.absoluteFilePath());
        qDebug() << "Remove result (" << removed << "): " << file.absoluteFilePath();
    }

    if (!mAdditionalPath.isEmpty()) {
        const QDir additional(mAdditionalPath);
        // The edition folder comes from the card's index: it is removed only when it lies on the card.
        const bool removed = isOnCard(mAdditionalPath) && removeDirectoryTree(additional);
        qDebug() << "Remove result (" << removed << "): " << additional.absolutePath();
        const QString index = QDir(mCardRootPath).filePath(Chip::IndexFile);
        const bool indexRemoved = QFile::remove(index);
        qDebug() << "Remove result (" << indexRemoved << "): " << QFileInfo(index).absoluteFilePath();
    }
    qDebug() << "File removed";
}

bool Installation::installFiles(const QList<FileObject *> &installList, const QDir &downloadDir,
                                const QDir &cardRootDir)
{
    bool result = true;
    phaseStarted();
    mCardProblem = CardProblem::None;
    if (!stillTheSameCard())
        return false;
    const QString charts = onCard(cardRootDir, Chip::ChartsFolder);
    if (charts.isEmpty())
        return false;
    if (!card().makeFolders(charts) && !stillTheSameCard())
        return false;

    for (const FileObject *entry : installList) {
        if (isArchive(*entry))
            continue;
        const QString relative = targetPath(*entry);
        const QString source = downloadDir.filePath(relative);
        if (QFileInfo::exists(source)) {
            const QString target = onCard(cardRootDir, relative);
            if (target.isEmpty() || !copyOntoCard(source, target, source))
                result = false;
            if (mCardProblem == CardProblem::Lost)
                return false;
        }
        fileProcessed();
    }
    return result;
}

bool Installation::installArchiveContents(const QList<FileObject *> &installList, const QDir &downloadDir,
                                          const QDir &cardRootDir)
{
    bool result = true;
    phaseStarted();
    mCardProblem = CardProblem::None;
    for (const FileObject *entry : installList) {
        if (!isArchive(*entry))
            continue;
        const QDir sourceFolder(downloadDir.filePath(archiveFolder(*entry)));
        const QString targetFolder = onCard(cardRootDir, archiveFolder(*entry));
        if (targetFolder.isEmpty() || !stillTheSameCard() || !card().makeFolders(targetFolder)) {
            if (mCardProblem == CardProblem::Lost)
                return false;
            result = false;
            continue;
        }
        const QStringList files = mArchiveContents.value(downloadDir.filePath(targetPath(*entry)));
        for (const QString &relative : files) {
            if (!copyOntoCard(sourceFolder.filePath(relative), QDir(targetFolder).filePath(relative), relative))
                result = false;
            if (mCardProblem == CardProblem::Lost)
                return false;
            fileProcessed();
        }
    }
    return result;
}

QFileInfoList Installation::filesToRemove(const QList<FileObject *> &installList, const QDir &cardRootDir) const
{
    QFileInfoList files;
    QSet<QString> seen;
    // A file reached by two names (a FAT card ignores letter case) counts once.
    auto add = [&files, &seen](const QFileInfoList &found) {
        for (const QFileInfo &file : found) {
            const QString key = file.canonicalFilePath();
            if (file.isSymLink() || key.isEmpty() || seen.contains(key))
                continue;
            seen.insert(key);
            files.append(file);
        }
    };

    add(chartCatalogueFiles(cardRootDir.absolutePath()));
    if (mNewtide) {
        for (const char *name : RootFilesOfNewCharts)
            add({ QFileInfo(cardRootDir.filePath(QLatin1String(name))) });
    }
    for (const FileObject *entry : installList) {
        const QString folder = isArchive(*entry) ? card().resolve(archiveFolder(*entry)) : QString();
        if (!folder.isEmpty())
            add(filesBelow(folder));
    }
    QStringList filters;
    buildRemovalFilters(mNewtide, mCommunity, true, filters);
    add(filesMatching(QDir(cardRootDir.filePath(Chip::ChartsFolder)), effectiveFilters(installList, filters)));
    if (!mAdditionalPath.isEmpty() && !card().resolveAbsolute(mAdditionalPath).isEmpty()) {
        add(filesBelow(mAdditionalPath));
        add({ QFileInfo(QDir(mCardRootPath).filePath(Chip::IndexFile)) });
    }
    return files;
}

QFileInfoList Installation::filesToInstall(const QList<FileObject *> &installList, const QDir &downloadDir) const
{
    QFileInfoList files;
    for (const FileObject *entry : installList) {
        if (!isArchive(*entry)) {
            const QFileInfo file(downloadDir.filePath(targetPath(*entry)));
            if (file.exists())
                files.append(file);
            continue;
        }
        const QDir folder(downloadDir.filePath(archiveFolder(*entry)));
        const QStringList contents = mArchiveContents.value(downloadDir.filePath(targetPath(*entry)));
        for (const QString &relative : contents)
            files.append(QFileInfo(folder.filePath(relative)));
    }
    return files;
}
