#pragma once

#include "chip.h"

#include <QString>
#include <QtGlobal>

// The card a run started on, remembered so that every later step can ask
// whether it is still there: the real path of its root, the device that
// holds the root and its tag. A card that was removed leaves its folder
// missing or a bare mount point on another device; a swapped card carries
// another tag.
class CardIdentity
{
public:
    // Remembers the card at rootPath; false when there is no card there.
    bool capture(const QString &rootPath);

    // The root still exists, lies on the same device and carries the same tag.
    bool isSameCard() const;

    QString realRoot() const { return mRealRoot; }

    // The real path of relativePath on the card; empty when it leads off the card.
    QString resolve(const QString &relativePath) const;
    // absolutePath, resolved, lies on the card; its real path, or empty.
    QString resolveAbsolute(const QString &absolutePath) const;

    // Creates the missing folders of realFolder (a real path on the card, not
    // the root itself), only while the card is the same one. The root is
    // never made: a card that is gone must not be rebuilt on the computer.
    bool makeFolders(const QString &realFolder) const;

private:
    QString mRealRoot;
    quint64 mDevice = 0;
    // Opened on the root at capture; asked whether the tag is still the same.
    Chip mCard;
};
