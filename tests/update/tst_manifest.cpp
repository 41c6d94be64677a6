#include "fileobject.h"
#include "manifest.h"

#include <QtTest>

#include <memory>

class ManifestTest : public QObject
{
    Q_OBJECT

private slots:
    void compactObjectWithAllMembers();
    void severalRecords();
    void blankAfterColonIsKept();
    void missingOptionalMembers();
    void archiveSizesNeedBothMembers_data();
    void archiveSizesNeedBothMembers();
    void earlierKeyClaimsTheField();
    void valueWithCommaIsCut();
    void numbers_data();
    void numbers();
    void recordWithoutRequiredMemberIsSkipped_data();
    void recordWithoutRequiredMemberIsSkipped();
    void garbageYieldsNoEntries_data();
    void garbageYieldsNoEntries();
    void unsafeEntries_data();
    void unsafeEntries();
};

namespace {
struct Parsed
{
    QList<FileObject *> list;
    ~Parsed() { qDeleteAll(list); }
};

void parse(const QByteArray &text, Parsed &parsed)
{
    parseManifest(text, parsed.list);
}
} // namespace

void ManifestTest::compactObjectWithAllMembers()
{
    Parsed parsed;
    parse(R"([{"name":"set.zip","size":1048576,"unzipped_size":3000000,"total_files":12,)"
          R"("url":"http://h/files/set.zip?x=1","destination_path":"Velamari/Charts/UGC","md5":"abc"}])",
          parsed);
    QCOMPARE(parsed.list.size(), 1);
    const FileObject *entry = parsed.list.first();
    QCOMPARE(entry->name(), QStringLiteral("set.zip"));
    QCOMPARE(entry->size(), qint64(1048576));
    QCOMPARE(entry->unzippedSize(), quint64(3000000));
    QCOMPARE(entry->totalFiles(), 12u);
    // "url:" inside the URL text itself is fine: the key is removed, "http://..." kept.
    QCOMPARE(entry->url(), QStringLiteral("http://h/files/set.zip?x=1"));
    QCOMPARE(entry->destinationPath(), QStringLiteral("Velamari/Charts/UGC"));
    QCOMPARE(entry->md5(), QStringLiteral("abc"));
}

void ManifestTest::severalRecords()
{
    Parsed parsed;
    parse(R"([{"name":"a.vl2","size":1,"url":"u1","destination_path":"Velamari/Charts/a.vl2"},)"
          R"({"name":"b.vl2","size":2,"url":"u2","destination_path":"Velamari/Charts/b.vl2"},)"
          R"({"name":"c.vl2","size":3,"url":"u3","destination_path":"Velamari/Charts/c.vl2"}])",
          parsed);
    QCOMPARE(parsed.list.size(), 3);
    QCOMPARE(parsed.list.at(0)->name(), QStringLiteral("a.vl2"));
    QCOMPARE(parsed.list.at(2)->size(), qint64(3));
    QCOMPARE(parsed.list.at(1)->url(), QStringLiteral("u2"));
}

void ManifestTest::blankAfterColonIsKept()
{
    Parsed parsed;
    parse(R"([{"name": "a.vl2","size":1,"url": "http://h/a","destination_path": "Velamari/Charts/a.vl2"}])", parsed);
    QCOMPARE(parsed.list.size(), 1);
    QCOMPARE(parsed.list.first()->url(), QStringLiteral(" http://h/a"));
    QCOMPARE(parsed.list.first()->destinationPath(), QStringLiteral(" Velamari/Charts/a.vl2"));
    QCOMPARE(parsed.list.first()->name(), QStringLiteral(" a.vl2"));
}

void ManifestTest::missingOptionalMembers()
{
    Parsed parsed;
    parse(R"([{"size":5,"url":"u","destination_path":"d"}])", parsed);
    QCOMPARE(parsed.list.size(), 1);
    QVERIFY(parsed.list.first()->name().isEmpty());
    QVERIFY(parsed.list.first()->md5().isEmpty());
    QCOMPARE(parsed.list.first()->totalFiles(), 0u);
}

void ManifestTest::archiveSizesNeedBothMembers_data()
{
    QTest::addColumn<QByteArray>("manifest");
    QTest::newRow("unzipped size only")
        << QByteArray(R"([{"name":"a.zip","size":5,"unzipped_size":99,"url":"u","destination_path":"d"}])");
    QTest::newRow("member count only")
        << QByteArray(R"([{"name":"b.zip","size":5,"total_files":4,"url":"u","destination_path":"d"}])");
}

void ManifestTest::archiveSizesNeedBothMembers()
{
    QFETCH(QByteArray, manifest);
    Parsed parsed;
    parse(manifest, parsed);
    QCOMPARE(parsed.list.size(), 1);
    QCOMPARE(parsed.list.first()->unzippedSize(), 0u);
    QCOMPARE(parsed.list.first()->totalFiles(), 0u);
}

void ManifestTest::earlierKeyClaimsTheField()
{
    Parsed parsed;
    // The destination holds "url:", so the field is read as the URL and the
    // later real url member replaces it; the record then lacks a destination.
    parse(R"([{"name":"a","size":1,"destination_path":"x/url:y","url":"real"}])", parsed);
    QCOMPARE(parsed.list.size(), 0);

    Parsed second;
    parse(R"([{"name":"a","size":1,"url":"real","destination_path":"d","md5":"name:z"}])", second);
    QCOMPARE(second.list.size(), 1);
    QCOMPARE(second.list.first()->name(), QStringLiteral("md5:z"));
    QVERIFY(second.list.first()->md5().isEmpty());
}

void ManifestTest::valueWithCommaIsCut()
{
    Parsed parsed;
    parse(R"([{"name":"a,b.vl2","size":1,"url":"u","destination_path":"d"}])", parsed);
    QCOMPARE(parsed.list.size(), 1);
    QCOMPARE(parsed.list.first()->name(), QStringLiteral("a"));
}

void ManifestTest::numbers_data()
{
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QByteArray>("unzippedSize");
    QTest::addColumn<qint64>("expectedSize"); // -1: not a number of bytes
    QTest::addColumn<quint64>("expectedUnzipped");
    QTest::newRow("plain") << QByteArray("5") << QByteArray("7") << qint64(5) << quint64(7);
    QTest::newRow("above 2^31") << QByteArray("3000000000") << QByteArray("5000000000") << qint64(3000000000LL)
                                << quint64(5000000000ULL);
    QTest::newRow("negative") << QByteArray("-5") << QByteArray("1") << qint64(-1) << quint64(1);
    QTest::newRow("not a number") << QByteArray("\"big\"") << QByteArray("\"x\"") << qint64(-1) << quint64(0);
}

void ManifestTest::numbers()
{
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, unzippedSize);
    Parsed parsed;
    parse(R"([{"name":"a.zip","size":)" + size + R"(,"unzipped_size":)" + unzippedSize
              + R"(,"total_files":2,"url":"http://h/a","destination_path":"Velamari/Charts/UGC/A"}])",
          parsed);
    QCOMPARE(parsed.list.size(), 1);
    QTEST(parsed.list.first()->size(), "expectedSize");
    QTEST(parsed.list.first()->unzippedSize(), "expectedUnzipped");
    // A size that cannot be read cannot be checked: the manifest is refused.
    QCOMPARE(unsafeManifestEntryReason(*parsed.list.first()).isEmpty(), parsed.list.first()->size() >= 0);
}

void ManifestTest::recordWithoutRequiredMemberIsSkipped_data()
{
    QTest::addColumn<QByteArray>("manifest");
    QTest::newRow("no destination") << QByteArray(R"([{"name":"a","size":1,"url":"u"}])");
    QTest::newRow("no url") << QByteArray(R"([{"name":"a","size":1,"destination_path":"d"}])");
    QTest::newRow("no size") << QByteArray(R"([{"name":"a","url":"u","destination_path":"d"}])");
}

void ManifestTest::recordWithoutRequiredMemberIsSkipped()
{
    QFETCH(QByteArray, manifest);
    Parsed parsed;
    // A good record after the broken one is still read.
    parse(manifest.chopped(1) + R"(,{"name":"b","size":2,"url":"u2","destination_path":"d2"}])", parsed);
    QCOMPARE(parsed.list.size(), 1);
    QCOMPARE(parsed.list.first()->name(), QStringLiteral("b"));
}

void ManifestTest::garbageYieldsNoEntries_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("empty list") << QByteArray("[]");
    QTest::newRow("error page") << QByteArray("<html>404</html>");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe", 3);
}

void ManifestTest::garbageYieldsNoEntries()
{
    QFETCH(QByteArray, text);
    Parsed parsed;
    parse(text, parsed);
    QCOMPARE(parsed.list.size(), 0);
}

void ManifestTest::unsafeEntries_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("safe");
    const QString web = "http://h/f";
    QTest::newRow("chart file") << "Velamari/Charts/a.vl2" << "a.vl2" << web << true;
    QTest::newRow("secure address") << "Velamari/Charts/a.vl2" << "a.vl2" << "https://h/f" << true;
    QTest::newRow("archive into UGC") << "Velamari/Charts/UGC/Region" << "r.zip" << web << true;
    QTest::newRow("archive into the UGC folder itself") << "Velamari/Charts/UGC" << "r.zip" << web << true;
    QTest::newRow("archive into the chart folder") << "Velamari/Charts/" << "c.zip" << web << true;
    QTest::newRow("archive naming itself in its folder") << "Velamari/Charts/c.zip" << "c.zip" << web << true;
    QTest::newRow("file in the root") << "contents.txt" << "contents.txt" << web << true;
    QTest::newRow("entry without a name") << "Velamari/Charts/a.vl2" << "" << web << true;
    QTest::newRow("local file") << "Velamari/Charts/a.vl2" << "a.vl2" << "file:///etc/shadow" << false;
    QTest::newRow("other scheme") << "Velamari/Charts/a.vl2" << "a.vl2" << "ftp://h/a.vl2" << false;
    QTest::newRow("no address") << "Velamari/Charts/a.vl2" << "a.vl2" << "" << false;
    QTest::newRow("absolute") << "/etc/passwd" << "passwd" << web << false;
    QTest::newRow("climbing") << "Velamari/../../a.vl2" << "a.vl2" << web << false;
    QTest::newRow("name with a folder") << "Velamari/Charts" << "../a.vl2" << web << false;
    QTest::newRow("name that is a folder") << "Velamari/Charts" << "." << web << false;
    QTest::newRow("archive over the card root") << "" << "all.zip" << web << false;
    QTest::newRow("archive over Velamari") << "./Velamari" << "v.ZIP" << web << false;
    QTest::newRow("archive over Velamari as FAT sees it") << "Velamari. " << "v.zip" << web << false;
    QTest::newRow("archive naming itself in Velamari") << "Velamari/v.zip" << "v.zip" << web << false;
    QTest::newRow("archive over the user's photos") << "DCIM" << "d.zip" << web << false;
    QTest::newRow("dots in names are fine") << "Velamari/Charts/a..b.vl2" << "a..b.vl2" << web << true;
}

void ManifestTest::unsafeEntries()
{
    QFETCH(QString, destination);
    QFETCH(QString, name);
    QFETCH(QString, url);
    QFETCH(bool, safe);
    const FileObject entry(destination, QStringLiteral("1"), url, name, QString());
    QCOMPARE(unsafeManifestEntryReason(entry).isEmpty(), safe);
}

QTEST_GUILESS_MAIN(ManifestTest)
#include "tst_manifest.moc"
