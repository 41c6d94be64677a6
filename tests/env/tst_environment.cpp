#include "environment.h"
#include "environment_linux.h"
#include "localfiles.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

class EnvironmentTest : public QObject
{
    Q_OBJECT

private slots:
    void folders();
    void freeSpaceOfRealFolder();
    void clusterSizeOfRealFolder();
    void failedQueriesLeaveOutputsAlone();
    void readOnlyProgramFolderGivesWayToUserFolder();
    void privateFolder_data();
    void privateFolder();
    void deviceOfAPath();
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

void EnvironmentTest::privateFolder_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("missing, with its parents") << "missing" << true;
    QTest::newRow("open to every user") << "open" << true;
    QTest::newRow("a link to a folder") << "link" << false;
    QTest::newRow("a file") << "file" << false;
    QTest::newRow("another user's") << "foreign" << false;
}

void EnvironmentTest::privateFolder()
{
    QFETCH(QString, state);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString folder = dir.filePath("cache/area");
    const QByteArray name = QFile::encodeName(folder);
    if (state == "open") {
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(::chmod(name.constData(), 0777), 0);
    } else if (state == "link") {
        QVERIFY(QDir().mkpath(dir.filePath("elsewhere")));
        QVERIFY(QDir().mkpath(dir.filePath("cache")));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), folder));
    } else if (state == "file") {
        QVERIFY(TestSupport::writeFile(folder, "x"));
    } else if (state == "foreign") {
        if (::geteuid() != 0)
            QSKIP("only root can make a folder of another user");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
    }
    QString problem;
    QCOMPARE(LocalFiles::makePrivateFolder(folder, problem), accepted);
    QCOMPARE(problem.isEmpty(), accepted);
    struct stat info;
    QCOMPARE(::lstat(name.constData(), &info), 0);
    if (accepted)
        QCOMPARE(info.st_mode & 07777, mode_t(0700));
    if (state == "link")
        QVERIFY(S_ISLNK(info.st_mode));
}

void EnvironmentTest::deviceOfAPath()
{
    QTemporaryDir dir;
    quint64 first = 0;
    quint64 second = 0;
    QVERIFY(LocalFiles::deviceOf(dir.path(), first));
    QVERIFY(QDir().mkpath(dir.filePath("sub")));
    QVERIFY(LocalFiles::deviceOf(dir.filePath("sub"), second));
    QCOMPARE(second, first);
    QVERIFY(!LocalFiles::deviceOf(dir.filePath("missing"), second));
    // A volume mounted on a folder is another device; its bare mount point is not.
    TmpfsMount volume(dir.filePath("volume"), 64 * 1024);
    if (!volume.isMounted())
        QSKIP("mounting a tmpfs is not allowed here");
    QVERIFY(LocalFiles::deviceOf(dir.filePath("volume"), second));
    QVERIFY(second != first);
    QVERIFY(volume.unmount());
    QVERIFY(LocalFiles::deviceOf(dir.filePath("volume"), second));
    QCOMPARE(second, first);
}

QTEST_GUILESS_MAIN(EnvironmentTest)
#include "tst_environment.moc"
