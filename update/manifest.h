#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class FileObject;

// Largest manifest taken: the compact form lists thousands of files in far less.
constexpr qint64 MaxManifestBytes = 4 * 1024 * 1024;

// The store's list of files of one card update, compact JSON as the store
// writes it, read by text search: appends one entry per record that has a
// destination path, a URL and a size. Never fails; malformed text yields
// odd entries or none. A '\' in a destination is a folder separator.
void parseManifest(const QByteArray &bytes, QList<FileObject *> &list);

// Why manifest text must not be read at all (larger than MaxManifestBytes,
// or holding a NUL byte, where the text would silently end); empty when it
// may be.
QString unacceptableManifestText(const QByteArray &bytes);

// Why an entry must not be acted on: a size that is not a number of bytes,
// an address that is not http(s), a place outside the card, an archive that
// would clear a folder outside "Velamari" or one of the card's own folders.
// Empty when it is acceptable.
QString unsafeManifestEntryReason(const FileObject &entry);

// The reason of the first unacceptable entry; empty when all are acceptable.
QString unsafeManifestReason(const QList<FileObject *> &list);

// The md5 a downloaded file is checked against: the entry's "md5" when it
// is 32 hex digits, in lower case. Empty (no check) when the entry has none;
// the store writes "0" for that.
QByteArray checkableMd5(const FileObject &entry);
