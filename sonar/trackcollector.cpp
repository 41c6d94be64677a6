#include "trackcollector.h"

#include "environment.h"
#include "sonarfolders.h"
#include "trackformats.h"
#include "trackkey.h"
#include "uploadhistory.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
bool hasSuffix(const QString &path, const char *suffix)
{
    return path.toLower().endsWith(QLatin1String(suffix));
}
} // namespace

TrackCollector::TrackCollector(const Places &places)
    : mPlaces(places)
    , mHistory(QStringLiteral("History"))
{
}

QString TrackCollector::historyPath() const
{
    return mPlaces.applicationDir.absoluteFilePath(QStringLiteral("history.xml"));
}

void TrackCollector::readHistory()
{
    readUploadHistory(historyPath(), mHistory);
}

void TrackCollector::findSonarTracks()
{
    const QString formatsPath = mPlaces.applicationDir.absoluteFilePath(QStringLiteral("acceptedTrackFormats.xml"));
    qDebug() << "====           Application path: " << mPlaces.applicationDir.absolutePath();
    qDebug() << "==== Accepted track format path: " << formatsPath;
    QStringList patterns;
    readAcceptedTrackFormats(formatsPath, patterns);
    mTracks.foundTracks = findTrackFiles(mPlaces.cardRootPath, patterns);
}

void TrackCollector::checkForDatSlgUploadedSonarTracks()
{
    if (mTracks.foundTracks.isEmpty())
        return;
    const QStringList found = mTracks.foundTracks;
    for (const QString &path : found) {
        qint64 size = 0;
        if (hasSuffix(path, ".dat"))
            size = datTrackSize(path);
        else if (hasSuffix(path, ".slg"))
            size = QFileInfo(path).size();
        else
            continue;
        const QString key = makeTrackKey(path, size, true);
        mTracks.trackKeys.insert(path, key);
        if (historyHoldsTrack(mHistory, key)) {
            mTracks.foundTracks.removeOne(path);
            mTracks.alreadyUploaded.append(path);
        }
    }
    qDebug() << "End of checkForDatSlgUploadedSonarTracks";
}

bool TrackCollector::convertSonarTracks(const std::function<void()> &trackStarted)
{
    QStringList uploadList;
    const QString stkDir = SonarFolders::stkTracks(mPlaces.workFolder);
    const QString tmpDir = SonarFolders::stkTracksTmp(mPlaces.workFolder);
    if (!SonarFolders::renew(stkDir)) {
        qDebug() << "***** Cannot make the folder of converted tracks: " << stkDir;
        return false;
    }
    for (const QString &path : qAsConst(mTracks.foundTracks)) {
        if (trackStarted)
            trackStarted();
        SonarFolders::renew(tmpDir);
        if (hasSuffix(path, ".slg")) {
            const QString archive = convertSlgTrack(path, stkDir, tmpDir);
            if (archive.isEmpty()) {
                qDebug() << "********** Sgl Conversion problem!";
                mTracks.corruptedTracks.append(path);
            } else {
                uploadList.append(archive);
            }
            mTracks.trackKeys.insert(archive, mTracks.trackKeys.value(path));
        } else if (hasSuffix(path, ".fsh")) {
            const QStringList parts =
                convertFshDatTrack(path, stkDir) ? mTracks.conversionMap.value(path) : QStringList();
            if (parts.isEmpty()) {
                qDebug() << "********** Fsh Conversion problem!";
                mTracks.corruptedTracks.append(path);
            }
            uploadList += parts;
        } else if (hasSuffix(path, ".dat")) {
            if (!QFileInfo::exists(datCompanionPath(path))) {
                qDebug() << "********** Bad DAT track!";
                mTracks.corruptedTracks.append(path);
                continue;
            }
            if (!convertFshDatTrack(path, stkDir)) {
                qDebug() << "********** Dat Conversion problem!";
                mTracks.corruptedTracks.append(path);
                continue;
            }
            const QString key = mTracks.trackKeys.value(path);
            for (const QString &part : mTracks.conversionMap.value(path)) {
                uploadList.append(part);
                if (!key.isEmpty())
                    mTracks.trackKeys.insert(part, key);
            }
        } else {
            qDebug() << "Unsupported track format: " << path;
            mTracks.corruptedTracks.append(path);
        }
    }
    mTracks.trackKeys.remove(QString());
    mTracks.uploadList = uploadList;
    return true;
}

QString TrackCollector::convertSlgTrack(const QString &logPath, const QString &stkDir, const QString &tmpDir)
{
    const Environment *environment = Environment::instance();
    if (!environment->runSondrak(mPlaces.toolDir, logPath, tmpDir))
        return QString();
    const QFileInfoList archives = QDir(tmpDir).entryInfoList({ QStringLiteral("*.zip") }, QDir::Files,
                                                              QDir::Name | QDir::IgnoreCase);
    if (archives.isEmpty())
        return QString();
    const QString moved = QDir(stkDir).absoluteFilePath(archives.first().fileName());
    const bool movedOk = QFile::rename(archives.first().absoluteFilePath(), moved);
    // Where the upload finds the track's first position.
    environment->runSondump(mPlaces.toolDir, moved, SonarFolders::positionText(moved));
    return movedOk ? moved : QString();
}

bool TrackCollector::convertFshDatTrack(const QString &logPath, const QString &stkDir)
{
    qDebug() << "********** Track conversion (FSH/DAT): " << logPath;
    if (!hasSuffix(logPath, ".fsh") && !hasSuffix(logPath, ".dat"))
        return false;
    const QString tmpDir = SonarFolders::conversionTmp(mPlaces.workFolder);
    SonarFolders::renew(tmpDir);
    const bool converted = Environment::instance()->runWakeform(mPlaces.toolDir, logPath, tmpDir);
    if (converted) {
        QStringList parts;
        const QFileInfoList files = QDir(tmpDir).entryInfoList(QDir::Files | QDir::NoDotAndDotDot,
                                                               QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &file : files) {
            const QString moved = QDir(stkDir).absoluteFilePath(file.fileName());
            if (QFile::rename(file.absoluteFilePath(), moved) && hasSuffix(moved, ".t3d"))
                parts.append(moved);
        }
        mTracks.conversionMap.insert(logPath, parts);
    }
    SonarFolders::removeTree(tmpDir);
    return converted;
}

void TrackCollector::checkForFshUploadedSonarTracks()
{
    for (auto entry = mTracks.conversionMap.cbegin(); entry != mTracks.conversionMap.cend(); ++entry) {
        if (!hasSuffix(entry.key(), ".fsh"))
            continue;
        for (const QString &part : entry.value()) {
            const QString key = makeTrackKey(part, QFileInfo(part).size(), false);
            mTracks.trackKeys.insert(part, key);
            if (historyHoldsTrack(mHistory, key)) {
                mTracks.uploadList.removeOne(part);
                mTracks.alreadyUploaded.append(part);
            }
        }
    }
    qDebug() << "End of checkForFshUploadedSonarTracks";
}

SonarCounts TrackCollector::report(int uploadIndex)
{
    if (uploadIndex != -1)
        mTracks.corruptedTracks += mTracks.uploadList.mid(uploadIndex);
    qDebug() << "        Uploaded track: " << mTracks.uploadList.size();
    qDebug() << "       Corrupted track: " << mTracks.corruptedTracks.size();
    qDebug() << "Already uploaded track: " << mTracks.alreadyUploaded.size();
    for (const QString &path : qAsConst(mTracks.corruptedTracks))
        mTracks.uploadList.removeOne(path);

    SonarCounts counts;
    counts.uploaded = mTracks.uploadList.size();
    counts.alreadyUploaded = mTracks.alreadyUploaded.size();
    counts.corrupted = mTracks.corruptedTracks.size();
    return counts;
}
