// The checks of a card update that stop a run before anything is
// downloaded or removed: the download area, the card, the manifest, the
// card's format and its room.

#include "downloadmanagertest.h"

#include "cardformat.h"
#include "cardidentity.h"
#include "cardroom.h"
#include "chip.h"
#include "downloadarea.h"
#include "errorcodes.h"
#include "installation.h"
#include "manifest.h"
#include "runlog.h"
#include "updateplan.h"

#include <QDebug>

bool DownloadManagerTest::claimDownloadArea(DownloadArea &area, Outcome &outcome)
{
    switch (area.claim()) {
    case DownloadArea::Claim::Taken:
        return true;
    case DownloadArea::Claim::Busy:
        outcome.errorCode = ErrorDownloadAreaBusy;
        outcome.errorMessage = area.rootPath();
        return false;
    case DownloadArea::Claim::Unsafe:
        outcome.errorCode = ErrorDownloadAreaUnsafe;
        outcome.errorMessage = area.problem();
        return false;
    }
    return false;
}

// A link on the card that leads elsewhere stops the run before anything is downloaded.
bool DownloadManagerTest::placesAreOnCard(Installation &installation, const QList<FileObject *> &installList,
                                          Outcome &outcome)
{
    const QDir cardRootDir(mOptions.cardRootPath);
    if (installation.checkPlaces(installList, cardRootDir, QDir(cardRootDir.filePath(Chip::ChartsFolder))))
        return true;
    outcome.errorCode = ErrorPathOutsideCard;
    outcome.errorMessage = installation.refusedPath();
    return false;
}

// A file the card's file system cannot hold stops the run before anything
// is downloaded or removed.
bool DownloadManagerTest::fitsCardFormat(const QList<FileObject *> &installList, Outcome &outcome)
{
    const QString tooLarge = CardFormat(mOptions.cardRootPath).firstTooLarge(installList);
    if (tooLarge.isEmpty())
        return true;
    outcome.errorCode = ErrorFileTooLargeForCard;
    outcome.errorMessage = tooLarge;
    return false;
}

bool DownloadManagerTest::captureCard(CardIdentity &card, Outcome &outcome)
{
    if (card.capture(mOptions.cardRootPath))
        return true;
    qDebug() << "*** No card at" << mOptions.cardRootPath;
    outcome.errorCode = ErrorCardLost;
    outcome.errorMessage = mOptions.cardRootPath;
    return false;
}

// Nothing is downloaded or removed for a manifest that cannot be checked or
// would reach outside the card.
bool DownloadManagerTest::manifestIsSafe(Outcome &outcome)
{
    const QString reason = unsafeManifestReason(mManifest);
    if (reason.isEmpty())
        return true;
    qDebug() << "*** Manifest refused:" << reason;
    outcome.errorCode = ErrorManifestRefused;
    outcome.errorMessage = reason;
    return false;
}

bool DownloadManagerTest::checkSpace(const UpdatePlan &plan, quint64 removedBytes, quint32 clusterSize)
{
    Chip chip;
    chip.open(mOptions.cardRootPath);
    const quint64 freeSpace = freeSpaceOfCard(&chip);
    logSpaceFigures(plan.downloadBytes, plan.diskSize, removedBytes, freeSpace);

    // Without the card's allocation unit no size can be trusted.
    if (clusterSize == 0)
        qDebug() << "*** ERROR: Not able to retrive the cluster size of the chip";
    if (!hasRoomFor(plan.diskSize, freeSpace, removedBytes, clusterSize)) {
        qDebug() << "You don't have enought space on chip!!";
        emit notEnoughSpace();
        return false;
    }
    qDebug() << "Space enough, so we can start the newtide data process";
    mProgress.clearTracks();
    return true;
}

quint64 DownloadManagerTest::freeSpaceOfCard(const Chip *chip) const
{
    if (!chip || !chip->rootDir())
        return 0;
    return freeBytesOfCard(chip->rootDir()->absolutePath());
}
