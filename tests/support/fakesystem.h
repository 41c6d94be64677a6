#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A fake /proc and /sys for the Linux environment layer, built from a few
// lines of description:
//   disk <name> <maj:min> [removable] [type=SD]   device directory, as in sysfs
//   part <name> <maj:min> <disk>                  partition inside its disk's directory
//   flat <name> <maj:min> [removable] [partition] device without the nested layout
//   mount <maj:min> <root> <mount point>          a line of mountinfo (escaped as the kernel does)
// Mount points may be real folders, which then stand in for volumes.
class FakeSystem
{
public:
    explicit FakeSystem(const QString &base);

    QString proc() const { return mBase + QStringLiteral("/proc"); }
    QString sys() const { return mBase + QStringLiteral("/sys"); }

    // A path as a mount point in a script line (blanks escaped as the kernel does).
    static QString mountPoint(const QString &path);

    // Adds the described devices and mounts to the tree.
    void apply(const QStringList &script);
    // Empties the mount table, as if every volume had been taken out.
    void unmountAll();

private:
    void device(const QString &directory, const QString &devno, const QStringList &flags);
    void applyLine(const QStringList &words);

    QString mBase;
    QByteArray mMountInfo;
    int mMountId = 30;
};
