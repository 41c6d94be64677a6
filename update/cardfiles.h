#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class Chip;

// File operations of a card update on the card and in the download area.

// Name patterns of the files that new charts (newtide) and the community
// layer replace. The list is cleared first.
void buildRemovalFilters(bool newtide, bool community, bool includeVl3, QStringList &filters);

// Deletes the folder and everything in it (symbolic links are removed, never
// followed). True when all is gone or the folder did not exist.
bool removeDirectoryTree(const QDir &directory);

// Empties the download area and the sonar logs' area beside it ("../ugd").
void clearDownloadArea(const QDir &downloadDir);

// Deletes "chartcat.XML" in the card root and the "*.xct"/"*.XCT" files of the chart folder.
void removeChartCatalogue(const QString &cardRootPath);

// Writes the archive's entries (those whose name contains entryFilter, all
// when it is empty) into outputFolder, sub-folders included. Entries that
// would land outside outputFolder make it fail before anything is written.
// The relative paths of the files written are appended to extracted.
bool unzipArchive(const QString &archivePath, const QString &outputFolder, const QString &entryFilter,
                  QStringList *extracted = nullptr);

// Copies a file onto the card without replacing an existing one; the copy is
// flushed to the device before it counts as done, and a failed copy leaves
// nothing behind.
bool copyFileToCard(const QString &source, const QString &target);

// Sum of the sizes of the files directly in directory that match filters,
// each rounded up to whole clusters. An empty filter list matches nothing;
// nothing is counted without a cluster size.
quint64 sizeOfFilesToRemove(const QDir &directory, const QStringList &filters, quint32 clusterSize);

// What an update frees on the card by removing the files that match
// filters: on a card with old-format charts in its chart and community
// folders, on a card with a Pewter record in that edition's folder.
quint64 sizeOfReplacedFiles(const Chip &chip, const QStringList &filters, quint32 clusterSize);
