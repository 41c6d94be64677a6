#pragma once

#include <QString>
#include <QtGlobal>

// Outcome code of a download or a card update: 0 for none, a
// QNetworkReply::NetworkError value (1 to 499), or one of the program's own
// codes below. The store page is shown a code with its name.
using ParseError = qint32;

enum ClientErrorCode : ParseError {
    // No data arrived for longer than the inactivity limit.
    TimeoutConnectionElapsed = 900,
    // A download of a file with an announced size failed.
    FileWithWrongSize = 901,
    ErrorPreparingInstallation = 902,
    ErrorInstallChart = 903,
    ErrorInstallingUgc = 904,
    ErrorUploadingSonarTrack = 905,
    // The received bytes could not be written to or moved into place on the
    // local disk (folder missing or read-only, disk full).
    ErrorWritingDownloadedFile = 907,
    // The manifest could not be obtained.
    ErrorManifestNotObtained = 910,
    // The page asked for an installer download that cannot be carried out
    // (a list too short, a name with a folder in it).
    ErrorInstallerRequestRefused = 911,
    // The manifest was obtained but cannot be acted on: too large, not text,
    // a size that is not a number, an address that is not http(s), a place
    // outside the card or an archive over the card's own folders.
    ErrorManifestRefused = 912,
    // The card was removed, unmounted or swapped for another during the run.
    ErrorCardLost = 913,
    // Another run holds the download area.
    ErrorDownloadAreaBusy = 914,
    // The download area is a link, belongs to someone else or lies elsewhere.
    ErrorDownloadAreaUnsafe = 915,
    // A place to write or delete leads outside the card (a link on the card).
    ErrorPathOutsideCard = 916,
    // A downloaded file does not match the md5 its manifest entry gives.
    ErrorChecksumMismatch = 917,
    // Read back from the card after the copies, a file differs from what
    // was written: the card did not keep what was written.
    ErrorCardReadBackMismatch = 918,
    // A file of the update is larger than the card's file system can hold
    // (FAT: 4 GiB - 1 byte).
    ErrorFileTooLargeForCard = 919,
};

// Name of an error code as the store page is shown it; "Error unknown" for
// 0 and every code without a name.
QString errorCodeName(int code);
