// The second half of a card update: from the downloaded files to the card,
// read back at the end.

#include "downloadmanagertest.h"

#include "archiveunpacker.h"
#include "cardformat.h"
#include "cardreadback.h"
#include "cardroom.h"
#include "chip.h"
#include "errorcodes.h"
#include "installation.h"

#include <QDebug>
#include <QElapsedTimer>

// Unpacking (what the download left), the checks with the sizes that
// arrived, the removal, the copies and the read-back: nothing on the card
// changes unless every archive unpacked and every file fits.
void DownloadManagerTest::installDownloaded(const QList<FileObject *> &installList, Installation &installation,
                                            ArchiveUnpacker &unpacker, quint32 clusterSize, Outcome &outcome)
{
    const QDir downloadDir(mOptions.downloadDirPath);
    const QDir cardRootDir(mOptions.cardRootPath);
    const QDir chartsDir(cardRootDir.filePath(Chip::ChartsFolder));
    auto fail = [&outcome, &installation](int code) {
        outcome.success = false;
        outcome.errorCode = installation.failureCode(code);
        outcome.errorMessage = installation.refusedPath();
    };

    emit preparingInstallation();
    const bool unpacked = unpacker.finish();
    qDebug() << "- Archives unpacked during the download:" << unpacker.unpackedEarly();
    if (!unpacked)
        return fail(ErrorPreparingInstallation);
    const QString tooLarge =
        CardFormat(mOptions.cardRootPath).firstTooLarge(installation.filesToInstall(installList, downloadDir));
    if (!tooLarge.isEmpty()) {
        outcome.success = false;
        outcome.errorCode = ErrorFileTooLargeForCard;
        outcome.errorMessage = tooLarge;
        return;
    }
    if (!arrivedFilesFit(installation, installList, mOptions.downloadDirPath, mOptions.cardRootPath, clusterSize)) {
        outcome.success = false;
        outcome.notEnoughSpace = true;
        return;
    }
    if (!installation.clearTheWay(installList, cardRootDir, chartsDir))
        return fail(ErrorPreparingInstallation);
    if (mOptions.newtideEnabled)
        emit startInstallingChart();
    else
        emit startInstallingUGC();
    if (!installation.installFiles(installList, downloadDir, cardRootDir))
        return fail(ErrorInstallChart);
    if (mOptions.communityEnabled) {
        emit startInstallingUGC();
        if (!installation.installArchiveContents(installList, downloadDir, cardRootDir))
            return fail(ErrorInstallingUgc);
    }
    if (mOptions.readBack)
        readBack(installation, outcome);
}

// Every file copied, read again from the card itself: a card that drops or
// corrupts writes must not end in success.
bool DownloadManagerTest::readBack(Installation &installation, Outcome &outcome)
{
    CardReadBack check;
    QElapsedTimer clock;
    clock.start();
    if (check.verify(installation.copiedFiles())) {
        qDebug() << "- Read back from the card:" << check.bytesCompared() << "bytes in" << clock.elapsed() << "ms";
        return true;
    }
    outcome.success = false;
    if (!installation.stillTheSameCard()) {
        outcome.errorCode = ErrorCardLost;
        outcome.errorMessage = mOptions.cardRootPath;
        return false;
    }
    outcome.errorCode = ErrorCardReadBackMismatch;
    outcome.errorMessage = check.firstMismatch();
    return false;
}
