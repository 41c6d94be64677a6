#pragma once

#include <QString>

#include <functional>

class QDomDocument;

// Records an accepted track in the upload history; false when it could not.
using UploadRecorder = std::function<bool(const QString &historyPath, const QString &trackPath)>;

// Judges the upload service's answer: "Status" "Success", or "Error" with a
// "Message" holding "duplicate key" (the service has the track already),
// accepts the track, which is then recorded; anything else is logged.
bool readServerResponse(const QDomDocument &document, const QString &historyPath, const QString &trackPath,
                        const UploadRecorder &recordUploadedTrack);
