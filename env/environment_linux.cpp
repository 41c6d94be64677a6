#include "environment_linux.h"

#include "platformenvironment.h"
#include "tracktools.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QStandardPaths>
#include <QTextStream>

#include <sys/statvfs.h>

#include <algorithm>
#include <climits>

EnvironmentImpl *createPlatformEnvironment()
{
    // Test seam: the end-to-end tests hand child processes a fake proc and
    // sys tree, so that folders stand in for removable volumes.
    const QString procRoot = qEnvironmentVariable("VELAMARIS_PROC_ROOT", QStringLiteral("/proc"));
    const QString sysRoot = qEnvironmentVariable("VELAMARIS_SYS_ROOT", QStringLiteral("/sys"));
    return new LinuxEnvironmentImpl(procRoot, sysRoot);
}

QString executableFileName(const QString &baseName)
{
    return baseName;
}

namespace {

// Mount points in mountinfo escape blank, tab, newline and backslash as \ooo.
QString unescapeMountField(const QString &field)
{
    QByteArray in = field.toLocal8Bit();
    QByteArray out;
    out.reserve(in.size());
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size()) {
            const QByteArray digits = in.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(in[i]);
    }
    return QString::fromLocal8Bit(out);
}

QString readFirstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromLocal8Bit(file.readLine()).trimmed();
}

struct MountEntry
{
    QString device;     // major:minor
    QString root;       // root of the mount within its file system
    QString mountPoint;
};

} // namespace

LinuxEnvironmentImpl::LinuxEnvironmentImpl(const QString &procRoot, const QString &sysRoot)
    : mProcRoot(procRoot)
    , mSysRoot(sysRoot)
{
    mProgramDir = QDir(QCoreApplication::applicationDirPath());
    mApplicationDir = applicationFolderFor(mProgramDir);
    const QString appPath = mApplicationDir.path();
    mUpdateIniPath = appPath + QStringLiteral("/update.ini");
    mAutoUpdaterPath = appPath + QLatin1Char('/') + executableFileName(QStringLiteral("autoupdate-linux"));
    // The user's own cache folder: in the shared temporary folder another
    // user could make the folder first or plant links in it.
    mInstallerTempDir = QDir(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                                 .absoluteFilePath(QStringLiteral("VelamarisBKTemp")));
    mDownloadDir = QDir(mInstallerTempDir.absoluteFilePath(QStringLiteral("Download")));
}

QString LinuxEnvironmentImpl::updateIniPath() const { return mUpdateIniPath; }
QString LinuxEnvironmentImpl::platformName() const { return QStringLiteral("pc"); }
QString LinuxEnvironmentImpl::autoUpdaterPath() const { return mAutoUpdaterPath; }

quint32 LinuxEnvironmentImpl::clusterSize(const QString &path) const
{
    struct statvfs info;
    if (path.isEmpty() || statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    // f_frsize is the allocation unit (the cluster on FAT); f_bsize only a hint.
    const unsigned long unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    if (unit > UINT_MAX)
        return 0;
    return quint32(unit);
}

bool LinuxEnvironmentImpl::freeSpace(const QString &path, quint64 &freeBytes, quint64 &totalBytes) const
{
    struct statvfs info;
    if (path.isEmpty() || statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    const quint64 unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    freeBytes = quint64(info.f_bavail) * unit;
    totalBytes = quint64(info.f_blocks) * unit;
    return true;
}

QDir LinuxEnvironmentImpl::applicationDir() const { return mApplicationDir; }
QDir LinuxEnvironmentImpl::programDir() const { return mProgramDir; }

QDir LinuxEnvironmentImpl::applicationFolderFor(const QDir &programDir)
{
    if (QFileInfo(programDir.absolutePath()).isWritable())
        return programDir;
    // The log is opened here first thing at start, so the folder must exist.
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return QDir(userFolder);
}
QDir LinuxEnvironmentImpl::installerTempDir() const { return mInstallerTempDir; }
QDir LinuxEnvironmentImpl::downloadDir() const { return mDownloadDir; }

QString LinuxEnvironmentImpl::blockAttribute(const QString &name, const QString &attribute) const
{
    return readFirstLine(mSysRoot + QStringLiteral("/class/block/") + name + QLatin1Char('/') + attribute);
}

QString LinuxEnvironmentImpl::parentDisk(const QString &name) const
{
    // In sysfs a partition's directory sits inside its disk's directory.
    const QFileInfo entry(mSysRoot + QStringLiteral("/class/block/") + name);
    const QFileInfo parent(QFileInfo(entry.canonicalFilePath()).path());
    if (QFileInfo::exists(parent.filePath() + QStringLiteral("/dev"))
        && QFileInfo::exists(parent.filePath() + QStringLiteral("/removable")))
        return parent.fileName();

    // Without that layout, derive the disk from the name: sdb1 -> sdb,
    // mmcblk0p1 -> mmcblk0, nvme0n1p2 -> nvme0n1.
    QString disk = name;
    while (!disk.isEmpty() && disk.back().isDigit())
        disk.chop(1);
    if (disk.size() >= 2 && disk.back() == QLatin1Char('p') && disk.at(disk.size() - 2).isDigit())
        disk.chop(1);
    if (disk != name && QFileInfo::exists(mSysRoot + QStringLiteral("/class/block/") + disk))
        return disk;
    return QString();
}

bool LinuxEnvironmentImpl::isRemovableBlockDevice(const QString &name) const
{
    auto removable = [this](const QString &device) {
        if (blockAttribute(device, QStringLiteral("removable")) == QLatin1String("1"))
            return true;
        // Built-in SD readers are often marked fixed; the card is removable all the same.
        return device.startsWith(QLatin1String("mmcblk"))
            && blockAttribute(device, QStringLiteral("device/type")) == QLatin1String("SD");
    };
    if (removable(name))
        return true;
    if (QFileInfo::exists(mSysRoot + QStringLiteral("/class/block/") + name + QStringLiteral("/partition"))) {
        const QString disk = parentDisk(name);
        return !disk.isEmpty() && removable(disk);
    }
    return false;
}

QStringList LinuxEnvironmentImpl::removableVolumes() const
{
    // major:minor -> block device name, from the "dev" attribute of every device.
    QHash<QString, QString> devices;
    const QDir classBlock(mSysRoot + QStringLiteral("/class/block"));
    const QStringList names = classBlock.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QString dev = blockAttribute(name, QStringLiteral("dev"));
        if (!dev.isEmpty())
            devices.insert(dev, name);
    }

    QFile mountInfo(mProcRoot + QStringLiteral("/self/mountinfo"));
    if (!mountInfo.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();

    QMap<QString, QString> volumesByMountPoint; // sorted by mount point
    QHash<QString, QString> mountPointByDevice;
    QTextStream in(&mountInfo);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(QLatin1Char(' '));
        if (fields.size() < 5)
            continue;
        MountEntry entry { fields.at(2), unescapeMountField(fields.at(3)), unescapeMountField(fields.at(4)) };
        // Bind mounts of a sub-folder are not the volume's root.
        if (entry.root != QLatin1String("/"))
            continue;
        const QString name = devices.value(entry.device);
        if (name.isEmpty() || entry.device.startsWith(QLatin1String("0:")))
            continue;
        if (name.startsWith(QLatin1String("fd")) || entry.device.startsWith(QLatin1String("2:")))
            continue; // floppy drives
        if (!isRemovableBlockDevice(name))
            continue;
        // A volume mounted twice is listed once, at its first mount point in order.
        const QString known = mountPointByDevice.value(entry.device);
        if (!known.isEmpty() && known <= entry.mountPoint)
            continue;
        if (!known.isEmpty())
            volumesByMountPoint.remove(known);
        mountPointByDevice.insert(entry.device, entry.mountPoint);
        QString root = entry.mountPoint;
        if (!root.endsWith(QLatin1Char('/')))
            root += QLatin1Char('/');
        volumesByMountPoint.insert(entry.mountPoint, root);
    }
    return volumesByMountPoint.values();
}

QString LinuxEnvironmentImpl::findTaggedVolume() const
{
    const QStringList volumes = removableVolumes();
    for (const QString &volume : volumes) {
        const QDir root(volume);
        const QStringList tags = root.entryList(QStringList() << QStringLiteral("nTag.txt"),
                                                QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
        if (!tags.isEmpty())
            return root.absolutePath();
    }
    return QString();
}

bool LinuxEnvironmentImpl::runWakeform(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const
{
    return TrackTools::runWakeform(toolDir, trackPath, outputDir);
}

bool LinuxEnvironmentImpl::runSondrak(const QDir &toolDir, const QString &trackPath, const QString &outputDir) const
{
    return TrackTools::runSondrak(toolDir, trackPath, outputDir);
}

bool LinuxEnvironmentImpl::runSondump(const QDir &toolDir, const QString &inputPath, const QString &outputPath) const
{
    return TrackTools::runSondump(toolDir, inputPath, outputPath);
}

bool LinuxEnvironmentImpl::readSlgTrackText(const QString &textPath, double &latitude, double &longitude) const
{
    return TrackTools::readSlgTrackText(textPath, latitude, longitude);
}

bool LinuxEnvironmentImpl::readT3dTrackText(const QString &textPath, double &latitude, double &longitude) const
{
    return TrackTools::readT3dTrackText(textPath, latitude, longitude);
}

bool LinuxEnvironmentImpl::sonarTracksSupported() const { return true; }

bool LinuxEnvironmentImpl::mercatorToLatLon(double x, double y, double &longitude, double &latitude) const
{
    return TrackTools::mercatorToLatLon(x, y, longitude, latitude);
}
