#pragma once

#include <QString>

// Paths that come from outside (the manifest, archive entries, the card's
// index, the store page) are checked here before anything is written or
// deleted with them. Both '/' and '\' count as separators.

// relativePath, taken relative to some folder, cannot reach outside it: not
// absolute, no drive prefix, no ".." component. The empty path is the
// folder itself.
bool isInsideFolder(const QString &relativePath);

// A single file name: not empty, no separator, not "." or "..".
bool isPlainFileName(const QString &name);

// The folder that relativePath names as a FAT card resolves it: components
// lose trailing dots and blanks, empty components vanish, '/' joins them.
// Empty for the folder itself.
QString asCardResolves(const QString &relativePath);

// The path as the card takes it: '\' is a folder separator there, so both
// become '/', and repeated separators are one.
QString withCardSeparators(const QString &path);

// A folder strictly below the card's "Velamari" folder (in any letter case,
// as the card resolves relativePath): the only folders an update may clear
// as a whole. The card root holds the tag, "Velamari" the index; anything
// outside "Velamari" is the user's.
bool isBelowChartArea(const QString &relativePath);

// The real path that absolutePath names: links in the part that exists are
// resolved, the rest is appended as written. Empty when it cannot be told
// (a relative path, "..", or a link whose target is missing).
QString realPathOf(const QString &absolutePath);

// realPath (as realPathOf gives it) is realRoot or lies below it.
bool isWithin(const QString &realRoot, const QString &realPath);

// The real path of relativePath below realRoot; empty when it would lead
// outside realRoot (through "..", or a link that points elsewhere).
QString realPathBelow(const QString &realRoot, const QString &relativePath);
