#include "errorcodes.h"
#include "fileobject.h"
#include "generatedbody.h"
#include "installerlistener.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "pcappdownloadthread.h"
#include "sharedcookiejar.h"
#include "testsupport.h"
#include "tmpfsmount.h"

#include <QNetworkCookie>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;
constexpr qint64 kInstallerSize = 300000;

HttpFaults faultOf(int status, qint64 cutAfter = -1, qint64 stallAfter = -1)
{
    HttpFaults faults;
    faults.status = status;
    faults.closeAfterBytes = cutAfter;
    faults.stallAfterBytes = stallAfter;
    return faults;
}

} // namespace

Q_DECLARE_METATYPE(HttpFaults)

class TestPCAppDownloadThread : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void downloadsIntoFolderWithPageCookies_data();
    void downloadsIntoFolderWithPageCookies();
    void failureRemovesPartialFile_data();
    void failureRemovesPartialFile();
    void fullDiskIsAWriteFailure();
    void serverCookieReachesSharedJar();
    void fileNameCannotLeaveTheFolder_data();
    void fileNameCannotLeaveTheFolder();
    void unusableEntryIsRefused_data();
    void unusableEntryIsRefused();
    void stopEndsUnfinishedDownload();

private:
    HttpServer &http() { return mServer->server(); }
    // An installer download of url into folder, named like the bridge does.
    PCAppDownloadThread *startDownload(const QString &url, const QString &folder, const QString &fileName,
                                       const DownloadTimings &timings = DownloadTimings());

    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<QTemporaryDir> mDir;
    SharedCookieJar *mJar = nullptr;
    std::unique_ptr<QObject> mJarOwner;
    std::unique_ptr<PCAppDownloadThread> mThread;
    std::unique_ptr<InstallerListener> mListener;
};

void TestPCAppDownloadThread::init()
{
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    http().addRoute(HttpRoute::generated("/TidemartSetup.exe", kInstallerSize));
    mLog = std::make_unique<LogCapture>();
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    // The page's network manager owns the jar in the product.
    mJarOwner = std::make_unique<QObject>();
    mJar = new SharedCookieJar(mJarOwner.get());
    mJar->setCookiesFromUrl({ QNetworkCookie("session", "s1") }, mServer->url("/"));
}

void TestPCAppDownloadThread::cleanup()
{
    mThread.reset();
    mListener.reset();
    mJarOwner.reset();
    mServer.reset();
    mLog.reset();
    mDir.reset();
}

PCAppDownloadThread *TestPCAppDownloadThread::startDownload(const QString &url, const QString &folder,
                                                            const QString &fileName, const DownloadTimings &timings)
{
    // The bridge passes the file name in the destination-path position.
    const FileObject entry(fileName, QString::number(kInstallerSize), url, QString());
    mThread = std::make_unique<PCAppDownloadThread>(QStringLiteral("tApp"), folder, mJar, &entry);
    mThread->setTimings(timings);
    mListener = std::make_unique<InstallerListener>(mThread.get());
    mThread->start();
    return mThread.get();
}

void TestPCAppDownloadThread::downloadsIntoFolderWithPageCookies_data()
{
    // Null: the folder does not exist yet (a fresh home has no Desktop).
    QTest::addColumn<QByteArray>("earlierFile");

    QTest::newRow("folder created") << QByteArray();
    QTest::newRow("earlier download replaced") << QByteArray("old installer");
}

void TestPCAppDownloadThread::downloadsIntoFolderWithPageCookies()
{
    QFETCH(QByteArray, earlierFile);

    const QString folder = mDir->filePath("Desktop");
    if (!earlierFile.isNull())
        QVERIFY(TestSupport::writeFile(folder + "/TidemartSetup.exe", earlierFile));
    startDownload(mServer->url("/TidemartSetup.exe").toString(), folder, "TidemartSetup.exe");
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QCOMPARE(mListener->completed, QStringList { "tApp" });
    QVERIFY(mListener->failures.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(mListener->lastBytes, kInstallerSize, kWait);
    QCOMPARE(TestSupport::readFile(folder + "/TidemartSetup.exe"), GeneratedBody::expected(kInstallerSize));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "TidemartSetup.exe" });

    const HttpRequest seen = http().requests("/TidemartSetup.exe").value(0).request;
    QCOMPARE(seen.header("QtTidemart"), QByteArray("VelBrowser"));
    QCOMPARE(seen.cookie("session"), QByteArray("s1"));
    // The jar stays with the page.
    QCOMPARE(mJar->parent(), mJarOwner.get());
}

void TestPCAppDownloadThread::failureRemovesPartialFile_data()
{
    QTest::addColumn<HttpFaults>("fault");
    QTest::addColumn<int>("code");
    // Whether the network layer reports an error of its own; -1: it may or
    // may not (on an early close Qt can send the request again silently).
    QTest::addColumn<int>("networkErrorLogged");

    QTest::newRow("connection cut half way")
        << faultOf(0, kInstallerSize / 2) << int(QNetworkReply::RemoteHostClosedError) << -1;
    QTest::newRow("stalled half way")
        << faultOf(0, -1, kInstallerSize / 2) << int(QNetworkReply::OperationCanceledError) << 1;
    QTest::newRow("not found") << faultOf(404) << int(QNetworkReply::ContentNotFoundError) << 1;
    QTest::newRow("server error") << faultOf(500) << int(QNetworkReply::InternalServerError) << 1;
    QTest::newRow("redirect") << faultOf(302) << int(QNetworkReply::UnknownContentError) << 0;
}

void TestPCAppDownloadThread::failureRemovesPartialFile()
{
    QFETCH(HttpFaults, fault);
    QFETCH(int, code);
    QFETCH(int, networkErrorLogged);

    http().addRoute(HttpRoute::generated("/TidemartSetup.exe", kInstallerSize).setFaults(fault));
    const QString folder = mDir->path();
    QVERIFY(TestSupport::writeFile(folder + "/TidemartSetup.exe", "old installer"));

    startDownload(mServer->url("/TidemartSetup.exe").toString(), folder, "TidemartSetup.exe", DownloadTimings { 1000, 50 });
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QVERIFY(mListener->completed.isEmpty());
    QCOMPARE(mListener->failures.size(), 1);
    QCOMPARE(mListener->failures.first().first, code);
    QVERIFY(!mListener->failures.first().second.isEmpty());
    // Nothing partial; the earlier file is as it was.
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "TidemartSetup.exe" });
    QCOMPARE(TestSupport::readFile(folder + "/TidemartSetup.exe"), QByteArray("old installer"));

    const QString errorLine = QStringLiteral("Connection Error in PCAppDownloadThread. Error code = %1").arg(code);
    if (networkErrorLogged >= 0)
        QCOMPARE(mLog->count(errorLine), networkErrorLogged);
}

void TestPCAppDownloadThread::fullDiskIsAWriteFailure()
{
    TmpfsMount disk(mDir->filePath("Desktop"), 64 * 1024);
    if (!disk.isMounted())
        QSKIP("cannot mount a small file system here");
    QVERIFY(TestSupport::writeFile(disk.mountPoint() + "/TidemartSetup.exe", "old installer"));

    startDownload(mServer->url("/TidemartSetup.exe").toString(), disk.mountPoint(), "TidemartSetup.exe");
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QVERIFY(mListener->completed.isEmpty());
    QCOMPARE(mListener->failures.size(), 1);
    QCOMPARE(mListener->failures.first().first, int(ErrorWritingDownloadedFile));
    QCOMPARE(QDir(disk.mountPoint()).entryList(QDir::Files), QStringList { "TidemartSetup.exe" });
    QCOMPARE(TestSupport::readFile(disk.mountPoint() + "/TidemartSetup.exe"), QByteArray("old installer"));
}

void TestPCAppDownloadThread::serverCookieReachesSharedJar()
{
    http().addRoute(HttpRoute::generated("/TidemartSetup.exe", 1000).addCookie("installer=fetched; Path=/"));
    startDownload(mServer->url("/TidemartSetup.exe").toString(), mDir->path(), "TidemartSetup.exe");
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QCOMPARE(mListener->completed, QStringList { "tApp" });
    QStringList names;
    for (const QNetworkCookie &cookie : mJar->cookiesForUrl(mServer->url("/")))
        names << QString::fromLatin1(cookie.name());
    names.sort();
    QCOMPARE(names, QStringList({ "installer", "session" }));
}

void TestPCAppDownloadThread::fileNameCannotLeaveTheFolder_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("landsAs");

    QTest::newRow("parent folders") << "../../Escape.exe" << "Escape.exe";
    QTest::newRow("absolute path") << "/tmp/Absolute.exe" << "Absolute.exe";
    QTest::newRow("backslashes") << "..\\..\\Windows.exe" << "Windows.exe";
}

void TestPCAppDownloadThread::fileNameCannotLeaveTheFolder()
{
    QFETCH(QString, fileName);
    QFETCH(QString, landsAs);

    const QString folder = mDir->filePath("home/user/Desktop");
    startDownload(mServer->url("/TidemartSetup.exe").toString(), folder, fileName);
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QCOMPARE(mListener->completed, QStringList { "tApp" });
    QCOMPARE(mThread->destinationFilePath(), folder + "/" + landsAs);
    QCOMPARE(QFileInfo(folder + "/" + landsAs).size(), kInstallerSize);
    QCOMPARE(QDir(mDir->filePath("home")).entryList(QDir::Files), QStringList());
    QVERIFY(!QFile::exists("/tmp/Absolute.exe.tmp"));
}

void TestPCAppDownloadThread::unusableEntryIsRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("code");

    QTest::newRow("no file name") << "/TidemartSetup.exe" << "" << int(ErrorWritingDownloadedFile);
    QTest::newRow("only a folder") << "/TidemartSetup.exe" << "setup/" << int(ErrorWritingDownloadedFile);
    QTest::newRow("local file") << "file:///etc/hostname" << "hostname" << int(QNetworkReply::ProtocolUnknownError);
}

void TestPCAppDownloadThread::unusableEntryIsRefused()
{
    QFETCH(QString, url);
    QFETCH(QString, fileName);
    QFETCH(int, code);

    const QString target = url.startsWith('/') ? mServer->url(url).toString() : url;
    startDownload(target, mDir->path(), fileName);
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);

    QVERIFY(mListener->completed.isEmpty());
    QCOMPARE(mListener->failures.value(0).first, code);
    QVERIFY(QDir(mDir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    QVERIFY(http().requests().isEmpty());
}

void TestPCAppDownloadThread::stopEndsUnfinishedDownload()
{
    HttpFaults stall;
    stall.stallAfterBytes = 1000;
    http().addRoute(HttpRoute::generated("/TidemartSetup.exe", kInstallerSize).setFaults(stall));
    PCAppDownloadThread *thread = startDownload(mServer->url("/TidemartSetup.exe").toString(), mDir->path(),
                                                "TidemartSetup.exe");
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(mDir->filePath("TidemartSetup.exe.tmp")).size(), qint64(1000), kWait);

    thread->stop();
    QVERIFY(thread->isFinished());
    QVERIFY(QDir(mDir->path()).entryList(QDir::Files).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(mListener->hasEnded(), kWait);
    QVERIFY(mListener->completed.isEmpty());
    QCOMPARE(mListener->failures.value(0).first, int(QNetworkReply::OperationCanceledError));
}

QTEST_GUILESS_MAIN(TestPCAppDownloadThread)
#include "tst_pcappdownloadthread.moc"
