#pragma once

#include <QDir>
#include <QFileInfoList>
#include <QList>
#include <QString>
#include <QStringList>

#include <limits>

class FileObject;

// File operations of a card update on the card and in the download area.

// Name patterns of the files that new charts (newtide) and the community
// layer replace. The list is cleared first.
void buildRemovalFilters(bool newtide, bool community, bool includeVl3, QStringList &filters);

// Deletes the folder and everything in it. Symbolic links are removed, never
// followed, the folder itself included: a folder that is a link loses the
// link and its target stays. True when all is gone or nothing was there.
bool removeDirectoryTree(const QDir &directory);

// Empties the download area and the sonar logs' area beside it ("../ugd"),
// but for the partial downloads a new run may take up again.
void clearDownloadArea(const QDir &downloadDir);

// Deletes "chartcat.XML" in the card root and the "*.xct"/"*.XCT" files of the chart folder.
void removeChartCatalogue(const QString &cardRootPath);
// The files removeChartCatalogue deletes, as it finds them.
QFileInfoList chartCatalogueFiles(const QString &cardRootPath);

// The removal patterns the new files bring: "*." and the suffix of each
// name that filters hold (letter case significant), in order, once each.
QStringList effectiveFilters(const QList<FileObject *> &installList, const QStringList &filters);

// The files directly in directory that match patterns, in any letter case;
// an empty pattern list matches nothing.
QFileInfoList filesMatching(const QDir &directory, const QStringList &patterns);

// Every file below folder; links are not followed, and not listed.
QFileInfoList filesBelow(const QString &folder);

// Writes the archive's entries (those whose name contains entryFilter, all
// when it is empty) into outputFolder, sub-folders included. Entries that
// would land outside outputFolder make it fail before anything is written,
// and so does an archive whose contents add up to more than maxBytes (what
// it wrote so far is removed). The relative paths of the files written are
// appended to extracted.
bool unzipArchive(const QString &archivePath, const QString &outputFolder, const QString &entryFilter,
                  QStringList *extracted = nullptr,
                  quint64 maxBytes = std::numeric_limits<quint64>::max());

// Copies a file onto the card without replacing an existing one; the copy is
// flushed to the device before it counts as done, and a failed copy leaves
// nothing behind.
bool copyFileToCard(const QString &source, const QString &target);

// Sum of the sizes of the files directly in directory that match filters,
// each rounded up to whole clusters. An empty filter list matches nothing;
// nothing is counted without a cluster size.
quint64 sizeOfFilesToRemove(const QDir &directory, const QStringList &filters, quint32 clusterSize);
