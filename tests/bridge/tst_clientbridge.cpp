#include "environment.h"
#include "localhttpserver.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "errorcodes.h"
#include "velamarisclientbridge.h"

#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;
constexpr quint64 kFreeBytes = 1000;

quint64 roundedUp(quint64 size, quint64 cluster)
{
    return (size + cluster - 1) / cluster * cluster;
}

// A chart card as the plotter leaves it; an empty tag leaves "nTag.txt" out.
void makeCard(const QString &root, const QString &tag, const QMap<QString, QByteArray> &files = {})
{
    QDir().mkpath(root + "/Velamari/Charts/UGC");
    if (!tag.isEmpty())
        QVERIFY(TestSupport::writeFile(root + "/nTag.txt", tag.toLatin1() + "\n"));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(TestSupport::writeFile(root + '/' + it.key(), it.value()));
}

const QByteArray kPewterIndex("Directory: Edition\nType: Pewter\nChart: Tier charts\nVersion: 3\n"
                              "Edition date: 2024-01-01\nDescription: x\n");

} // namespace

// The bridge as the store page meets it: its answers about real card folders
// (and real tmpfs volumes where a full or write-protected card is needed),
// its update requests as a page script makes them, and the installer download
// against the local HTTP server.
class ClientBridgeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answersDependOnDevice_data();
    void answersDependOnDevice();
    void chartSpaceCountsWholeClusters();
    void chartSpaceCountsChartFoldersOnly();
    void noCardGivesEmptyAnswers_data();
    void noCardGivesEmptyAnswers();
    void unreadableCardGivesNoSpace();
    void fullCardHasOnlyItsChartsAsRoom();
    void writeProtectedCard();
    void cardSearch();
    void commandLineCardIsOpenedAsCard();
    void updateRequestsFromPageScript_data();
    void updateRequestsFromPageScript();
    void linksAndStateReset();
    void installerDownload_data();
    void installerDownload();

private:
    QString cardRoot(const QString &name = "card") const { return mDir->filePath(name); }

    std::unique_ptr<QTemporaryDir> mEnvironmentDir;
    std::unique_ptr<QTemporaryDir> mDir;
    TestEnvironment *mEnvironment = nullptr;
};

void ClientBridgeTest::initTestCase()
{
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    mEnvironmentDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mEnvironmentDir->isValid());
    mEnvironment = TestEnvironment::install(mEnvironmentDir->path());
}

void ClientBridgeTest::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mEnvironment->setRemovableVolumes({});
    // Fixed, so that other users of the disk do not change the answers.
    mEnvironment->setFreeBytes(kFreeBytes);
}

void ClientBridgeTest::cleanup()
{
    mDir.reset();
}

void ClientBridgeTest::answersDependOnDevice_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("card") << "card";
    QTest::newRow("pc") << "pc";
    QTest::newRow("none") << "";
    QTest::newRow("other") << "phone";
}

void ClientBridgeTest::answersDependOnDevice()
{
    QFETCH(QString, device);
    makeCard(cardRoot(), "T-100", { { "Velamari/Charts/A.psg", QByteArray(10, 'a') } });
    mEnvironment->setRemovableVolumes({ cardRoot() + '/' });
    const quint32 cluster = Environment::instance()->clusterSize(cardRoot());
    QVERIFY(cluster > 0);

    VelamarisClientBridge bridge("store.example", QString());
    bridge.setDevice(device);
    QCOMPARE(bridge.getDevice(), device);
    QCOMPARE(bridge.getSerial(), QStringLiteral("T-100"));
    QCOMPARE(bridge.cardPath(), cardRoot() + '/');
    QVERIFY(!bridge.isOldChip());

    if (device == "card") {
        QCOMPARE(bridge.getCardAvailableSpace(), double(kFreeBytes));
        QCOMPARE(bridge.getFreeSpaceAndVelData(), double(kFreeBytes + cluster));
        QCOMPARE(bridge.getClusterSize(), int(cluster));
        QVERIFY(bridge.isCardWriteable());
    } else {
        QCOMPARE(bridge.getCardAvailableSpace(), device == "pc" ? 1073741824.0 : 0.0);
        QCOMPARE(bridge.getFreeSpaceAndVelData(), 0.0);
        QCOMPARE(bridge.getClusterSize(), 0);
        QCOMPARE(bridge.isCardWriteable(), true); // "pc" says so; the others ask the writable card
    }
}

void ClientBridgeTest::chartSpaceCountsWholeClusters()
{
    makeCard(cardRoot(), "T-5096", { { "Velamari/Charts/one.psg", "1" } });
    const quint32 cluster = Environment::instance()->clusterSize(cardRoot());
    QVERIFY(cluster > 0);

    VelamarisClientBridge bridge("store.example", cardRoot());
    bridge.setDevice("card");
    QCOMPARE(bridge.getFreeSpaceAndVelData(), double(kFreeBytes + cluster));
    if (cluster == 4096)
        QCOMPARE(bridge.getFreeSpaceAndVelData(), 5096.0);
}

void ClientBridgeTest::chartSpaceCountsChartFoldersOnly()
{
    const QByteArray size5000(5000, 'c');
    makeCard(cardRoot(), "T-1",
             { { "Velamari/Index.txt", kPewterIndex },
               { "Velamari/Charts/a.psg", size5000 },
               { "Velamari/Charts/UGC/b.ugc", size5000 },
               { "Velamari/Charts/UGC/Deeper/not-counted.ugc", size5000 },
               { "Velamari/Charts/Other/not-counted.psg", size5000 },
               { "Velamari/Edition/tier.psg", size5000 },
               { "outside.psg", size5000 } });
    mEnvironment->setRemovableVolumes({ cardRoot() + '/' });
    const quint64 cluster = Environment::instance()->clusterSize(cardRoot());
    const quint64 onFile = roundedUp(5000, cluster);

    VelamarisClientBridge bridge("store.example", QString());
    bridge.setDevice("card");
    QCOMPARE(bridge.getSerial(), QStringLiteral("T-1"));
    // Charts, UGC and the Pewter record's folder.
    QCOMPARE(bridge.getFreeSpaceAndVelData(), double(kFreeBytes + 3 * onFile));
    QVERIFY(bridge.pewterFolderPath().isEmpty());
    bridge.setDeletePewter();
    QCOMPARE(bridge.pewterFolderPath(), QDir(cardRoot()).absoluteFilePath("Velamari/Edition"));

    // Old-format charts beside the record: the tier folder is no longer room.
    QVERIFY(TestSupport::writeFile(cardRoot() + "/Velamari/Charts/old.vl2", size5000));
    bridge.stateReset();
    QCOMPARE(bridge.getSerial(), QStringLiteral("T-1"));
    QCOMPARE(bridge.getFreeSpaceAndVelData(), double(kFreeBytes + 3 * onFile));
    QVERIFY(bridge.pewterFolderPath().isEmpty()); // the search cleared the page's deletion wish
}

void ClientBridgeTest::noCardGivesEmptyAnswers_data()
{
    QTest::addColumn<bool>("untaggedVolume");
    QTest::newRow("no volume") << false;
    QTest::newRow("volume without tag") << true; // no chart card
}

void ClientBridgeTest::noCardGivesEmptyAnswers()
{
    QFETCH(bool, untaggedVolume);
    if (untaggedVolume) {
        makeCard(cardRoot(), QString());
        mEnvironment->setRemovableVolumes({ cardRoot() + '/' });
    }
    VelamarisClientBridge bridge("store.example", QString());
    bridge.setDevice("card");
    QCOMPARE(bridge.getSerial(), QString());
    QCOMPARE(bridge.getCardAvailableSpace(), 0.0);
    QCOMPARE(bridge.getFreeSpaceAndVelData(), 0.0);
    QCOMPARE(bridge.getClusterSize(), 0);
    QVERIFY(!bridge.isCardWriteable());
    QVERIFY(!bridge.isOldChip());
    QVERIFY(!bridge.sonarTracksFound());
    QVERIFY(bridge.cardPath().isEmpty());
}

void ClientBridgeTest::unreadableCardGivesNoSpace()
{
    makeCard(cardRoot(), "GONE", { { "Velamari/Charts/a.psg", "a" } });
    mEnvironment->useRealFreeSpace();
    VelamarisClientBridge bridge("store.example", cardRoot());
    bridge.setDevice("card");
    QCOMPARE(bridge.getSerial(), QStringLiteral("GONE"));
    QVERIFY(QDir(cardRoot()).removeRecursively()); // pulled out after the page found it

    QTest::ignoreMessage(QtDebugMsg, "ERROR: Not able to retrive free Space");
    QCOMPARE(bridge.getCardAvailableSpace(), 0.0);
    QTest::ignoreMessage(QtDebugMsg, "ERROR: Not able to retrive free Space");
    QCOMPARE(bridge.getFreeSpaceAndVelData(), 0.0);
    QCOMPARE(bridge.getClusterSize(), 0);
    QVERIFY(!bridge.isCardWriteable());
    QCOMPARE(bridge.getSerial(), QString());
}

void ClientBridgeTest::fullCardHasOnlyItsChartsAsRoom()
{
    TmpfsMount card(cardRoot(), 64 * 1024);
    if (!card.isMounted())
        QSKIP("no permission to mount a tmpfs: cannot make a full card");
    makeCard(card.mountPoint(), "FULL", { { "Velamari/Charts/a.psg", "a" } });
    QFile filler(card.mountPoint() + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    filler.close();
    mEnvironment->useRealFreeSpace();
    mEnvironment->setRemovableVolumes({ card.mountPoint() + '/' });
    const quint32 cluster = Environment::instance()->clusterSize(card.mountPoint());
    QVERIFY(cluster > 0);

    VelamarisClientBridge bridge("store.example", QString());
    bridge.setDevice("card");
    QCOMPARE(bridge.getSerial(), QStringLiteral("FULL"));
    QCOMPARE(bridge.getCardAvailableSpace(), 0.0);
    QCOMPARE(bridge.getFreeSpaceAndVelData(), double(cluster));
}

void ClientBridgeTest::writeProtectedCard()
{
    TmpfsMount card(cardRoot(), 64 * 1024);
    if (!card.isMounted())
        QSKIP("no permission to mount a tmpfs: cannot make a write-protected card");
    makeCard(card.mountPoint(), "RO");
    QVERIFY(card.remountReadOnly());
    mEnvironment->setRemovableVolumes({ card.mountPoint() + '/' });

    VelamarisClientBridge bridge("store.example", QString());
    bridge.setDevice("card");
    QCOMPARE(bridge.getSerial(), QStringLiteral("RO"));
    QVERIFY(!bridge.isCardWriteable());
    bridge.setDevice("pc");
    QVERIFY(bridge.isCardWriteable());
}

void ClientBridgeTest::cardSearch()
{
    makeCard(cardRoot("a"), QString());
    makeCard(cardRoot("b"), "B-1");
    makeCard(cardRoot("c"), "C-1");
    mEnvironment->setRemovableVolumes({ cardRoot("a") + '/', cardRoot("b") + '/', cardRoot("c") + '/' });

    VelamarisClientBridge bridge("store.example", QString());
    QCOMPARE(bridge.getSerial(), QStringLiteral("B-1")); // the first tagged volume

    // Another card in the same slot is noticed by the next question.
    QVERIFY(TestSupport::writeFile(cardRoot("b") + "/nTag.txt", "B-2\n"));
    QCOMPARE(bridge.getSerial(), QStringLiteral("B-2"));

    // Card taken out: the search goes on to the next volume.
    QVERIFY(QFile::remove(cardRoot("b") + "/nTag.txt"));
    QCOMPARE(bridge.getSerial(), QStringLiteral("C-1"));

    // A found card is kept until the page resets its state.
    QVERIFY(TestSupport::writeFile(cardRoot("b") + "/nTag.txt", "B-3\n"));
    QCOMPARE(bridge.getSerial(), QStringLiteral("C-1"));
    QSignalSpy reset(&bridge, &VelamarisClientBridge::reinitializeState);
    bridge.stateReset();
    QCOMPARE(reset.count(), 1);
    QVERIFY(bridge.cardPath().isEmpty());
    QCOMPARE(bridge.getSerial(), QStringLiteral("B-3"));
}

void ClientBridgeTest::commandLineCardIsOpenedAsCard()
{
    // No removable volume at all: only the command line names the card.
    makeCard(cardRoot("tagged"), "CLI-7", { { "Velamari/Charts/a.psg", "a" } });
    {
        VelamarisClientBridge bridge("store.example", cardRoot("tagged"));
        bridge.setDevice("card");
        QVERIFY(bridge.isCardWriteable()); // the first question already sees the card
        QCOMPARE(bridge.getSerial(), QStringLiteral("CLI-7"));
        QCOMPARE(bridge.getCardAvailableSpace(), double(kFreeBytes));
        QVERIFY(bridge.getFreeSpaceAndVelData() > double(kFreeBytes));
    }
    // An old card without tag can only come this way, and is reported as old.
    makeCard(cardRoot("old"), QString(), { { "Velamari/Charts/chart.vl2", "v" } });
    VelamarisClientBridge old("store.example", cardRoot("old"));
    old.setDevice("card");
    QVERIFY(!old.isOldChip()); // nothing asked about the card yet
    QVERIFY(old.isCardWriteable());
    QVERIFY(old.isOldChip());
}

void ClientBridgeTest::updateRequestsFromPageScript_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("goesBack");
    QTest::addColumn<QString>("shortForm");     // manifest of the one-argument signal, null when not sent
    QTest::addColumn<QVariantList>("longForm"); // arguments of the four-argument signal, empty when not sent

    const QString one("qtBridge['enqueueFiles(QString)'](%1)");
    const QString four("qtBridge['enqueueFiles(QString,bool,bool,bool)'](%1)");
    QTest::newRow("plain call, empty manifest") << "qtBridge.enqueueFiles('')" << true << QString() << QVariantList();
    QTest::newRow("one argument, empty") << one.arg("''") << true << QString() << QVariantList();
    QTest::newRow("one argument, manifest") << one.arg("'[{}]'") << false << "[{}]" << QVariantList();
    QTest::newRow("empty, charts on") << four.arg("'', true, false, false") << true << QString() << QVariantList();
    QTest::newRow("empty, community on") << four.arg("'', false, true, false") << true << QString()
                                         << QVariantList();
    QTest::newRow("empty, sonar only") << four.arg("'', false, false, true") << false << QString()
                                       << QVariantList { "", false, false, true };
    QTest::newRow("empty, all off") << four.arg("'', false, false, false") << false << QString()
                                    << QVariantList { "", false, false, false };
    QTest::newRow("manifest, all on") << four.arg("'[1]', true, true, true") << false << QString()
                                      << QVariantList { "[1]", true, true, true };
}

void ClientBridgeTest::updateRequestsFromPageScript()
{
    QFETCH(QString, call);
    QFETCH(bool, goesBack);
    QFETCH(QString, shortForm);
    QFETCH(QVariantList, longForm);

    VelamarisClientBridge bridge("store.example", QString());
    QWebPage page;
    page.mainFrame()->addToJavaScriptWindowObject("qtBridge", &bridge);
    QSignalSpy back(&bridge, &VelamarisClientBridge::goBack);
    QSignalSpy shortSignal(&bridge, qOverload<QString>(&VelamarisClientBridge::newtideDataFromManifest));
    QSignalSpy longSignal(&bridge,
                          qOverload<QString, bool, bool, bool>(&VelamarisClientBridge::newtideDataFromManifest));

    page.mainFrame()->evaluateJavaScript(call);
    QCOMPARE(back.count(), goesBack ? 1 : 0);
    QCOMPARE(shortSignal.count(), shortForm.isNull() ? 0 : 1);
    if (!shortForm.isNull())
        QCOMPARE(shortSignal.at(0).at(0).toString(), shortForm);
    QCOMPARE(longSignal.count(), longForm.isEmpty() ? 0 : 1);
    if (!longForm.isEmpty())
        QCOMPARE(longSignal.at(0), longForm);
}

void ClientBridgeTest::linksAndStateReset()
{
    VelamarisClientBridge bridge("127.0.0.1:8080", QString());
    QSignalSpy link(&bridge, &VelamarisClientBridge::printLinkClicked);
    bridge.doUrlBrowser("/help?x=1");
    QCOMPARE(link.count(), 1);
    QCOMPARE(link.at(0).at(0).toUrl(), QUrl("http://127.0.0.1:8080/help?x=1"));

    // A reset forgets the sonar state, not the page's other choices.
    bridge.setReturnUrl("http://back/paid");
    bridge.setCurrentUserId("u-42");
    bridge.setUGDBetaUser(true);
    bridge.setSonarCounts(3, 2, 1);
    bridge.stateReset();
    QVERIFY(!bridge.sonarBeta());
    QCOMPARE(bridge.getSonarTracksNumber() + bridge.getAlreadyUploadedSonarTracksNumber()
                 + bridge.getCorruptedSonarTracksNumber(),
             0);
    QCOMPARE(bridge.returnUrl(), QStringLiteral("http://back/paid"));
    QCOMPARE(bridge.currentUserId(), QStringLiteral("u-42"));
}

void ClientBridgeTest::installerDownload_data()
{
    QTest::addColumn<int>("faultStatus");
    QTest::addColumn<qint64>("cutAfter");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("length"); // the page's count of entries
    QTest::addColumn<int>("expectedError"); // 0: the download succeeds

    const QString setup = "TidemartSetup.exe";
    QTest::newRow("complete") << 0 << qint64(-1) << setup << 2 << 0;
    QTest::newRow("not found") << 404 << qint64(-1) << setup << 2 << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("cut half way") << 0 << qint64(100000) << setup << 2 << int(QNetworkReply::RemoteHostClosedError);
    // Refused before anything starts, with a code the page cannot take for success.
    QTest::newRow("list shorter than its count") << 0 << qint64(-1) << setup << 3 << int(ErrorInstallerRequestRefused);
    QTest::newRow("name with a folder") << 0 << qint64(-1) << "../TidemartSetup.exe" << 2
                                        << int(ErrorInstallerRequestRefused);
}

void ClientBridgeTest::installerDownload()
{
    QFETCH(int, faultStatus);
    QFETCH(qint64, cutAfter);
    QFETCH(QString, name);
    QFETCH(int, length);
    QFETCH(int, expectedError);
    const qint64 size = 300000;
    LocalHttpServer server;
    QVERIFY(server.start());
    HttpFaults faults;
    faults.status = faultStatus;
    faults.closeAfterBytes = cutAfter;
    server.server().addRoute(HttpRoute::generated("/TidemartSetup.exe", size).setFaults(faults));
    const QString desktop = mDir->filePath("Desktop");

    VelamarisClientBridge bridge("store.example", QString());
    bridge.setInstallerFolder(desktop);
    QSignalSpy status(&bridge, &VelamarisClientBridge::notifyStatus);
    QSignalSpy progress(&bridge, &VelamarisClientBridge::progressBarUpdate);
    QSignalSpy errors(&bridge, &VelamarisClientBridge::errorOnDownload);
    const QStringList list { name, "Other.exe", QString::number(size), "1",
                             server.url("/TidemartSetup.exe").toString(), server.url("/Other.exe").toString() };

    bridge.setDevice("card"); // only the desktop page may fetch the installer
    bridge.enqueueFiles(length, list);
    QCOMPARE(status.count(), 0);

    bridge.setDevice("pc");
    bridge.enqueueFiles(length, list);
    if (expectedError == ErrorInstallerRequestRefused) {
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), expectedError);
        QVERIFY(errorCodeName(expectedError) != errorCodeName(0));
        QCOMPARE(status.count(), 0);
        QCOMPARE(server.server().requestCount("/TidemartSetup.exe"), 0);
        QVERIFY(!QFileInfo::exists(mDir->filePath("TidemartSetup.exe")));
        return;
    }
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("download"));
    const QString target = desktop + "/TidemartSetup.exe";
    if (expectedError == 0) {
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, kWait);
        QCOMPARE(status.at(1).at(0).toString(), QStringLiteral("completed"));
        QCOMPARE(QFileInfo(target).size(), size);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toFloat(), 100.0f);
        QVERIFY(errors.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, kWait);
        QCOMPARE(errors.at(0).at(0).toInt(), expectedError);
        QVERIFY(!errors.at(0).at(1).toString().isEmpty());
        QCOMPARE(status.count(), 1); // no "completed" for a failed download
        QCOMPARE(TestSupport::folderEntries(desktop), QStringList()); // partial file removed
    }
    // Only the first entry of the list is fetched.
    QVERIFY(server.server().requestCount("/TidemartSetup.exe") >= 1);
    QCOMPARE(server.server().requestCount("/Other.exe"), 0);
}

QTEST_MAIN(ClientBridgeTest)
#include "tst_clientbridge.moc"
