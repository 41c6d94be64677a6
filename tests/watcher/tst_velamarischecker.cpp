#include "environment.h"
#include "environment_linux.h"
#include "fakesystem.h"
#include "storeclientlock.h"
#include "testsupport.h"
#include "velamarischecker.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {
QStringList gLogLines;

void collectLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    gLogLines << message;
}
} // namespace

// The watcher on real folders standing in for removable volumes: a fake
// mount table names them, the environment layer finds them as it finds real
// ones, and the URLs it opens are recorded instead of started.
class VelamarisCheckerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void stateTable_data();
    void stateTable();
    void storeUrlEncodesTheTag_data();
    void storeUrlEncodesTheTag();

private:
    void runStep(const QString &step);
    void mountVolumes();
    QString volume(const QString &name) const { return mBase->filePath("media/" + name); }

    std::unique_ptr<QTemporaryDir> mBase;
    std::unique_ptr<FakeSystem> mSystem;
    std::unique_ptr<VelamarisChecker> mChecker;
    std::unique_ptr<StoreClientLock> mClientLock;
    QStringList mMounted;
    QStringList mOpened;
    QStringList mStates;
};

void VelamarisCheckerTest::initTestCase()
{
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    qInstallMessageHandler(collectLog);
}

void VelamarisCheckerTest::init()
{
    mBase = std::make_unique<QTemporaryDir>();
    mSystem = std::make_unique<FakeSystem>(mBase->path());
    // Two removable disks and a fixed one; the volumes are mounted by the steps.
    mSystem->apply({ "disk sda 8:0", "part sda1 8:1 sda", "disk sdb 8:16 removable", "disk sdc 8:32 removable",
                     "mount 8:1 / /" });
    Environment::installImplementation(new LinuxEnvironmentImpl(mSystem->proc(), mSystem->sys()));
    QSettings().clear();
    mChecker = std::make_unique<VelamarisChecker>([this](const QUrl &url) {
        mOpened << url.toString(QUrl::FullyEncoded);
        return true;
    });
    mClientLock = std::make_unique<StoreClientLock>();
    mMounted.clear();
    mOpened.clear();
    mStates.clear();
    gLogLines.clear();
}

void VelamarisCheckerTest::cleanup()
{
    mChecker.reset();
    mClientLock.reset();
    QSettings().clear();
}

// Steps:
//   card <volume> <nTag.txt text> [charts|index|none]   a volume with a card (default: old charts)
//   eject <volume>                                        the volume is taken out
//   client up | client down                               the store client starts | leaves cleanly
//   client dies                                           the store client ends without clearing "Running"
//   tick                                                  one timer tick; the last state is recorded
void VelamarisCheckerTest::runStep(const QString &step)
{
    const QStringList words = step.split(' ');
    const QString kind = words.at(0);
    if (kind == "card") {
        const QString root = volume(words.at(1));
        QDir(root).removeRecursively();
        QVERIFY(QDir().mkpath(root));
        const QString tagText = words.at(2);
        if (tagText != "-")
            QVERIFY(TestSupport::writeFile(root + "/nTag.txt", QByteArray(tagText.toUtf8()).replace("\\n", "\n").replace('+', ' ')));
        const QString content = words.value(3, "charts");
        if (content == "charts")
            QVERIFY(TestSupport::writeFile(root + "/Velamari/Charts/NAP01.vl2", "chart"));
        if (content == "index")
            QVERIFY(TestSupport::writeFile(root + "/Velamari/Index.txt",
                                           "Directory: D1\nType: Pewter\nChart: C\nVersion: 1\nEdition date: 2024\n"));
        if (!mMounted.contains(words.at(1)))
            mMounted << words.at(1);
        mountVolumes();
    } else if (kind == "eject") {
        mMounted.removeAll(words.at(1));
        QDir(volume(words.at(1))).removeRecursively();
        mountVolumes();
    } else if (step == "client up") {
        QVERIFY(mClientLock->acquire());
        QSettings().setValue("Running", 1u);
    } else if (step == "client down") {
        QSettings().setValue("Running", 0u);
        mClientLock->release();
    } else if (step == "client dies") {
        mClientLock->release();
    } else if (kind == "tick") {
        mChecker->scanVolumes();
        mStates << mChecker->lastState();
    } else {
        QFAIL(qPrintable("unknown step " + step));
    }
}

void VelamarisCheckerTest::mountVolumes()
{
    mSystem->unmountAll();
    QStringList mounts { "mount 8:1 / /" };
    // The disk a volume sits on follows its name, so "b" comes after "a" in drive order.
    for (const QString &name : qAsConst(mMounted))
        mounts << QString("mount %1 / %2").arg(name < "b" ? "8:16" : "8:32", FakeSystem::mountPoint(volume(name)));
    mSystem->apply(mounts);
}

void VelamarisCheckerTest::stateTable_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QStringList>("launchedTags");
    QTest::addColumn<QString>("cardVolume");

    const QString none = VelamarisChecker::NoChipState;
    QTest::newRow("no removable volume: every tick searches, nothing launched")
        << QStringList { "tick", "tick" } << QStringList { none, none } << QStringList {} << QString("");
    QTest::newRow("card inserted, store client not running")
        << QStringList { "card a T1", "tick", "tick" } << QStringList { "T1", "T1" } << QStringList { "T1" } << QString("a");
    QTest::newRow("card with a Pewter index counts as a chart card")
        << QStringList { "card a T1 index", "tick" } << QStringList { "T1" } << QStringList { "T1" } << QString("a");
    QTest::newRow("card inserted while the store client runs, then the client closes")
        << QStringList { "client up", "card a T1", "tick", "client down", "tick" } << QStringList { "T1", "T1" }
        << QStringList {} << QString("a");
    QTest::newRow("card removed, then inserted again after the client closed")
        << QStringList { "card a T1", "tick", "client up", "eject a", "tick", "client down", "card a T1", "tick" }
        << QStringList { "T1", none, "T1" } << QStringList { "T1", "T1" } << QString("a");
    QTest::newRow("another card replaces the first between two ticks")
        << QStringList { "card a T1", "tick", "client up", "client down", "card a U2", "tick" }
        << QStringList { "T1", "U2" } << QStringList { "T1", "U2" } << QString("a");
    QTest::newRow("card without a tag")
        << QStringList { "card a -", "tick" } << QStringList { none } << QStringList {} << QString("");
    QTest::newRow("tagged volume without charts is no chart card")
        << QStringList { "card a T1 none", "tick" } << QStringList { none } << QStringList {} << QString("a");
    QTest::newRow("empty first line of nTag.txt counts as no tag")
        << QStringList { "card a \\nT1", "tick" } << QStringList { none } << QStringList {} << QString("");
    QTest::newRow("tag line trimmed before comparing and launching")
        << QStringList { "card a ++T1++\\nsecond", "tick", "card a T1", "tick" } << QStringList { "T1", "T1" }
        << QStringList { "T1" } << QString("a");
    QTest::newRow("two tagged volumes: the first in drive order")
        << QStringList { "card b B2", "card a A1", "tick" } << QStringList { "A1" } << QStringList { "A1" } << QString("a");
    QTest::newRow("a store client that died left \"Running\" set: stale, launched")
        << QStringList { "client up", "client dies", "card a T1", "tick" } << QStringList { "T1" }
        << QStringList { "T1" } << QString("a");
    QTest::newRow("a launch that never started a client does not block the next card")
        << QStringList { "card a T1", "tick", "eject a", "tick", "card a T1", "tick" }
        << QStringList { "T1", none, "T1" } << QStringList { "T1", "T1" } << QString("a");
}

void VelamarisCheckerTest::stateTable()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, launchedTags);
    QFETCH(QString, cardVolume);

    for (const QString &step : qAsConst(steps)) {
        runStep(step);
        if (QTest::currentTestFailed())
            return;
    }
    QTEST(mStates, "states");
    QStringList expectedUrls;
    for (const QString &tag : qAsConst(launchedTags))
        expectedUrls << "velscheme://tidemart?ntag=" + tag;
    QCOMPARE(mOpened, expectedUrls);
    if (!launchedTags.isEmpty())
        QCOMPARE(QSettings().value("Running").toBool(), true);

    QCOMPARE(mChecker->cardVolume(), cardVolume.isEmpty() ? QString() : volume(cardVolume) + "/");
    QStringList expectedLaunchLines;
    for (const QString &tag : qAsConst(launchedTags))
        expectedLaunchLines << QString("Starting Berthkit ( \"%1\" )").arg(tag);
    QCOMPARE(gLogLines.filter(QRegularExpression("^Starting Berthkit")), expectedLaunchLines);
    if (!cardVolume.isEmpty())
        QVERIFY(gLogLines.contains(QString("- The Card Volume is \"%1/\"").arg(volume(cardVolume))));
}

void VelamarisCheckerTest::storeUrlEncodesTheTag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("url");

    QTest::newRow("letters and digits as before") << "VEL0001abc" << "velscheme://tidemart?ntag=VEL0001abc";
    QTest::newRow("query delimiters") << "A&ntag=B#c" << "velscheme://tidemart?ntag=A%26ntag%3DB%23c";
    QTest::newRow("blanks, plus and percent") << "Sea Wolf+100%" << "velscheme://tidemart?ntag=Sea%20Wolf%2B100%25";
    QTest::newRow("non-ASCII, as UTF-8") << QString::fromUtf8("Møwe") << "velscheme://tidemart?ntag=M%C3%B8we";
}

void VelamarisCheckerTest::storeUrlEncodesTheTag()
{
    QFETCH(QString, tag);
    const QUrl url = VelamarisChecker::storeUrl(tag);
    QTEST(url.toString(QUrl::FullyEncoded), "url");
    // What the store client reads back from it.
    QCOMPARE(QUrlQuery(url).queryItemValue("ntag", QUrl::FullyDecoded), tag);
}

QTEST_GUILESS_MAIN(VelamarisCheckerTest)
#include "tst_velamarischecker.moc"
