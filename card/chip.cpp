#include "chip.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTextStream>

const QString Chip::VelamariFolder = QStringLiteral("Velamari/");
const QString Chip::ChartsFolder = Chip::VelamariFolder + QStringLiteral("Charts/");
const QString Chip::UgcFolder = Chip::ChartsFolder + QStringLiteral("UGC/");
const QString Chip::IndexFile = Chip::VelamariFolder + QStringLiteral("Index.txt");

namespace {
const QString TagFileName = QStringLiteral("nTag.txt");
const QString ScratchFileName = QStringLiteral("wr-test");

// First line of the tag file, trimmed; false when it cannot be read.
bool readTagLine(const QDir &root, QString &tag)
{
    QFile file(root.filePath(TagFileName));
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    tag = Chip::tagFromText(file.readAll());
    return true;
}
} // namespace

Chip::Chip() = default;
Chip::~Chip() = default;

void Chip::reset()
{
    mEntries.clear();
    mRootDir.reset();
    mVelamariDir.reset();
    mChartsDir.reset();
    mUgcDir.reset();
    mIndexFile.reset();
    mHasPewterEntry = false;
    mHasOldChartFiles = false;
    mPewterIndex = -1;
    mTag.clear();
}

bool Chip::open(const QString &rootPath)
{
    reset();
    if (rootPath.isEmpty() || !QFileInfo(rootPath).isDir())
        return false;
    mRootDir = std::make_unique<QDir>(rootPath);

    const bool tagRead = readTagLine(*mRootDir, mTag);

    const QString velamariPath = mRootDir->filePath(QStringLiteral("Velamari"));
    if (!QFileInfo(velamariPath).isDir()) {
        if (!tagRead)
            reset();
        return tagRead;
    }
    mVelamariDir = std::make_unique<QDir>(velamariPath);
    mChartsDir = std::make_unique<QDir>(mVelamariDir->filePath(QStringLiteral("Charts")));
    mUgcDir = std::make_unique<QDir>(mChartsDir->filePath(QStringLiteral("UGC")));
    mIndexFile = std::make_unique<QFile>(mVelamariDir->filePath(QStringLiteral("Index.txt")));

    if (mIndexFile->exists()) {
        mEntries = parseIndex(mIndexFile->fileName());
        for (size_t i = 0; i < mEntries.size(); ++i) {
            if (mEntries[i].isPewter()) {
                mPewterIndex = int(i);
                mHasPewterEntry = true;
                break;
            }
        }
    }
    mHasOldChartFiles = containsOldChartFiles(*mChartsDir);
    return true;
}

QString Chip::openTaggedVolume(const QStringList &volumes, const QString &wantedTag)
{
    for (const QString &volume : volumes) {
        if (open(volume) && !mTag.isEmpty() && (wantedTag.isEmpty() || mTag == wantedTag))
            return volume;
    }
    reset();
    return QString();
}

const ChartIndexEntry *Chip::pewterEntry() const
{
    if (!mHasPewterEntry || mPewterIndex < 0 || size_t(mPewterIndex) >= mEntries.size())
        return nullptr;
    return &mEntries[size_t(mPewterIndex)];
}

std::vector<ChartIndexEntry> Chip::parseIndex(const QString &indexPath)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return parseIndexText(file.readAll());
}

QString Chip::tagFromText(const QByteArray &text)
{
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream in(&buffer);
    return in.readLine().trimmed();
}

std::vector<ChartIndexEntry> Chip::parseIndexText(const QByteArray &text)
{
    std::vector<ChartIndexEntry> entries;
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);

    std::unique_ptr<ChartIndexEntry> current;
    QTextStream in(&buffer);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();

        if (key.compare(QLatin1String("Directory"), Qt::CaseInsensitive) == 0) {
            if (current && current->isComplete())
                entries.push_back(*current);
            current = std::make_unique<ChartIndexEntry>();
        }
        if (!current)
            continue;
        auto is = [&key](const char *name) { return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        if (is("Directory"))
            current->directory = value;
        else if (is("Type"))
            current->type = value;
        else if (is("Chart"))
            current->chart = value;
        else if (is("Version"))
            current->version = value;
        else if (is("Edition date"))
            current->editionDate = value;
        else if (is("Description"))
            current->description = value;
    }
    if (current && current->isComplete())
        entries.push_back(*current);
    return entries;
}

bool Chip::tagMatches() const
{
    if (!mRootDir || !mRootDir->exists())
        return false;
    QString tag;
    if (readTagLine(*mRootDir, tag))
        return tag == mTag;
    return mTag.isEmpty();
}

bool Chip::isWritable() const
{
    if (!mRootDir || !mRootDir->exists())
        return false;
    QFile scratch(mRootDir->filePath(ScratchFileName));
    if (!scratch.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    scratch.close();
    scratch.remove();
    return true;
}

bool Chip::containsOldChartFiles(const QDir &directory)
{
    if (!directory.exists())
        return false;
    // Cards are FAT volumes: match the extension in any letter case.
    QDir dir(directory);
    dir.setFilter(QDir::Files | QDir::Hidden);
    dir.setNameFilters(QStringList() << QStringLiteral("*.vl2"));
    return !dir.entryList().isEmpty();
}
