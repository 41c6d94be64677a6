#include "serverresponse.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>

UploadVerdict judgeUploadAnswer(const QDomDocument &document)
{
    UploadVerdict verdict;
    verdict.reason = QStringLiteral("unknown server error");
    const QDomElement status = document.documentElement().firstChildElement(QStringLiteral("Status"));
    if (status.isNull())
        return verdict;
    if (status.text() == QLatin1String("Success")) {
        verdict.accepted = true;
    } else if (status.text() == QLatin1String("Error")) {
        const QString message = status.nextSiblingElement(QStringLiteral("Message")).text();
        if (message.contains(QLatin1String("duplicate key")))
            verdict.accepted = true;
        else
            verdict.reason = message;
    }
    return verdict;
}

QDomDocument uploadAnswerDocument(int httpStatus, const QByteArray &body)
{
    QDomDocument document(QStringLiteral("WebInputInterface"));
    if (httpStatus == 200 && !document.setContent(body))
        document = QDomDocument(QStringLiteral("WebInputInterface"));
    return document;
}

UploadVerdict readUploadAnswer(int httpStatus, const QByteArray &body)
{
    return judgeUploadAnswer(uploadAnswerDocument(httpStatus, body));
}

bool readServerResponse(const QDomDocument &document, const QString &historyPath, const QString &trackPath,
                        const UploadRecorder &recordUploadedTrack)
{
    const UploadVerdict verdict = judgeUploadAnswer(document);
    if (!verdict.accepted)
        qDebug() << "***** Server error (" << verdict.reason << ") uploading: " << trackPath;
    else if (recordUploadedTrack)
        recordUploadedTrack(historyPath, trackPath);
    return verdict.accepted;
}
