#include "cardupdatefixture.h"

#include "downloadmanagertest.h"
#include "testsupport.h"
#include "veldownloadmanager.h"
#include "velnetworkmanager.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

CardUpdateFixture::CardUpdateFixture() = default;
CardUpdateFixture::~CardUpdateFixture() = default;

void CardUpdateFixture::startStore()
{
    mEnvironmentDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mEnvironmentDir->isValid());
    mEnvironment = TestEnvironment::install(mEnvironmentDir->path());
    QVERIFY(mServer.start());
}

void CardUpdateFixture::startTest()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mLog = std::make_unique<LogCapture>();
    mNetwork = std::make_unique<VelNetworkManager>("151", "pc");
    mManager = std::make_unique<VelDownloadManager>(mNetwork.get());
    mManager->setTimings(DownloadTimings { 2000, 100 });
    mServer.server().clearRoutes();
    mServer.server().clearRequests();
    mManifest = QJsonArray();
    mManifestUrl.clear();
    mReadBack = true;
    mEnvironment->setFileSystemType(QString());
    mEnvironment->setCacheDropHook({});
    mOutcome = Outcome();
    mEnvironment->setClusterSize(4096);
    mEnvironment->setFreeBytes(1 << 30);
    makeCard();
}

void CardUpdateFixture::endTest()
{
    mManager.reset();
    mNetwork.reset();
    mLog.reset();
    mDir.reset();
}

void CardUpdateFixture::makeCard()
{
    QVERIFY(writeFile(card("nTag.txt"), "CARD-1\n"));
    QVERIFY(writeFile(card("chartcat.XML"), "<old catalogue/>"));
    QVERIFY(writeFile(card("Velamari/Charts/a.vl2"), "old a"));
    QVERIFY(writeFile(card("Velamari/Charts/keep.dat"), "not a chart file"));
    QVERIFY(writeFile(card("Velamari/Charts/old.xct"), "old index"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/Region/old.ugc"), "last season"));
}

void CardUpdateFixture::serve(const QString &name, const QString &destination, const QByteArray &body, int totalFiles,
                              qint64 unzippedSize, qint64 announcedSize)
{
    const QString path = "/files/" + name;
    mServer.server().addRoute(HttpRoute::bytes(path, body));
    QJsonObject record { { "name", name },
                         { "size", announcedSize >= 0 ? announcedSize : qint64(body.size()) },
                         { "url", mServer.url(path).toString() },
                         { "destination_path", destination },
                         { "md5", "0" } };
    if (totalFiles >= 0) {
        record.insert("total_files", totalFiles);
        record.insert("unzipped_size", unzippedSize);
    }
    mManifest.append(record);
}

QByteArray CardUpdateFixture::manifest() const
{
    return QJsonDocument(mManifest).toJson(QJsonDocument::Compact);
}

void CardUpdateFixture::publishManifest(const QByteArray &contentType)
{
    mServer.server().addRoute(HttpRoute::bytes("/manifest.json", manifest(), contentType));
}

void CardUpdateFixture::runUpdate(bool newtide, bool community, const QString &inlineManifest, const QString &cardRoot,
                                  const QString &additionalPath)
{
    CardUpdateOptions options;
    options.manifestUrl = mManifestUrl.isEmpty() ? mServer.url("/manifest.json").toString() : mManifestUrl;
    options.downloadDirPath = downloadArea();
    options.cardRootPath = cardRoot.isEmpty() ? QDir(card()).absolutePath() : cardRoot;
    options.additionalPath = additionalPath;
    options.userId = "user-1";
    options.newtideEnabled = newtide;
    options.communityEnabled = community;
    options.readBack = mReadBack;
    DownloadManagerTest process(mManager.get(), options);
    process.setManifestRetryPause(10);
    if (!inlineManifest.isNull())
        process.setManifestText(inlineManifest);

    Outcome &o = mOutcome;
    auto phase = [this, &process, &o](auto signal, const char *name) {
        connect(&process, signal, this, [&o, name] { o.phases << name; });
    };
    phase(&DownloadManagerTest::preparingForDownload, "init");
    phase(&DownloadManagerTest::startDownloadingChart, "download");
    phase(&DownloadManagerTest::preparingInstallation, "prepare");
    phase(&DownloadManagerTest::startInstallingChart, "install");
    phase(&DownloadManagerTest::startInstallingUGC, "ugc");
    connect(&process, &DownloadManagerTest::processCompleted, this, [&o] {
        o.phases << "completed";
        ++o.endings;
    });
    connect(&process, &DownloadManagerTest::notEnoughSpace, this, [&o] {
        o.phases << "nospace";
        ++o.endings;
    });
    connect(&process, &DownloadManagerTest::newtideDataError, this, [&o](int code, const QString &message) {
        o.phases << "error";
        o.errorCode = code;
        o.errorMessage = message;
        ++o.endings;
    });
    connect(&process, &DownloadManagerTest::updateProcessStatus, this, [&o](float value) { o.progress << value; });
    bool done = false;
    connect(&process, &QThread::finished, this, [&done] { done = true; });

    process.start();
    QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
    QCOMPARE(o.endings, 1);
    for (float value : qAsConst(o.progress))
        QVERIFY2(value >= 0.0f && value <= 100.0f, qPrintable(QString::number(double(value))));
}

QMap<QString, QByteArray> CardUpdateFixture::tree(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readFile(path));
    }
    return files;
}
