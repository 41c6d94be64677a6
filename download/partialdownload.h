#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class QFileInfo;

// A download cut short and kept so that a later attempt, or a later run,
// asks only for the rest: "<destination>.tmp" with the bytes, and beside it
// "<destination>.tmp.source" naming the URL, the declared size and the md5
// of the file they belong to. The bytes are taken up again only for the
// same file.
namespace PartialDownload {

struct Source
{
    QUrl url;
    qint64 size = 0;
    QByteArray md5;
};

QString sourcePath(const QString &temporaryPath);
// Written whole or not at all.
bool record(const QString &temporaryPath, const Source &source);
// The partial file's size when one of the same file lies at temporaryPath
// (a plain file, not a link), 0 otherwise.
qint64 resumableSize(const QString &temporaryPath, const Source &source);
// Removes the source record (the bytes are the caller's).
void forget(const QString &temporaryPath);
// For the cleaning of the download area: file is the bytes or the record of
// a kept partial download, each a plain file with its partner beside it.
bool isKeptPart(const QFileInfo &file);

} // namespace PartialDownload
