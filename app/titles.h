#pragma once

#include <QString>

// Edition label of a server host, shown in the window title.
QString serverEditionLabel(const QString &serverHost);

// "%1 - V%2 - (%3)" for 1..99 per cent, "%1 - V%2" otherwise (-1 means none).
QString applicationTitle(const QString &editionLabel, int percentage);

// Name of an error code as the store page is shown it.
QString errorCodeName(int code);

// Codes of the program's own, beside the network layer's 1 to 399.
enum ClientErrorCode {
    TimeoutConnectionElapsed = 900,
    FileWithWrongSize = 901,
    ErrorPreparingInstallation = 902,
    ErrorInstallChart = 903,
    ErrorInstallingUgc = 904,
    ErrorUploadingSonarTrack = 905,
    // A downloaded file could not be written to the local disk.
    ErrorWritingDownloadedFile = 907,
    // The manifest could not be obtained or was refused.
    ErrorManifestNotObtained = 910,
};
