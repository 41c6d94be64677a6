#pragma once

#include "chartindexentry.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// One inserted chart card: its tag, its chart index and the questions the
// bridge and the card update ask about it. Holds no open files between calls.
class Chip
{
public:
    // Card layout, relative to the card root.
    static const QString VelamariFolder;   // "Velamari/"
    static const QString ChartsFolder;     // "Velamari/Charts/"
    static const QString UgcFolder;        // "Velamari/Charts/UGC/"
    static const QString IndexFile;        // "Velamari/Index.txt"

    Chip();
    ~Chip();
    Chip(const Chip &) = delete;
    Chip &operator=(const Chip &) = delete;

    // Opens the card at rootPath; false when it is neither tagged nor holds "Velamari/".
    bool open(const QString &rootPath);
    void reset();
    // Opens the first of volumes, in their order, whose tag is not empty and,
    // when wantedTag is given, equals it; returns that volume, or resets and
    // returns an empty text when there is none.
    QString openTaggedVolume(const QStringList &volumes, const QString &wantedTag = QString());

    QString tag() const { return mTag; }
    const QDir *rootDir() const { return mRootDir.get(); }
    const QDir *velamariDir() const { return mVelamariDir.get(); }
    const QDir *chartsDir() const { return mChartsDir.get(); }
    const QDir *ugcDir() const { return mUgcDir.get(); }
    const QFile *indexFile() const { return mIndexFile.get(); }

    const std::vector<ChartIndexEntry> &entries() const { return mEntries; }
    bool hasPewterEntry() const { return mHasPewterEntry; }
    bool hasOldChartFiles() const { return mHasOldChartFiles; }
    int pewterIndex() const { return mPewterIndex; }
    // The first complete Pewter record, or null.
    const ChartIndexEntry *pewterEntry() const;

    // The card in rootDir still carries the tag read by open().
    bool tagMatches() const;
    // Writes and removes a scratch file in the root; never leaves it behind.
    bool isWritable() const;

    static bool containsOldChartFiles(const QDir &directory);
    // Complete records of an index file, in file order.
    static std::vector<ChartIndexEntry> parseIndex(const QString &indexPath);
    // The same for the index's bytes as a file opened as text would give them.
    static std::vector<ChartIndexEntry> parseIndexText(const QByteArray &text);
    // The tag in the bytes of a tag file: its first line, trimmed.
    static QString tagFromText(const QByteArray &text);

private:
    std::vector<ChartIndexEntry> mEntries;
    std::unique_ptr<QDir> mRootDir;
    std::unique_ptr<QDir> mVelamariDir;
    std::unique_ptr<QDir> mChartsDir;
    std::unique_ptr<QDir> mUgcDir;
    std::unique_ptr<QFile> mIndexFile;
    bool mHasPewterEntry = false;
    bool mHasOldChartFiles = false;
    int mPewterIndex = -1;
    QString mTag;
};
