#include "cardfiles.h"
#include "cardupdatefixture.h"
#include "downloadarea.h"
#include "errorcodes.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "zipbuilder.h"

#include <QJsonObject>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readFile;
using TestSupport::writeFile;

// A card update touches the card it started on and its own download area,
// and nothing else: not the user's other folders, not another run's files,
// not a card put in after it, not the computer's disk where a card was.
class CardSafetyTest : public CardUpdateFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedManifest_data();
    void refusedManifest();
    void linksLeadingOffTheCard_data();
    void linksLeadingOffTheCard();
    void downloadAreaOfOneRun_data();
    void downloadAreaOfOneRun();
    void cardLostDuringTheRun_data();
    void cardLostDuringTheRun();
    void backslashesSeparateFolders();

private:
    // A folder of the user's beside the card: nothing in it may change.
    QString documents(const QString &relative = QString()) const { return mDir->filePath("documents/" + relative); }
    void setEntry(const QString &member, const QString &value);
    QByteArray archive(const ZipBuilder::Entries &entries);
    int fileRequests();
};

void CardSafetyTest::initTestCase()
{
    startStore();
}

void CardSafetyTest::init()
{
    startTest();
    QVERIFY(writeFile(documents("letter.txt"), "dear"));
    QVERIFY(writeFile(documents("old.vl2"), "the user's own chart"));
}

void CardSafetyTest::cleanup()
{
    endTest();
}

void CardSafetyTest::setEntry(const QString &member, const QString &value)
{
    QJsonObject record = mManifest.last().toObject();
    record.insert(member, value);
    mManifest.replace(mManifest.size() - 1, record);
}

QByteArray CardSafetyTest::archive(const ZipBuilder::Entries &entries)
{
    const QString path = mDir->filePath("made.zip");
    if (!ZipBuilder::write(path, entries))
        return QByteArray();
    return readFile(path);
}

int CardSafetyTest::fileRequests()
{
    int count = 0;
    for (const RecordedRequest &request : mServer.server().requests())
        count += request.request.path().startsWith("/files/") ? 1 : 0;
    return count;
}

void CardSafetyTest::refusedManifest_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("destination outside the card") << "outside" << "destination outside the card";
    QTest::newRow("climbing with backslashes") << "climbing" << "destination outside the card";
    QTest::newRow("a local file as an entry") << "file entry" << "address that is not http or https";
    QTest::newRow("a local file as the manifest") << "file manifest" << "address that is not http or https";
    QTest::newRow("archive over the user's photos") << "photos" << "outside the chart area";
    QTest::newRow("archive over the card root") << "root" << "outside the chart area";
    QTest::newRow("archive over Velamari") << "velamari" << "outside the chart area";
    QTest::newRow("archive named in the card root") << "named in root" << "outside the chart area";
    QTest::newRow("negative size") << "-5" << "size that is not a number";
    QTest::newRow("size that is no number") << "abc" << "size that is not a number";
    QTest::newRow("manifest of 5 MiB") << "huge" << "manifest larger than";
    QTest::newRow("NUL byte in the manifest") << "nul" << "NUL byte";
}

void CardSafetyTest::refusedManifest()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QVERIFY(writeFile(card("DCIM/photo.jpg"), "photo"));
    const QByteArray zip = archive({ { "x.ugc", "x" } });
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    if (kind == "outside") {
        serve("outside.vl2", documents("outside.vl2"), "escaped");
    } else if (kind == "climbing") {
        serve("c.vl2", "Velamari\\..\\..\\c.vl2", "escaped");
    } else if (kind == "file entry") {
        serve("secret.vl2", "Velamari/Charts/secret.vl2", "x");
        setEntry("url", QUrl::fromLocalFile(documents("letter.txt")).toString());
    } else if (kind == "photos") {
        serve("d.zip", "DCIM", zip, 1, 1);
    } else if (kind == "root") {
        serve("all.zip", "", zip, 1, 1);
    } else if (kind == "velamari") {
        serve("v.zip", "./Velamari", zip, 1, 1);
    } else if (kind == "named in root") {
        serve("b.zip", "b.zip", zip, 1, 1);
    } else if (kind == "-5" || kind == "abc") {
        serve("n.vl2", "Velamari/Charts/n.vl2", "new n");
        setEntry("size", kind);
    }
    if (kind == "file manifest") {
        QVERIFY(writeFile(documents("manifest.json"), manifest()));
        mManifestUrl = QUrl::fromLocalFile(documents("manifest.json")).toString();
    } else if (kind == "huge") {
        mServer.server().addRoute(HttpRoute::generated("/manifest.json", 5 * 1024 * 1024, "application/json"));
    } else if (kind == "nul") {
        mServer.server().addRoute(
            HttpRoute::bytes("/manifest.json", manifest().insert(2, QByteArray("\0", 1)), "application/json"));
    } else {
        publishManifest();
    }
    const QMap<QString, QByteArray> cardBefore = tree(card());
    const QMap<QString, QByteArray> documentsBefore = tree(documents());

    runUpdate(true, true);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "error" }));
    QCOMPARE(mOutcome.errorCode, int(ErrorManifestRefused));
    QCOMPARE(errorCodeName(mOutcome.errorCode), QStringLiteral("ErrorManifestRefused"));
    QVERIFY2(mOutcome.errorMessage.contains(reason), qPrintable(mOutcome.errorMessage));
    QCOMPARE(fileRequests(), 0);
    QCOMPARE(tree(card()), cardBefore);
    QCOMPARE(tree(documents()), documentsBefore);
    // A huge answer is not fetched again and again.
    QVERIFY(mServer.server().requestCount("/manifest.json") <= 4);
}

void CardSafetyTest::linksLeadingOffTheCard_data()
{
    QTest::addColumn<QString>("link");   // card-relative, or "download area"
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("edition");   // the run replaces the edition folder
    QTest::addColumn<int>("errorCode");
    QTest::newRow("archive folder") << "Velamari/Charts/UGC/Region" << "Velamari/Charts/UGC/Region" << "r.zip"
                                    << false << int(ErrorPathOutsideCard);
    QTest::newRow("chart folder") << "Velamari/Charts" << "Velamari/Charts/a.vl2" << "a.vl2" << false
                                  << int(ErrorPathOutsideCard);
    QTest::newRow("folder of a chart file") << "Velamari/Sub" << "Velamari/Sub/x.vl2" << "x.vl2" << false
                                            << int(ErrorPathOutsideCard);
    QTest::newRow("replaced edition folder") << "Velamari/Pewter01" << "Velamari/Charts/a.vl2" << "a.vl2" << true
                                             << int(ErrorPathOutsideCard);
    // Cleared at the start of the run: the link goes, its target stays.
    QTest::newRow("download folder") << "download area" << "Velamari/Charts/a.vl2" << "a.vl2" << false << 0;
}

void CardSafetyTest::linksLeadingOffTheCard()
{
    QFETCH(QString, link);
    QFETCH(QString, destination);
    QFETCH(QString, name);
    QFETCH(bool, edition);
    QFETCH(int, errorCode);
    const QString linkPath = link == "download area" ? downloadArea() : card(link);
    QVERIFY(removeDirectoryTree(QDir(linkPath)));
    QVERIFY(QDir().mkpath(QFileInfo(linkPath).path()));
    QVERIFY(QFile::link(documents(), linkPath));
    serve(name, destination, name.endsWith(".zip") ? archive({ { "r.ugc", "r" } }) : QByteArray("new"), 1, 1);
    publishManifest();
    const QMap<QString, QByteArray> cardBefore = tree(card());
    const QMap<QString, QByteArray> documentsBefore = tree(documents());

    runUpdate(true, true, QString(), QString(), edition ? card("Velamari/Pewter01") : QString());
    QCOMPARE(tree(documents()), documentsBefore);
    if (errorCode == 0) {
        QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
        QVERIFY(!QFileInfo(downloadArea()).isSymLink());
        return;
    }
    QCOMPARE(mOutcome.phases, (QStringList { "init", "error" }));
    QCOMPARE(mOutcome.errorCode, errorCode);
    QVERIFY(mOutcome.errorMessage.startsWith(card()));
    QCOMPARE(fileRequests(), 0);
    QCOMPARE(tree(card()), cardBefore);
}

void CardSafetyTest::downloadAreaOfOneRun_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("errorCode");
    QTest::newRow("held by another run") << "busy" << int(ErrorDownloadAreaBusy);
    QTest::newRow("a link to elsewhere") << "link" << int(ErrorDownloadAreaUnsafe);
    QTest::newRow("made by another user") << "foreign" << int(ErrorDownloadAreaUnsafe);
    QTest::newRow("open to every user") << "open" << 0;
}

void CardSafetyTest::downloadAreaOfOneRun()
{
    QFETCH(QString, state);
    QFETCH(int, errorCode);
    // The area's root is the folder that holds the download folder.
    const QString root = QFileInfo(downloadArea()).path();
    const QString theirs = downloadArea() + "/Velamari/Charts/theirs.vl2";
    DownloadArea other(downloadArea());
    if (state == "busy") {
        QCOMPARE(other.claim(), DownloadArea::Claim::Taken);
        QVERIFY(writeFile(theirs, "another run's download"));
    } else if (state == "link") {
        QVERIFY(writeFile(documents("Download/Velamari/Charts/theirs.vl2"), "another run's download"));
        QVERIFY(QFile::link(documents(), root));
    } else if (state == "foreign") {
        if (::geteuid() != 0)
            QSKIP("only root can make a folder of another user");
        QVERIFY(QDir().mkpath(root));
        QCOMPARE(::chown(QFile::encodeName(root).constData(), 65534, 65534), 0);
    } else if (state == "open") {
        QVERIFY(QDir().mkpath(root));
        QCOMPARE(::chmod(QFile::encodeName(root).constData(), 0777), 0);
    }
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    publishManifest();
    const QMap<QString, QByteArray> cardBefore = tree(card());
    const QMap<QString, QByteArray> documentsBefore = tree(documents());

    runUpdate(true, false);
    QCOMPARE(tree(documents()), documentsBefore);
    if (errorCode == 0) {
        QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(root).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        return;
    }
    QCOMPARE(mOutcome.phases, (QStringList { "init", "error" }));
    QCOMPARE(mOutcome.errorCode, errorCode);
    QVERIFY(mOutcome.errorMessage.contains(root));
    QCOMPARE(tree(card()), cardBefore);
    QCOMPARE(fileRequests(), 0);
    if (state == "busy")
        QCOMPARE(readFile(theirs), QByteArray("another run's download"));
}

void CardSafetyTest::cardLostDuringTheRun_data()
{
    QTest::addColumn<QString>("loss");
    QTest::newRow("card folder removed") << "removed";
    QTest::newRow("another card put in") << "swapped";
    QTest::newRow("card unmounted") << "unmounted";
}

void CardSafetyTest::cardLostDuringTheRun()
{
    QFETCH(QString, loss);
    std::unique_ptr<TmpfsMount> volume;
    QString root = card();
    if (loss == "unmounted") {
        root = mDir->filePath("volume");
        volume = std::make_unique<TmpfsMount>(root, 256 * 1024);
        if (!volume->isMounted())
            QSKIP("mounting a tmpfs is not allowed here");
        mEnvironment->useRealClusterSize();
        QVERIFY(writeFile(root + "/nTag.txt", "CARD-1\n"));
        QVERIFY(writeFile(root + "/Velamari/Charts/a.vl2", "old a"));
    }
    serve("a.vl2", "Velamari/Charts/a.vl2", "new a");
    serve("r.zip", "Velamari/Charts/UGC/Region", archive({ { "r.ugc", "r" } }), 1, 1);
    // The card goes while its files are downloaded.
    TmpfsMount *mount = volume.get();
    const QString cardRoot = root;
    mServer.server().addRoute(HttpRoute::exact("/files/a.vl2", [loss, cardRoot, mount](const HttpRequest &) {
        if (loss == "removed")
            QDir(cardRoot).removeRecursively();
        else if (loss == "swapped")
            writeFile(cardRoot + "/nTag.txt", "CARD-2\n");
        else
            mount->unmount();
        return HttpResponse::bytes("new a");
    }));
    publishManifest();
    const QMap<QString, QByteArray> documentsBefore = tree(documents());

    runUpdate(true, true, QString(), root);
    QCOMPARE(mOutcome.phases, (QStringList { "init", "download", "prepare", "error" }));
    QCOMPARE(mOutcome.errorCode, int(ErrorCardLost));
    QCOMPARE(errorCodeName(mOutcome.errorCode), QStringLiteral("ErrorCardLost"));
    QCOMPARE(tree(documents()), documentsBefore);
    if (loss == "removed") {
        QVERIFY(!QFileInfo::exists(root)); // not rebuilt on the computer's disk
    } else if (loss == "swapped") {
        // Nothing of the other card was removed or replaced.
        QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old a"));
        QCOMPARE(readFile(card("Velamari/Charts/UGC/Region/old.ugc")), QByteArray("last season"));
        QVERIFY(QFileInfo::exists(card("chartcat.XML")));
    } else {
        QCOMPARE(TestSupport::folderEntries(root), QStringList()); // the bare mount point stays bare
    }
}

void CardSafetyTest::backslashesSeparateFolders()
{
    // The store's pages may come from Windows tools.
    serve("x.vl2", "Velamari\\Charts\\x.vl2", "chart x");
    serve("r.zip", "Velamari\\Charts\\UGC\\Region", archive({ { "r.ugc", "r" } }), 1, 1);
    publishManifest();
    runUpdate(true, true);
    QCOMPARE(mOutcome.phases.last(), QStringLiteral("completed"));
    QCOMPARE(readFile(card("Velamari/Charts/x.vl2")), QByteArray("chart x"));
    QCOMPARE(TestSupport::folderEntries(card("Velamari/Charts/UGC/Region")), QStringList { "r.ugc" });
    for (const QString &name : TestSupport::folderEntries(card()))
        QVERIFY2(!name.contains('\\'), qPrintable(name));
}

QTEST_GUILESS_MAIN(CardSafetyTest)
#include "tst_cardsafety.moc"
