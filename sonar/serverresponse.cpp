#include "serverresponse.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>

bool readServerResponse(const QDomDocument &document, const QString &historyPath, const QString &trackPath,
                        const UploadRecorder &recordUploadedTrack)
{
    QString reason = QStringLiteral("unknown server error");
    bool accepted = false;
    const QDomElement status = document.documentElement().firstChildElement(QStringLiteral("Status"));
    if (!status.isNull()) {
        if (status.text() == QLatin1String("Success")) {
            accepted = true;
        } else if (status.text() == QLatin1String("Error")) {
            const QString message = status.nextSiblingElement(QStringLiteral("Message")).text();
            if (message.contains(QLatin1String("duplicate key")))
                accepted = true;
            else
                reason = message;
        }
    }
    if (accepted) {
        if (recordUploadedTrack)
            recordUploadedTrack(historyPath, trackPath);
    } else {
        qDebug() << "***** Server error (" << reason << ") uploading: " << trackPath;
    }
    return accepted;
}
