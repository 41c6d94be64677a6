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

// The card root, "Velamari" or "Velamari/Charts" (in any letter case, as the
// card resolves relativePath): folders never to be cleared as a whole.
bool isCardStructureFolder(const QString &relativePath);
