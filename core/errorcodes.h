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
    // The manifest could not be obtained or was refused.
    ErrorManifestNotObtained = 910,
};

// Name of an error code as the store page is shown it; "Error unknown" for
// 0 and every code without a name.
QString errorCodeName(int code);
