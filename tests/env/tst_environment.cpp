#include "environment.h"
#include "environment_linux.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/statvfs.h>

class EnvironmentTest : public QObject
{
    Q_OBJECT

private slots:
    void folders();
    void freeSpaceOfRealFolder();
    void clusterSizeOfRealFolder();
    void failedQueriesLeaveOutputsAlone();
    void readOnlyProgramFolderGivesWayToUserFolder();
};

void EnvironmentTest::folders()
{
    Environment *environment = Environment::instance();
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(environment->applicationDir().absolutePath(), QDir(appDir).absolutePath());
    QCOMPARE(environment->programDir().absolutePath(), QDir(appDir).absolutePath());
    QCOMPARE(environment->updateIniPath(), appDir + "/update.ini");
    QCOMPARE(environment->autoUpdaterPath(), appDir + "/autoupdate-linux");
    // The user's own cache folder, never the temporary folder all users share.
    const QString cache = QDir::home().absoluteFilePath(".cache/VelamarisBKTemp");
    QCOMPARE(environment->installerTempDir().absolutePath(), cache);
    QCOMPARE(environment->downloadDir().absolutePath(), cache + "/Download");
    // Nothing is created until it is used.
    QVERIFY(!environment->installerTempDir().exists());
}

void EnvironmentTest::freeSpaceOfRealFolder()
{
    QTemporaryDir dir;
    quint64 freeBytes = 0;
    quint64 totalBytes = 0;
    QVERIFY(Environment::instance()->freeSpace(dir.path(), freeBytes, totalBytes));

    struct statvfs info;
    QCOMPARE(statvfs(QFile::encodeName(dir.path()).constData(), &info), 0);
    QCOMPARE(totalBytes, quint64(info.f_blocks) * info.f_frsize);
    QVERIFY(totalBytes > 0);
    QVERIFY(freeBytes <= totalBytes);
    // The caller's share: root's reserve is not counted, other writers may move it a little.
    const QStorageInfo storage(dir.path());
    const qint64 difference = qint64(freeBytes) - storage.bytesAvailable();
    QVERIFY2(qAbs(difference) < 64 * 1024 * 1024, qPrintable(QString::number(difference)));
}

void EnvironmentTest::clusterSizeOfRealFolder()
{
    QTemporaryDir dir;
    struct statvfs info;
    QCOMPARE(statvfs(QFile::encodeName(dir.path()).constData(), &info), 0);
    const quint32 cluster = Environment::instance()->clusterSize(dir.path());
    QCOMPARE(cluster, quint32(info.f_frsize));
    QVERIFY(cluster >= 512);
    QCOMPARE(cluster & (cluster - 1), 0u); // a power of two
}

void EnvironmentTest::failedQueriesLeaveOutputsAlone()
{
    Environment *environment = Environment::instance();
    QCOMPARE(environment->clusterSize("/no/such/drive/"), 0u);
    QCOMPARE(environment->clusterSize(QString()), 0u);
    quint64 freeBytes = 7;
    quint64 totalBytes = 9;
    QVERIFY(!environment->freeSpace("/no/such/drive/", freeBytes, totalBytes));
    QCOMPARE(freeBytes, 7ull);
    QCOMPARE(totalBytes, 9ull);
}

// An installed copy cannot write its log, "update.ini" or history beside
// itself; its files then go to the user's data folder.
void EnvironmentTest::readOnlyProgramFolderGivesWayToUserFolder()
{
    QTemporaryDir dir;
    const QString programs = dir.filePath("programs");
    QVERIFY(QDir().mkpath(programs));
    QCOMPARE(LinuxEnvironmentImpl::applicationFolderFor(QDir(programs)).absolutePath(), programs);

    std::unique_ptr<TmpfsMount> readOnly;
    if (TestSupport::permissionsAreIgnored()) {
        readOnly = std::make_unique<TmpfsMount>(programs, 64 * 1024);
        if (!readOnly->remountReadOnly())
            QSKIP("running as root without the right to mount a read-only folder");
    } else {
        QVERIFY(QFile(programs).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    const QDir folder = LinuxEnvironmentImpl::applicationFolderFor(QDir(programs));
    QCOMPARE(folder.absolutePath(), QDir::home().absoluteFilePath(".local/share/Velamaris/Velamaris Tidemart"));
    QVERIFY(folder.exists());
}

QTEST_GUILESS_MAIN(EnvironmentTest)
#include "tst_environment.moc"
