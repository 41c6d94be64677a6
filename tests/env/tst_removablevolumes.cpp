#include "environment_linux.h"
#include "fakesystem.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

class RemovableVolumesTest : public QObject
{
    Q_OBJECT

private slots:
    void volumes_data();
    void volumes();
    void taggedVolumeIsFirstWithTagInRoot();
};

void RemovableVolumesTest::volumes_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("removable disk without partitions")
        << QStringList { "disk sdb 8:16 removable", "mount 8:16 / /media/u/CARD" }
        << QStringList { "/media/u/CARD/" };
    QTest::newRow("partition of a removable disk")
        << QStringList { "disk sdc 8:32 removable", "part sdc1 8:33 sdc", "mount 8:33 / /media/u/CHIP" }
        << QStringList { "/media/u/CHIP/" };
    QTest::newRow("partition of a removable disk, flat layout")
        << QStringList { "flat sdd 8:48 removable", "flat sdd1 8:49 partition", "mount 8:49 / /mnt/card" }
        << QStringList { "/mnt/card/" };
    QTest::newRow("partition of a removable nvme-style disk")
        << QStringList { "flat nvme1n1 259:8 removable", "flat nvme1n1p12 259:9 partition", "mount 259:9 / /mnt/n" }
        << QStringList { "/mnt/n/" };
    QTest::newRow("fixed disk")
        << QStringList { "disk sda 8:0", "part sda1 8:1 sda", "mount 8:1 / /", "mount 8:1 / /home" }
        << QStringList {};
    QTest::newRow("floppy drive")
        << QStringList { "disk fd0 2:0 removable", "mount 2:0 / /media/floppy" } << QStringList {};
    QTest::newRow("SD card in a built-in reader")
        << QStringList { "disk mmcblk0 179:0 type=SD", "part mmcblk0p1 179:1 mmcblk0", "mount 179:1 / /media/u/SD" }
        << QStringList { "/media/u/SD/" };
    QTest::newRow("soldered eMMC")
        << QStringList { "disk mmcblk1 179:8 type=MMC", "part mmcblk1p1 179:9 mmcblk1", "mount 179:9 / /boot" }
        << QStringList {};
    QTest::newRow("virtual file systems")
        << QStringList { "mount 0:40 / /tmp", "mount 0:22 / /proc" } << QStringList {};
    QTest::newRow("bind mount of a sub-folder is not a volume root")
        << QStringList { "disk sdb 8:16 removable", "mount 8:16 /Velamari /srv/charts", "mount 8:16 / /media/c" }
        << QStringList { "/media/c/" };
    QTest::newRow("escaped mount point")
        << QStringList { "disk sdb 8:16 removable", "mount 8:16 / /media/u/MY\\040CARD" }
        << QStringList { "/media/u/MY CARD/" };
    QTest::newRow("stable order by mount point")
        << QStringList { "disk sdc 8:32 removable", "disk sdb 8:16 removable", "mount 8:16 / /media/b",
                         "mount 8:32 / /media/a" }
        << QStringList { "/media/a/", "/media/b/" };
    QTest::newRow("volume mounted twice is listed once")
        << QStringList { "disk sdb 8:16 removable", "mount 8:16 / /mnt/z", "mount 8:16 / /media/y" }
        << QStringList { "/media/y/" };
    QTest::newRow("mixed machine")
        << QStringList { "disk sda 8:0", "part sda1 8:1 sda", "mount 8:1 / /", "disk fd0 2:0 removable",
                         "mount 2:0 / /media/floppy", "disk sdb 8:16 removable", "part sdb1 8:17 sdb",
                         "mount 8:17 / /media/u/CHART", "mount 0:40 / /run" }
        << QStringList { "/media/u/CHART/" };
    QTest::newRow("unknown device number") << QStringList { "mount 8:99 / /media/x" } << QStringList {};
    QTest::newRow("no mount table") << QStringList { "disk sdb 8:16 removable" } << QStringList {};
}

void RemovableVolumesTest::volumes()
{
    QFETCH(QStringList, script);
    QTemporaryDir base;
    FakeSystem fake(base.path());
    fake.apply(script);
    LinuxEnvironmentImpl environment(fake.proc(), fake.sys());
    QTEST(environment.removableVolumes(), "expected");
}

void RemovableVolumesTest::taggedVolumeIsFirstWithTagInRoot()
{
    QTemporaryDir base;
    const QString first = base.filePath("media/a");
    const QString second = base.filePath("media/b");
    const QString third = base.filePath("media/c");
    FakeSystem fake(base.path());
    fake.apply({ "disk sdb 8:16 removable", "disk sdc 8:32 removable", "disk sdd 8:48 removable",
                 "mount 8:16 / " + first, "mount 8:32 / " + second, "mount 8:48 / " + third });
    LinuxEnvironmentImpl environment(fake.proc(), fake.sys());
    QCOMPARE(environment.removableVolumes(), (QStringList { first + "/", second + "/", third + "/" }));

    QVERIFY(QDir().mkpath(first));
    QVERIFY(QDir().mkpath(second));
    QVERIFY(QDir().mkpath(third));
    QCOMPARE(environment.findTaggedVolume(), QString());

    // A tag inside a sub-folder does not count.
    QVERIFY(TestSupport::writeFile(first + "/sub/nTag.txt", "inner\n"));
    QCOMPARE(environment.findTaggedVolume(), QString());

    QVERIFY(TestSupport::writeFile(third + "/nTag.txt", "C\n"));
    QCOMPARE(environment.findTaggedVolume(), third);
    QVERIFY(TestSupport::writeFile(second + "/nTag.txt", "B\n"));
    QCOMPARE(environment.findTaggedVolume(), second);
}

QTEST_GUILESS_MAIN(RemovableVolumesTest)
#include "tst_removablevolumes.moc"
