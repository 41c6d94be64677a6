#pragma once

#include <QByteArray>
#include <QString>

class QDomDocument;

// The upload history "history.xml": one empty element per track the server
// accepted, named by its key (trackkey.h), below the root "History". The
// previous version is kept as "history.xml.bak".

// Reads history content: UTF-8, or Latin-1 as older histories were written.
// False, with the parser's message in errorText, when it is not XML.
bool parseUploadHistory(const QByteArray &content, QDomDocument &document, QString *errorText = nullptr);

// The run's history: the file at path, or its backup when the file is
// missing or unreadable; an empty "History" root when neither can be read.
void readUploadHistory(const QString &path, QDomDocument &document);

// Whether an element named key lies anywhere below the root.
bool historyHoldsTrack(const QDomDocument &document, const QString &key);

// Adds key to the history at historyPath. The new content is written to a
// temporary file and renamed into place, so that a crash or a full disk
// leaves the earlier records whole; the version before goes to the backup.
// An unreadable history is kept aside as "history.xml.unreadable" (numbered
// when taken) and the backup's records are carried over. False when the
// history could not be read or written.
bool recordUploadedTrack(const QString &historyPath, const QString &key);

QString historyBackupPath(const QString &historyPath);
