#include "fakesystem.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>

FakeSystem::FakeSystem(const QString &base)
    : mBase(base)
{
    QDir().mkpath(sys() + QStringLiteral("/class/block"));
    QDir().mkpath(proc() + QStringLiteral("/self"));
}

QString FakeSystem::mountPoint(const QString &path)
{
    return QString(path).replace(QLatin1Char(' '), QStringLiteral("\\040"));
}

void FakeSystem::apply(const QStringList &script)
{
    for (const QString &line : script)
        applyLine(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    if (!mMountInfo.isNull())
        TestSupport::writeFile(proc() + QStringLiteral("/self/mountinfo"), mMountInfo);
}

void FakeSystem::unmountAll()
{
    mMountInfo = "";
    TestSupport::writeFile(proc() + QStringLiteral("/self/mountinfo"), mMountInfo);
}

void FakeSystem::device(const QString &directory, const QString &devno, const QStringList &flags)
{
    TestSupport::writeFile(directory + "/dev", devno.toUtf8() + "\n");
    TestSupport::writeFile(directory + "/removable", flags.contains("removable") ? "1\n" : "0\n");
    if (flags.contains("partition"))
        TestSupport::writeFile(directory + "/partition", "1\n");
    for (const QString &flag : flags) {
        if (flag.startsWith("type="))
            TestSupport::writeFile(directory + "/device/type", flag.mid(5).toUtf8() + "\n");
    }
}

void FakeSystem::applyLine(const QStringList &words)
{
    const QString kind = words.at(0);
    if (kind == "disk") {
        const QString directory = sys() + "/devices/platform/host/block/" + words.at(1);
        device(directory, words.at(2), words.mid(3));
        QFile::link(directory, sys() + "/class/block/" + words.at(1));
    } else if (kind == "part") {
        const QString directory = sys() + "/devices/platform/host/block/" + words.at(3) + "/" + words.at(1);
        device(directory, words.at(2), { "partition" });
        QFile::link(directory, sys() + "/class/block/" + words.at(1));
    } else if (kind == "flat") {
        device(sys() + "/class/block/" + words.at(1), words.at(2), words.mid(3));
    } else if (kind == "mount") {
        if (mMountInfo.isNull())
            mMountInfo = "";
        mMountInfo += QString("%1 20 %2 %3 %4 rw,relatime shared:1 - vfat /dev/x rw\n")
                          .arg(++mMountId)
                          .arg(words.at(1), words.at(2), words.at(3))
                          .toUtf8();
    }
}
