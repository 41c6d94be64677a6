#include "installation.h"

#include "cardfiles.h"
#include "chip.h"
#include "fileobject.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

Installation::Installation(bool newtide, bool community, const QString &cardRootPath, const QString &additionalPath)
    : mNewtide(newtide)
    , mCommunity(community)
    , mCardRootPath(cardRootPath)
    , mAdditionalPath(additionalPath)
{
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

bool Installation::hasFolderDestination(const FileObject &entry)
{
    return !entry.destinationPath().contains(entry.name());
}

bool Installation::isArchive(const FileObject &entry)
{
    return entry.name().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive) && hasFolderDestination(entry);
}

QString Installation::targetPath(const FileObject &entry)
{
    if (hasFolderDestination(entry))
        return QDir(entry.destinationPath()).filePath(entry.name());
    return entry.destinationPath();
}

bool Installation::prepareInstallation(const QList<FileObject *> &installList, const QDir &downloadDir,
                                       const QDir &cardRootDir, const QDir &chartsDir)
{
    // Every archive is unpacked before anything on the card is cleared, so
    // that a damaged archive leaves the card as it was.
    bool result = true;
    QList<const FileObject *> archives;
    for (const FileObject *entry : installList) {
        if (isArchive(*entry))
            archives.append(entry);
    }

    mArchiveContents.clear();
    for (const FileObject *archive : archives) {
        const QString archivePath = downloadDir.filePath(targetPath(*archive));
        QStringList extracted;
        if (unzipArchive(archivePath, downloadDir.filePath(archive->destinationPath()), QString(), &extracted)) {
            QFile::remove(archivePath);
            mArchiveContents.insert(archivePath, extracted);
        } else {
            qDebug() << "*** problem unzipping the file " << targetPath(*archive);
            result = false;
        }
    }
    if (!result)
        return false;

    for (const FileObject *archive : archives) {
        const QString cardFolder = cardRootDir.filePath(archive->destinationPath());
        if (QFileInfo::exists(cardFolder))
            result = removeDirectoryTree(QDir(cardFolder)) && result;
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
        for (const char *name : { "contents.txt", "EULA.pdf", "warnings_acknowledgements.pdf" }) {
            const QString path = cardRootDir.filePath(QLatin1String(name));
            if (QFile::exists(path))
                QFile::remove(path);
        }
    }

    QStringList filters;
    buildRemovalFilters(mNewtide, mCommunity, true, filters);
    QStringList effective;
    for (const FileObject *entry : installList) {
        const QString pattern = QStringLiteral("*.") + QFileInfo(entry->name()).suffix();
        if (filters.contains(pattern) && !effective.contains(pattern))
            effective.append(pattern);
    }

    qDebug() << "-             Filters: " << effective;
    qDebug() << "-      Aditional path: " << (mAdditionalPath.isEmpty() ? QStringLiteral("N.A.") : mAdditionalPath);
    qDebug() << "--";
    qDebug() << "---";
    qDebug() << "------------------------------------------------------------";
    qDebug("%s", "");

    if (!effective.isEmpty()) {
        const QFileInfoList files = chartsDir.entryInfoList(effective, QDir::Files | QDir::NoDotAndDotDot);
        for (const QFileInfo &file : files) {
            const bool removed = QFile::remove(file.absoluteFilePath());
            qDebug() << "Remove result (" << removed << "): " << file.absoluteFilePath();
        }
    }

    if (!mAdditionalPath.isEmpty()) {
        const QDir additional(mAdditionalPath);
        const bool removed = removeDirectoryTree(additional);
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
    const QString charts = cardRootDir.absoluteFilePath(Chip::ChartsFolder);
    if (!QFileInfo::exists(charts))
        QDir().mkpath(charts);

    for (const FileObject *entry : installList) {
        if (isArchive(*entry))
            continue;
        const QString relative = targetPath(*entry);
        const QString source = downloadDir.filePath(relative);
        const QString target = cardRootDir.filePath(relative);
        if (QFileInfo::exists(source)) {
            // The manifest may name a card folder that this card does not have yet.
            QDir().mkpath(QFileInfo(target).absolutePath());
            if (!copyFileToCard(source, target)) {
                qDebug() << "copy of " << source << " failed";
                result = false;
            }
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
    for (const FileObject *entry : installList) {
        if (!isArchive(*entry))
            continue;
        const QDir sourceFolder(downloadDir.filePath(entry->destinationPath()));
        const QDir targetFolder(cardRootDir.filePath(entry->destinationPath()));
        QDir().mkpath(targetFolder.absolutePath());
        const QStringList files = mArchiveContents.value(downloadDir.filePath(targetPath(*entry)));
        for (const QString &relative : files) {
            const QString target = targetFolder.filePath(relative);
            QDir().mkpath(QFileInfo(target).absolutePath());
            if (!copyFileToCard(sourceFolder.filePath(relative), target)) {
                qDebug() << "copy of " << relative << " failed";
                result = false;
            }
            fileProcessed();
        }
    }
    return result;
}
