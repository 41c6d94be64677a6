#pragma once

#include "installation.h"

#include <QList>
#include <QString>

// A worn or counterfeit card can drop or corrupt writes without an error:
// only what the device gives back counts. Each copied file is read again
// from the card itself, past the system's cache, and compared with the file
// it was copied from.
class CardReadBack
{
public:
    // True when every card file holds what its source holds. Otherwise the
    // first card file that differs (or cannot be read) is logged and kept.
    bool verify(const QList<Installation::CopiedFile> &files);
    QString firstMismatch() const { return mFirstMismatch; }
    qint64 bytesCompared() const { return mBytesCompared; }

private:
    bool sameContent(const QString &source, const QString &target);

    QString mFirstMismatch;
    qint64 mBytesCompared = 0;
};
