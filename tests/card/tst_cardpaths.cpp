#include "cardpaths.h"

#include <QTemporaryDir>
#include <QtTest>

// Paths from the manifest, from archives, from the card's index and from the
// store page, before anything is written or deleted with them.
class CardPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void insideFolder_data();
    void insideFolder();
    void plainFileName_data();
    void plainFileName();
    void chartAreaFolder_data();
    void chartAreaFolder();
    void realPaths_data();
    void realPaths();
};

void CardPathsTest::insideFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");
    QTest::newRow("file below") << "Velamari/Charts/a.vl2" << true;
    QTest::newRow("the folder itself") << "" << true;
    QTest::newRow("dots inside a name") << "Velamari/Charts/a..b.vl2" << true;
    QTest::newRow("climbing back in") << "a/../b" << false;
    QTest::newRow("climbing out") << "Velamari/../../a.vl2" << false;
    QTest::newRow("climbing with backslashes") << "Velamari\\..\\..\\a.vl2" << false;
    QTest::newRow("only climbing") << ".." << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("absolute with a backslash") << "\\Windows\\x" << false;
    QTest::newRow("drive") << "C:/x/a.vl2" << false;
    QTest::newRow("drive without a separator") << "c:a.vl2" << false;
}

void CardPathsTest::insideFolder()
{
    QFETCH(QString, path);
    QTEST(isInsideFolder(path), "inside");
}

void CardPathsTest::plainFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("name") << "VelamarisTidemart-1.5.1.run" << true;
    QTest::newRow("hidden name") << ".profile" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("this folder") << "." << false;
    QTest::newRow("parent folder") << ".." << false;
    QTest::newRow("with a folder") << "../a.vl2" << false;
    QTest::newRow("with a backslash folder") << "x\\a.vl2" << false;
    QTest::newRow("folder only") << "x/" << false;
}

void CardPathsTest::plainFileName()
{
    QFETCH(QString, name);
    QTEST(isPlainFileName(name), "plain");
}

void CardPathsTest::chartAreaFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved");
    QTest::addColumn<bool>("below");
    QTest::newRow("card root") << "" << "" << false;
    QTest::newRow("card root with dots") << "./." << "" << false;
    QTest::newRow("chart area") << "./Velamari" << "Velamari" << false;
    QTest::newRow("chart area as FAT reads it") << "Velamari. " << "Velamari" << false;
    QTest::newRow("chart folder") << "Velamari/Charts/" << "Velamari/Charts" << true;
    QTest::newRow("chart folder in other letters") << "velamari\\CHARTS" << "velamari/CHARTS" << true;
    QTest::newRow("community folder") << "Velamari/Charts/UGC" << "Velamari/Charts/UGC" << true;
    QTest::newRow("edition folder") << "Velamari/Pewter01 " << "Velamari/Pewter01" << true;
    QTest::newRow("the user's photos") << "DCIM" << "DCIM" << false;
    QTest::newRow("a folder named like the area elsewhere") << "Other/Velamari/Charts" << "Other/Velamari/Charts" << false;
}

void CardPathsTest::chartAreaFolder()
{
    QFETCH(QString, path);
    QTEST(asCardResolves(path), "resolved");
    QTEST(isBelowChartArea(path), "below");
}

void CardPathsTest::realPaths_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("real"); // below the root; "-": refused
    // The card holds "Velamari/Charts", a link "Velamari/Out" to a folder
    // beside the card, a link "Velamari/In" to its own "Velamari/Charts" and
    // a link "Velamari/Gone" whose target is missing.
    QTest::newRow("existing folder") << "Velamari/Charts" << "Velamari/Charts";
    QTest::newRow("missing file below it") << "Velamari/Charts/new/a.vl2" << "Velamari/Charts/new/a.vl2";
    QTest::newRow("the root itself") << "" << "";
    QTest::newRow("backslashes") << "Velamari\\Charts\\a.vl2" << "Velamari/Charts/a.vl2";
    QTest::newRow("link leading off the card") << "Velamari/Out/a.vl2" << "-";
    QTest::newRow("the link itself") << "Velamari/Out" << "-";
    QTest::newRow("link within the card") << "Velamari/In/a.vl2" << "Velamari/Charts/a.vl2";
    QTest::newRow("link to nothing") << "Velamari/Gone/a.vl2" << "-";
    QTest::newRow("climbing") << "Velamari/../../outside" << "-";
}

void CardPathsTest::realPaths()
{
    QFETCH(QString, relative);
    QFETCH(QString, real);
    QTemporaryDir dir;
    const QString root = QFileInfo(dir.filePath("card")).absoluteFilePath();
    QVERIFY(QDir().mkpath(root + "/Velamari/Charts"));
    QVERIFY(QDir().mkpath(dir.filePath("outside")));
    QVERIFY(QFile::link(dir.filePath("outside"), root + "/Velamari/Out"));
    QVERIFY(QFile::link(root + "/Velamari/Charts", root + "/Velamari/In"));
    QVERIFY(QFile::link(dir.filePath("missing"), root + "/Velamari/Gone"));
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    const QString expected = real == "-" ? QString() : real.isEmpty() ? realRoot : realRoot + "/" + real;
    QCOMPARE(realPathBelow(realRoot, relative), expected);
}

QTEST_GUILESS_MAIN(CardPathsTest)
#include "tst_cardpaths.moc"
