#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QDomDocument;

// Records an accepted track in the upload history; false when it could not.
using UploadRecorder = std::function<bool(const QString &historyPath, const QString &trackPath)>;

// The upload service's verdict on one track.
struct UploadVerdict
{
    bool accepted = false;
    // Why it was refused: the service's message or "unknown server error".
    QString reason;
};

// The root's first "Status" child says "Success", or "Error" with a next
// sibling "Message"; a message holding "duplicate key" means the service has
// the track already, which accepts it too. Anything else refuses it.
UploadVerdict judgeUploadAnswer(const QDomDocument &document);

// The answer as a document: empty for a status other than 200 or a body
// that is not XML.
QDomDocument uploadAnswerDocument(int httpStatus, const QByteArray &body);

// The answer's body as it came, judged.
UploadVerdict readUploadAnswer(int httpStatus, const QByteArray &body);

// Judges the answer; an accepted track is then recorded, a refused one logged.
bool readServerResponse(const QDomDocument &document, const QString &historyPath, const QString &trackPath,
                        const UploadRecorder &recordUploadedTrack);
