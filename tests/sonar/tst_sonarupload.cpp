#include "downloadmanagertest.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "timezoneservice.h"
#include "trackuploader.h"
#include "trackuploadservice.h"
#include "uploadhistory.h"
#include "veldownloadmanager.h"
#include "velnetworkmanager.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// Card updates with the sonar switch on, end to end: real sonar logs on a
// card folder, the real Sondrak, Sondump and Wakeform stand-in as child
// processes, the simulated upload and time-zone services on 127.0.0.1.
class SonarUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tracksAreSentOnceAndAgainWhenChanged();
    void everyFieldAsTheServiceReadIt();
    void serviceFaults_data();
    void serviceFaults();
    void unreadableTrackMovesTheLoopOn();

private:
    struct Run
    {
        QStringList phases;
        QList<int> counts;
        QList<float> progress;
        int errorCode = 0;
    };

    QString card(const QString &relative = QString()) const { return mDir->filePath("card/" + relative); }
    QString app(const QString &relative = QString()) const { return mDir->filePath("app/" + relative); }
    QString stkTracks() const { return mDir->filePath("area/ugd/stk-tracks"); }
    void putSlg(const QString &relative, const QDateTime &modified);
    void putWakeformLog(const QString &relative, int tracks, const QString &position = "50.1886,9.9996");
    Run runUpdate(const SonarTimings &timings = SonarTimings { 10000, 10000 });
    QStringList historyKeys() const;

    QTemporaryDir mEnvironmentDir;
    TestEnvironment *mEnvironment = nullptr;
    LocalHttpServer mServer;
    TrackUploadService mUploads;
    TimeZoneService mTimeZones;
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<LogCapture> mLog;
};

void SonarUploadTest::initTestCase()
{
    QVERIFY(mEnvironmentDir.isValid());
    mEnvironment = TestEnvironment::install(mEnvironmentDir.path());
    mEnvironment->setClusterSize(4096);
    mEnvironment->setFreeBytes(1 << 30);
    QVERIFY(mServer.start());
    mUploads.install(&mServer.server());
    // The sample log was recorded at 53.25 N, 39.8 E.
    QList<TimeZoneService::Zone> zones = TimeZoneService::defaultZones();
    TimeZoneService::Zone sample;
    sample.timezoneId = "Europe/Moscow";
    sample.countryCode = "RU";
    sample.countryName = "Russia";
    sample.latitude = 53.25;
    sample.longitude = 39.8;
    sample.reachKm = 100;
    sample.gmtOffset = sample.rawOffset = "3.0";
    sample.dstOffset = "3.0";
    mTimeZones.setZones(zones << sample);
    mTimeZones.install(&mServer.server());
}

void SonarUploadTest::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    QVERIFY(writeFile(card("nTag.txt"), "CARD-1\n"));
    QVERIFY(QDir().mkpath(app()));
    mUploads.clear();
    mTimeZones.clear();
    mLog = std::make_unique<LogCapture>();
}

void SonarUploadTest::cleanup()
{
    mLog.reset();
    mDir.reset();
}

void SonarUploadTest::putSlg(const QString &relative, const QDateTime &modified)
{
    const QString path = card(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile::remove(path);
    QVERIFY(QFile::copy(TestSupport::sourceDir() + "/tests/data/sonar/arabia_example.sl2", path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

void SonarUploadTest::putWakeformLog(const QString &relative, int tracks, const QString &position)
{
    const TestSupport::ChildResult made = TestSupport::runChild(
        TestSupport::binDir() + "/Wakeform", { "--make-log", card(relative), QString::number(tracks), position });
    QCOMPARE(made.exitCode, 0);
}

SonarUploadTest::Run SonarUploadTest::runUpdate(const SonarTimings &timings)
{
    VelNetworkManager network("151", "pc");
    VelDownloadManager manager(&network);
    CardUpdateOptions options;
    options.downloadDirPath = mDir->filePath("area/Download");
    options.cardRootPath = QDir(card()).absolutePath();
    options.userId = "user-1";
    options.sonarEnabled = true;
    DownloadManagerTest process(&manager, options);
    process.setApplicationDir(QDir(app()));
    process.setToolDir(QDir(TestSupport::binDir()));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(mServer.port());
    process.setTrackServices(TrackServices::at(address, address));
    process.setSonarTimings(timings);

    Run run;
    auto phase = [this, &process, &run](auto signal, const char *name) {
        connect(&process, signal, this, [&run, name] { run.phases << name; });
    };
    phase(&DownloadManagerTest::preparingForDownload, "init");
    phase(&DownloadManagerTest::searchingUGDTracks, "searchingtrack");
    phase(&DownloadManagerTest::convertingUGDTracks, "trackconversion");
    phase(&DownloadManagerTest::uploadingUGDTracks, "uploadtrack");
    phase(&DownloadManagerTest::processCompleted, "completed");
    connect(&process, &DownloadManagerTest::sonarTrackReport, this, [&run](int uploaded, int already, int corrupted) {
        run.phases << "report";
        run.counts = { uploaded, already, corrupted };
    });
    connect(&process, &DownloadManagerTest::newtideDataError, this, [&run](int code, const QString &) {
        run.phases << "error";
        run.errorCode = code;
    });
    connect(&process, &DownloadManagerTest::updateProcessStatus, this, [&run](float value) { run.progress << value; });
    bool done = false;
    connect(&process, &QThread::finished, this, [&done] { done = true; });
    process.start();
    // Well above any limit the run is given: a hang fails here.
    [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 60000); }();
    for (float value : qAsConst(run.progress))
        [&] { QVERIFY(value >= 0.0f && value <= 100.0f); }();
    return run;
}

QStringList SonarUploadTest::historyKeys() const
{
    QDomDocument document;
    if (!parseUploadHistory(readFile(app("history.xml")), document))
        return {};
    QStringList keys;
    for (QDomElement e = document.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        keys << e.tagName();
    return keys;
}

// One card of every kind of log, run three times: everything new is sent
// once, nothing twice, and a log whose time changed counts as new.
void SonarUploadTest::tracksAreSentOnceAndAgainWhenChanged()
{
    const QDateTime recorded(QDate(2012, 5, 6), QTime(7, 8, 9), Qt::LocalTime);
    putSlg("Logs/Trip (1).slg", recorded);
    putWakeformLog("R00012.DAT", 1);
    QVERIFY(writeFile(card("R00012/data.bin"), QByteArray(100, 'd')));
    putWakeformLog("R00013.DAT", 1); // without its folder
    putWakeformLog("Sea.fsh", 2, "40.85,14.27");

    const QStringList sonarPhases { "init", "searchingtrack", "trackconversion", "uploadtrack", "report", "completed" };
    Run first = runUpdate();
    QCOMPARE(first.phases, sonarPhases);
    QCOMPARE(first.counts, (QList<int> { 4, 0, 1 }));
    QCOMPARE(first.progress.last(), 100.0f);
    QCOMPARE(mUploads.uploadCount(), 4);
    QStringList sent;
    for (const TrackUploadService::Upload &upload : mUploads.uploads())
        sent << QString::fromLatin1(upload.fileName + " " + upload.field("timeOffsetToUtc"));
    // In search order, each with the offset of its own place.
    QCOMPARE(sent, (QStringList { "Trip (1)__2012_05_06__07_08_09__1404539__1308.zip 3.0", "R00012_001.t3d 1.0",
                                  "Sea_001.t3d 1.0", "Sea_002.t3d 1.0" }));
    QCOMPARE(readFile(app("latestUtc.txt")), QByteArray("1.0"));
    QVERIFY(historyKeys().contains("TR_trip__1_.slg_2012-05-06T07:08:09_2699720"));
    QCOMPARE(historyKeys().size(), 4);
    QCOMPARE(mLog->count("********** Bad DAT track!"), 1);

    Run second = runUpdate();
    QCOMPARE(second.phases, sonarPhases);
    QCOMPARE(second.counts, (QList<int> { 0, 4, 1 }));
    QCOMPARE(mUploads.uploadCount(), 4);

    putSlg("Logs/Trip (1).slg", recorded.addSecs(60));
    Run third = runUpdate();
    QCOMPARE(third.counts, (QList<int> { 1, 3, 1 }));
    QCOMPARE(mUploads.uploadCount(), 5);
    QCOMPARE(historyKeys().size(), 5);
}

// The request as the service parsed it: every field, the file's bytes, the
// headers, and nothing it would complain about.
void SonarUploadTest::everyFieldAsTheServiceReadIt()
{
    putWakeformLog("Bay.fsh", 1);
    QCOMPARE(runUpdate().counts, (QList<int> { 1, 0, 0 }));
    QCOMPARE(mUploads.uploadCount(), 1);
    const TrackUploadService::Upload upload = mUploads.uploads().first();
    QCOMPARE(upload.complaints, QStringList());
    const QString t3d = stkTracks() + "/Bay_001.t3d";
    QList<QPair<QByteArray, QByteArray>> expected {
        { "function", "uploadTrack" },   { "userId", "user-1" },
        { "softwareId", "Velamaris Tidemart1.5.1" }, { "deviceId", "Test_DeviceID" },
        { "zIsDepth", "true" },          { "trackOffset", "0" },
        { "deltaPoolLevel", "" },        { "acquisitionPoolLevel", "" },
        { "srid", "Mercator Lowrance" }, { "vertUnits", "3" },
        { "timeOffsetToUtc", "1.0" },    { "trackFormat", "t3d" },
        { "trackFilename", "Bay_001.t3d" }, { "trackPathname", QFile::encodeName(stkTracks()) },
    };
    QCOMPARE(upload.fields, expected);
    QCOMPARE(upload.fileName, QByteArray("Bay_001.t3d"));
    QCOMPARE(upload.fileData, readFile(t3d));
    for (const HttpRequest::Header &header : TrackUploadService::expectedHeaders()) {
        bool found = false;
        for (const HttpRequest::Header &sentHeader : upload.headers)
            found = found || (sentHeader == header);
        QVERIFY2(found, header.first.constData());
    }
    QCOMPARE(mTimeZones.queries().size(), 1);
    QCOMPARE(mTimeZones.queries().first().complaints, QStringList());
    QCOMPARE(mTimeZones.queries().first().rawQuery,
             QByteArray("lat=50.1886&lng=9.9996&radius=200&username=kelTR_4"));
}

// Two tracks of one log; the first request of the service named meets the
// fault. A cached offset of "2.0" stands in for lookups that fail.
void SonarUploadTest::serviceFaults_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<int>("recorded");
    QTest::addColumn<QStringList>("offsetsSent");

    const QStringList bothFound { "1.0", "1.0" };
    QTest::newRow("upload refused") << "upload" << "error" << QList<int> { 2, 0, 0 } << 1 << bothFound;
    QTest::newRow("upload answer 500") << "upload" << "status500" << QList<int> { 2, 0, 0 } << 1 << bothFound;
    QTest::newRow("upload answer not xml") << "upload" << "notxml" << QList<int> { 2, 0, 0 } << 1 << bothFound;
    QTest::newRow("upload stalls: the rest is not sent") << "upload" << "stall" << QList<int> { 0, 0, 2 } << 0
                                                         << QStringList { "1.0" };
    QTest::newRow("upload cut after storing") << "upload" << "cut" << QList<int> { 0, 0, 2 } << 0
                                              << QStringList { "1.0" };
    QTest::newRow("held already: duplicate key") << "upload" << "held" << QList<int> { 2, 0, 0 } << 2 << bothFound;
    QTest::newRow("lookup status form") << "timezone" << "status" << QList<int> { 2, 0, 0 } << 2
                                        << QStringList { "2.0", "1.0" };
    QTest::newRow("lookup answer 503") << "timezone" << "status503" << QList<int> { 2, 0, 0 } << 2
                                       << QStringList { "2.0", "1.0" };
    QTest::newRow("lookup answer not xml") << "timezone" << "notxml" << QList<int> { 2, 0, 0 } << 2
                                           << QStringList { "2.0", "1.0" };
    QTest::newRow("lookup stalls") << "timezone" << "stall" << QList<int> { 2, 0, 0 } << 2
                                   << QStringList { "2.0", "1.0" };
    QTest::newRow("lookup cut") << "timezone" << "cut" << QList<int> { 2, 0, 0 } << 2 << QStringList { "2.0", "1.0" };
}

void SonarUploadTest::serviceFaults()
{
    QFETCH(QString, service);
    QFETCH(QString, fault);
    QFETCH(QList<int>, counts);
    QFETCH(int, recorded);
    QFETCH(QStringList, offsetsSent);
    putWakeformLog("Gulf.fsh", 2);
    QVERIFY(writeFile(app("latestUtc.txt"), "2.0"));
    if (fault == "held") {
        mUploads.holdTrack("user-1", "Gulf_001.t3d");
    } else if (service == "upload") {
        TrackUploadService::Fault uploadFault;
        QVERIFY(TrackUploadService::faultFromName(fault, &uploadFault));
        mUploads.failNext(uploadFault);
    } else {
        TimeZoneService::Fault lookupFault;
        QVERIFY(TimeZoneService::faultFromName(fault, &lookupFault));
        mTimeZones.failNext(lookupFault);
    }

    const Run run = runUpdate(SonarTimings { 500, 500 });
    QCOMPARE(run.phases.last(), QString("completed"));
    QCOMPARE(run.counts, counts);
    QCOMPARE(historyKeys().size(), recorded);
    QStringList offsets;
    for (const TrackUploadService::Upload &upload : mUploads.uploads())
        offsets << QString::fromLatin1(upload.field("timeOffsetToUtc"));
    QCOMPARE(offsets, offsetsSent);
}

// A file that cannot be read (gone after its position was read) is counted
// as corrupted, nothing is sent for it, and the next one is sent.
void SonarUploadTest::unreadableTrackMovesTheLoopOn()
{
    const QString folder = mDir->filePath("tracks");
    QVERIFY(writeFile(folder + "/gone.txt", "1113195;6446276\n"));
    QVERIFY(QDir().mkpath(folder + "/gone.t3d")); // a folder, not a file
    QVERIFY(writeFile(folder + "/kept.txt", "1113195;6446276\n"));
    QVERIFY(writeFile(folder + "/kept.t3d", "t3d bytes"));
    SonarTracks tracks;
    tracks.uploadList = QStringList { folder + "/gone.t3d", folder + "/kept.t3d" };
    tracks.trackKeys.insert(folder + "/kept.t3d", "TR_kept.t3d_0_9");
    TrackUploader::Setup setup;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(mServer.port());
    setup.services = TrackServices::at(address, address);
    setup.userId = "user-1";
    setup.historyPath = app("history.xml");
    setup.utcCachePath = app("latestUtc.txt");
    TrackUploader uploader(tracks, setup);
    QCOMPARE(uploader.run(), -1);
    QCOMPARE(tracks.corruptedTracks, QStringList { folder + "/gone.t3d" });
    QCOMPARE(mUploads.uploadCount(), 1);
    QCOMPARE(mUploads.uploads().first().fileName, QByteArray("kept.t3d"));
    QCOMPARE(historyKeys(), QStringList { "TR_kept.t3d_0_9" });
}

QTEST_MAIN(SonarUploadTest)
#include "tst_sonarupload.moc"
