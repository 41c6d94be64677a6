#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class FileObject;

// The store's list of files of one card update, compact JSON as the store
// writes it, read by text search: appends one entry per record that has a
// destination path, a URL and a size. Never fails; malformed text yields
// odd entries or none.
void parseManifest(const QByteArray &bytes, QList<FileObject *> &list);

// Why an entry must not be acted on (it would write or delete outside the
// card's chart area); empty when it is acceptable.
QString unsafeManifestEntryReason(const FileObject &entry);

// The reason of the first unacceptable entry; empty when all are acceptable.
QString unsafeManifestReason(const QList<FileObject *> &list);
