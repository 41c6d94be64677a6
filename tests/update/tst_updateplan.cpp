#include "fileobject.h"
#include "progressweights.h"
#include "runprogress.h"
#include "updateplan.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {
constexpr quint64 MB = 1048576;

// name:size or name:size:members:unzipped, as the manifest would list it.
std::unique_ptr<FileObject> entry(const QString &text)
{
    const QStringList parts = text.split(':');
    auto object = std::make_unique<FileObject>("Velamari/Charts/" + parts.at(0), parts.at(1), "http://h/" + parts.at(0),
                                               parts.at(0), QString());
    if (parts.size() == 4) {
        object->setTotalFiles(parts.at(2).toUInt());
        object->setUnzippedSize(parts.at(3).toULongLong());
    }
    return object;
}
} // namespace

// What a card update takes from its manifest, what that needs on the card,
// and how its progress is weighed: worked out without thread, network or card.
class UpdatePlanTest : public QObject
{
    Q_OBJECT

private slots:
    void whatTheRunTakes_data();
    void whatTheRunTakes();
    void sizeOnTheCard_data();
    void sizeOnTheCard();
    void spaceRule_data();
    void spaceRule();
    void progressWeights_data();
    void progressWeights();
    void progressReportsAreThrottled_data();
    void progressReportsAreThrottled();
};

void UpdatePlanTest::whatTheRunTakes_data()
{
    QTest::addColumn<bool>("newtide");
    QTest::addColumn<bool>("community");
    QTest::addColumn<QStringList>("installList");
    QTest::addColumn<QString>("accepted");
    QTest::addColumn<quint64>("downloadBytes");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<int>("filesToProcess");

    // The manifest of every row: a.vl2, r.zip (3 members), m.UGC, b.psg,
    // S.ZIP (2 members), t.vl3; clusters of 4096.
    const quint64 cluster = 4096;
    QTest::newRow("both: plain files first, archives last")
        << true << true << QStringList { "a.vl2", "m.UGC", "b.psg", "t.vl3", "r.zip", "S.ZIP" } << "111111"
        << quint64(4000) << 4 * cluster + 3 * cluster + 2 * cluster << 1 + 3 + 1 + 1 + 2 + 1;
    QTest::newRow("charts only") << true << false << QStringList { "a.vl2", "b.psg" } << "100100" << quint64(400)
                                 << 2 * cluster << 2;
    QTest::newRow("community only") << false << true << QStringList { "m.UGC", "t.vl3", "r.zip", "S.ZIP" } << "011011"
                                    << quint64(3600) << 2 * cluster + 3 * cluster + 2 * cluster << 7;
    QTest::newRow("neither") << false << false << QStringList {} << "000000" << quint64(0) << quint64(0) << 0;
}

void UpdatePlanTest::whatTheRunTakes()
{
    QFETCH(bool, newtide);
    QFETCH(bool, community);
    std::vector<std::unique_ptr<FileObject>> owned;
    QList<FileObject *> manifest;
    for (const char *text : { "a.vl2:100", "r.zip:1000:3:30", "m.UGC:200", "b.psg:300", "S.ZIP:2000:2:10", "t.vl3:400" }) {
        owned.push_back(entry(text));
        manifest.append(owned.back().get());
    }

    const UpdatePlan plan = planUpdate(manifest, newtide, community, 4096);
    QStringList names;
    for (const FileObject *taken : plan.installList)
        names << taken->name();
    QTEST(names, "installList");
    QString accepted;
    for (bool taken : plan.accepted)
        accepted += taken ? '1' : '0';
    QTEST(accepted, "accepted");
    QTEST(plan.downloadBytes, "downloadBytes");
    QTEST(plan.diskSize, "diskSize");
    QTEST(plan.filesToProcess, "filesToProcess");
}

void UpdatePlanTest::sizeOnTheCard_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<quint32>("cluster");
    QTest::addColumn<quint64>("size");

    QTest::newRow("one byte takes a cluster") << "a.vl2:1" << 32768u << quint64(32768);
    QTest::newRow("a whole cluster") << "a.vl2:32768" << 32768u << quint64(32768);
    QTest::newRow("one byte over") << "a.vl2:32769" << 32768u << quint64(65536);
    QTest::newRow("empty file") << "a.vl2:0" << 4096u << quint64(0);
    QTest::newRow("size that is no size") << "a.vl2:-5" << 4096u << quint64(0);
    // 10 bytes in 4 members: 3 bytes each, rounded up, one cluster each.
    QTest::newRow("archive by its average member") << "r.zip:5000:4:10" << 4096u << quint64(4 * 4096);
    QTest::newRow("archive named in capitals") << "R.ZIP:5000:4:10" << 4096u << quint64(4 * 4096);
    QTest::newRow("archive of large members") << "r.zip:5000:2:20000" << 4096u << quint64(2 * 12288);
    QTest::newRow("archive without members") << "r.zip:5000:0:0" << 4096u << quint64(8192);
    QTest::newRow("archive of empty members") << "r.zip:5000:3:0" << 4096u << quint64(8192);
    QTest::newRow("members count only for archives") << "m.ugc:5000:4:10" << 4096u << quint64(8192);
    QTest::newRow("cluster size unknown") << "a.vl2:5000" << 0u << quint64(0);
    // Declared sizes past what 64 bits hold are "more than any card", not a
    // number that wrapped around to something small.
    QTest::newRow("contents declared at the 64-bit limit") << "r.zip:5000:1:18446744073709551615" << 4096u
                                                           << std::numeric_limits<quint64>::max();
    QTest::newRow("members times clusters past 64 bits") << "r.zip:5000:4294967295:18446744073709551615" << 4096u
                                                         << std::numeric_limits<quint64>::max();
}

void UpdatePlanTest::sizeOnTheCard()
{
    QFETCH(QString, entry);
    QFETCH(quint32, cluster);
    QTEST(diskSizeOnCard(*::entry(entry), cluster), "size");
}

void UpdatePlanTest::spaceRule_data()
{
    QTest::addColumn<quint64>("newFiles");
    QTest::addColumn<quint64>("freeBytes");
    QTest::addColumn<quint64>("removedBytes");
    QTest::addColumn<quint32>("cluster");
    QTest::addColumn<bool>("fits");

    QTest::newRow("free space exactly enough") << quint64(8192) << quint64(8192) << quint64(0) << 4096u << true;
    QTest::newRow("one byte short") << quint64(8192) << quint64(8191) << quint64(0) << 4096u << false;
    QTest::newRow("removed files make up the rest") << 150 * MB << 100 * MB << 50 * MB << 32768u << true;
    QTest::newRow("one byte more than both") << 150 * MB + 1 << 100 * MB << 50 * MB << 32768u << false;
    QTest::newRow("nothing to install on a full card") << quint64(0) << quint64(0) << quint64(0) << 4096u << true;
    QTest::newRow("cluster size unknown") << quint64(0) << quint64(1) << quint64(0) << 0u << false;
}

void UpdatePlanTest::spaceRule()
{
    QFETCH(quint64, newFiles);
    QFETCH(quint64, freeBytes);
    QFETCH(quint64, removedBytes);
    QFETCH(quint32, cluster);
    QTEST(hasRoomFor(newFiles, freeBytes, removedBytes, cluster), "fits");
}

void UpdatePlanTest::progressWeights_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("tracks");
    QTest::addColumn<int>("files");
    QTest::addColumn<double>("perMegabyte");
    QTest::addColumn<double>("perFile");
    QTest::addColumn<double>("perConvertedTrack");
    QTest::addColumn<double>("perUploadedTrack");
    QTest::addColumn<float>("finished");

    // Weights: 21.5 per track (20 converting, 1.5 uploading), 8 per megabyte, 1 per file.
    QTest::newRow("10 MB and 5 files") << qint64(10 * MB) << 0 << 5 << 800.0 / 85 << 100.0 / 85 << 0.0 << 0.0 << 100.0f;
    QTest::newRow("files only") << qint64(0) << 0 << 4 << 0.0 << 25.0 << 0.0 << 0.0 << 100.0f;
    QTest::newRow("half a megabyte") << qint64(MB / 2) << 0 << 0 << 200.0 << 0.0 << 0.0 << 0.0 << 100.0f;
    QTest::newRow("tracks, megabytes and files")
        << qint64(3 * MB) << 2 << 6 << 800.0 / 73 << 100.0 / 73 << 2000.0 / 73 << 150.0 / 73 << 100.0f;
    QTest::newRow("nothing to do") << qint64(0) << 0 << 0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0f;
    QTest::newRow("negative counts are none") << qint64(-5) << -1 << -3 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0f;
}

void UpdatePlanTest::progressWeights()
{
    QFETCH(qint64, bytes);
    QFETCH(int, tracks);
    QFETCH(int, files);
    QFETCH(float, finished);

    const ProgressWeights weights = ::progressWeights(bytes, tracks, files);
    auto near = [](float actual, double expected) { return qAbs(double(actual) - expected) < 1e-4; };
    QFETCH(double, perMegabyte);
    QFETCH(double, perFile);
    QFETCH(double, perConvertedTrack);
    QFETCH(double, perUploadedTrack);
    QVERIFY2(near(weights.perMegabyte, perMegabyte), qPrintable(QString::number(double(weights.perMegabyte))));
    QVERIFY2(near(weights.perFile, perFile), qPrintable(QString::number(double(weights.perFile))));
    QVERIFY(near(weights.perConvertedTrack, perConvertedTrack));
    QVERIFY(near(weights.perUploadedTrack, perUploadedTrack));

    // Every unit done is the whole; more than announced stays within 100.
    const int t = weights.tracks;
    const int f = weights.files;
    const qint64 b = qMax<qint64>(0, bytes);
    QVERIFY(qAbs(progressPercent(weights, t, t, b, f) - finished) < 1e-3f);
    QCOMPARE(progressPercent(weights, 2 * t, 2 * t, 2 * b, 2 * f), finished);
    QCOMPARE(progressPercent(weights, 0, 0, 0, 0), 0.0f);
}

void UpdatePlanTest::progressReportsAreThrottled_data()
{
    QTest::addColumn<QList<quint32>>("times");
    QTest::addColumn<QString>("reported");
    // Seconds since 1970 at which progress arrives; more than 3 must pass between reports.
    QTest::newRow("every second") << QList<quint32> { 1000, 1001, 1002, 1003, 1004, 1005, 1008, 1009 } << "10001010";
    QTest::newRow("far apart") << QList<quint32> { 1000, 1010, 1020 } << "111";
}

void UpdatePlanTest::progressReportsAreThrottled()
{
    QFETCH(QList<quint32>, times);
    RunProgress progress;
    progress.reset();
    QString reported;
    for (quint32 now : times)
        reported += progress.takeReport(now) ? '1' : '0';
    QTEST(reported, "reported");

    // After a file copied or at the end, the next report goes through at once.
    progress.allowReport();
    QVERIFY(progress.takeReport(times.last()));
    QVERIFY(!progress.takeReport(times.last()));
}

QTEST_GUILESS_MAIN(UpdatePlanTest)
#include "tst_updateplan.moc"
