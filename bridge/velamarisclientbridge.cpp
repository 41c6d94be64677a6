#include "velamarisclientbridge.h"

#include "cardpaths.h"
#include "cardspace.h"
#include "environment.h"
#include "errorcodes.h"
#include "fileobject.h"
#include "pcappdownloadthread.h"
#include "trackformats.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QNetworkCookieJar>
#include <QStandardPaths>

namespace {
const char *const ApplicationVersionText = "{applicationVersion: ";

// Size on disk of the files directly in folder (sub-folders are not entered).
quint64 occupiedSpace(const QString &folder, quint32 cluster)
{
    return sizeOnCard(QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), cluster);
}
} // namespace

VelamarisClientBridge::VelamarisClientBridge(const QString &serverHost, const QString &cardPath, QObject *parent)
    : QObject(parent)
    , mCardPath(cardPath)
    , mServerHost(serverHost)
    , mInstallerFolder(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))
{
    readAcceptedTrackFormats(Environment::instance()->applicationDir().filePath(QStringLiteral("acceptedTrackFormats.xml")),
                             mAcceptedTrackFormats);
}

VelamarisClientBridge::~VelamarisClientBridge()
{
    stopInstallerDownload();
}

void VelamarisClientBridge::stopInstallerDownload()
{
    if (!mInstallerThread)
        return;
    mInstallerThread->disconnect(this);
    delete mInstallerThread; // quits and waits for its thread
    mInstallerThread = nullptr;
}

void VelamarisClientBridge::setCardPath(const QString &path)
{
    mCardPath = path;
    mCardOpened = false;
}

void VelamarisClientBridge::searchCard()
{
    if (!mCardPath.isEmpty()) {
        // A card path given on the command line is opened like a found card.
        if (!mCardOpened) {
            mCard.open(mCardPath);
            mCountTierCharts = mCard.hasPewterEntry() && !mCard.hasOldChartFiles();
            mCardOpened = true;
        }
        return;
    }
    mDeletePewter = false;
    const QString volume = mCard.openTaggedVolume(Environment::instance()->removableVolumes());
    if (volume.isEmpty()) {
        mCardOpened = false;
        return;
    }
    mCountTierCharts = mCard.hasPewterEntry() && !mCard.hasOldChartFiles();
    mCardPath = volume;
    mCardOpened = true;
    qDebug() << "- The Card Volume is" << volume;
}

quint64 VelamarisClientBridge::freeBytesOfCard()
{
    quint64 freeBytes = 0;
    if (!cardFreeSpace(mCardPath, freeBytes)) {
        qDebug() << "ERROR: Not able to retrive free Space";
        return 0;
    }
    return freeBytes;
}

QString VelamarisClientBridge::getApplicationNameAndVersion()
{
    return QLatin1String(ApplicationVersionText) + Environment::versionString()
        + QStringLiteral("applicationName: Velamaris_Berth_Kit}");
}

QString VelamarisClientBridge::getSerial()
{
    searchCard();
    if (!mCard.tagMatches()) {
        mCardPath.clear();
        mCardOpened = false;
        searchCard();
    }
    return mCard.tag();
}

double VelamarisClientBridge::getCardAvailableSpace()
{
    if (mDevice == QLatin1String("card")) {
        searchCard();
        if (mCardPath.isEmpty())
            return 0;
        return double(freeBytesOfCard());
    }
    if (mDevice == QLatin1String("pc"))
        return 1073741824.0;
    return 0;
}

bool VelamarisClientBridge::isCardWriteable()
{
    if (mDevice == QLatin1String("pc"))
        return true;
    if (!mCardOpened && !mCardPath.isEmpty())
        searchCard();
    return mCard.isWritable();
}

void VelamarisClientBridge::doUrlBrowser(QString sPage)
{
    emit printLinkClicked(QUrl(QStringLiteral("http://") + mServerHost + sPage));
}

void VelamarisClientBridge::consoleDebugMethod()
{
}

void VelamarisClientBridge::setDevice(QString device)
{
    mDevice = device;
}

QString VelamarisClientBridge::getDevice()
{
    return mDevice;
}

void VelamarisClientBridge::qtDebug(QString dbString)
{
    qDebug() << "DEBUG: " << dbString;
}

void VelamarisClientBridge::openLink(QString aLink)
{
    QDesktopServices::openUrl(QUrl(aLink));
}

void VelamarisClientBridge::enqueueFiles(QString aManifest)
{
    if (aManifest.isEmpty())
        emit goBack();
    else
        emit newtideDataFromManifest(aManifest);
}

void VelamarisClientBridge::enqueueFiles(QString aManifest, bool ntEnabled, bool clEnabled, bool stEnabled)
{
    if (aManifest.isEmpty() && (ntEnabled || clEnabled))
        emit goBack();
    else
        emit newtideDataFromManifest(aManifest, ntEnabled, clEnabled, stEnabled);
}

void VelamarisClientBridge::setDeletePewter()
{
    mDeletePewter = true;
}

double VelamarisClientBridge::getFreeSpaceAndVelData()
{
    if (mDevice != QLatin1String("card"))
        return 0;
    searchCard();
    if (mCardPath.isEmpty())
        return 0;
    const quint64 freeBytes = freeBytesOfCard();
    const quint32 cluster = cardClusterSize(mCardPath);
    const QDir root(mCardPath);
    quint64 occupied = occupiedSpace(root.filePath(Chip::ChartsFolder), cluster);
    occupied += occupiedSpace(root.filePath(Chip::UgcFolder), cluster);
    if (mCountTierCharts && mCard.pewterEntry() && mCard.velamariDir())
        occupied += occupiedSpace(mCard.velamariDir()->filePath(mCard.pewterEntry()->directory), cluster);
    return double(freeBytes + occupied);
}

int VelamarisClientBridge::getClusterSize()
{
    if (mDevice != QLatin1String("card"))
        return 0;
    return int(cardClusterSize(mCardPath));
}

void VelamarisClientBridge::stateReset()
{
    mCardPath.clear();
    mCardOpened = false;
    mSonarBeta = false;
    mUploadedCount = 0;
    mCorruptedCount = 0;
    mAlreadyUploadedCount = 0;
    emit reinitializeState();
}

void VelamarisClientBridge::setReturnUrl(QString aUrl)
{
    mReturnUrl = aUrl;
}

void VelamarisClientBridge::setCancelReturnUrl(QString aUrl)
{
    mCancelReturnUrl = aUrl;
}

void VelamarisClientBridge::setUGDBetaUser(bool enabled)
{
    mSonarBeta = enabled;
}

void VelamarisClientBridge::setCurrentUserId(QString userId)
{
    mCurrentUserId = userId;
}

int VelamarisClientBridge::getSonarTracksNumber()
{
    return mUploadedCount;
}

int VelamarisClientBridge::getCorruptedSonarTracksNumber()
{
    return mCorruptedCount;
}

int VelamarisClientBridge::getAlreadyUploadedSonarTracksNumber()
{
    return mAlreadyUploadedCount;
}

bool VelamarisClientBridge::sonarTracksFound()
{
    if (!mCardPath.isEmpty())
        return !findTrackFiles(mCardPath, mAcceptedTrackFormats).isEmpty();
    bool found = false;
    const QStringList volumes = Environment::instance()->removableVolumes();
    for (const QString &volume : volumes) {
        found = !findTrackFiles(volume, mAcceptedTrackFormats).isEmpty();
        if (found) {
            mCardPath = volume;
            mCard.open(volume);
            mCardOpened = true;
            break;
        }
    }
    return found;
}

bool VelamarisClientBridge::isOldChip()
{
    return mCard.hasOldChartFiles() && mCard.tag().isEmpty();
}

QString VelamarisClientBridge::pewterFolderPath() const
{
    if (!mDeletePewter || !mCard.pewterEntry() || !mCard.velamariDir())
        return QString();
    const QString directory = mCard.pewterEntry()->directory;
    const QString folder = QDir::cleanPath(mCard.velamariDir()->absoluteFilePath(directory));
    // The whole folder is deleted: it must lie inside the card's chart area, and not be that area itself.
    if (!isInsideFolder(directory) || asCardResolves(directory).isEmpty()) {
        qDebug() << "*** Edition folder outside the chart area refused:" << folder;
        return QString();
    }
    return folder;
}

void VelamarisClientBridge::setSonarCounts(int uploaded, int alreadyUploaded, int corrupted)
{
    mUploadedCount = uploaded;
    mAlreadyUploadedCount = alreadyUploaded;
    mCorruptedCount = corrupted;
}

void VelamarisClientBridge::setCookieJar(QNetworkCookieJar *jar)
{
    mCookieJar = jar;
}

void VelamarisClientBridge::setInstallerFolder(const QString &folder)
{
    mInstallerFolder = folder;
}

void VelamarisClientBridge::enqueueFiles(int lengthManifest, QStringList sFiles1)
{
    getCardAvailableSpace();
    mInstallerSize = 0;
    if (mDevice != QLatin1String("pc"))
        return;
    if (lengthManifest < 1 || sFiles1.size() < 3 * lengthManifest) {
        qDebug() << "*** Installer list refused: " << lengthManifest << sFiles1;
        processErrorOnDownload(ErrorInstallerRequestRefused, QStringLiteral("bad installer list"));
        return;
    }
    // The page names the file; only a plain name may reach the user's disk.
    const QString name = sFiles1.at(0);
    if (!isPlainFileName(name)) {
        qDebug() << "*** Installer name refused: " << sFiles1.at(0);
        processErrorOnDownload(ErrorInstallerRequestRefused, QStringLiteral("bad installer name"));
        return;
    }

    const FileObject entry(name, sFiles1.at(lengthManifest), sFiles1.at(2 * lengthManifest), QString());
    QDir().mkpath(mInstallerFolder);
    mInstallerSize = sFiles1.at(lengthManifest).toLongLong();
    mInstallerBytes = 0;
    emit notifyStatus(QStringLiteral("download"));

    stopInstallerDownload();
    mInstallerThread = new PCAppDownloadThread(QStringLiteral("tApp"), mInstallerFolder, mCookieJar, &entry);
    connect(mInstallerThread, &PCAppDownloadThread::FileDownloaded, this, &VelamarisClientBridge::ThreadDownloadEnd);
    connect(mInstallerThread, &PCAppDownloadThread::bytesDownloaded, this,
            &VelamarisClientBridge::notifyBytesDownloaded);
    connect(mInstallerThread, &PCAppDownloadThread::downloadFailed, this,
            &VelamarisClientBridge::processErrorOnDownload);
    mInstallerThread->start(QThread::NormalPriority);
}

void VelamarisClientBridge::ThreadDownloadEnd(QString)
{
    qDebug() << "Pc App Downloaded";
    emit notifyStatus(QStringLiteral("completed"));
}

void VelamarisClientBridge::notifyBytesDownloaded(qint64 inBytes)
{
    mInstallerBytes = inBytes;
    if (mInstallerSize > 0)
        emit progressBarUpdate(float(double(mInstallerBytes) / double(mInstallerSize) * 100.0));
}

void VelamarisClientBridge::processErrorOnDownload(int code, QString message)
{
    emit errorOnDownload(code, message);
}
