#pragma once

#include <QtGlobal>

// Outcome code of a download: 0 for none, a QNetworkReply::NetworkError
// value (1 to 499), or one of the codes below.
using ParseError = qint32;

namespace DownloadError {

// No data arrived for longer than the inactivity limit.
constexpr ParseError TimeoutConnectionElapsed = 900;
// A download of a file with an announced size failed.
constexpr ParseError FileWithWrongSize = 901;
// The received bytes could not be written to or moved into place on the
// local disk (folder missing or read-only, disk full).
constexpr ParseError LocalFileError = 907;

} // namespace DownloadError
