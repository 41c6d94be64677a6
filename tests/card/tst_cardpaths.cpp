#include "cardpaths.h"

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
    void cardStructureFolder_data();
    void cardStructureFolder();
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

void CardPathsTest::cardStructureFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved");
    QTest::addColumn<bool>("structure");
    QTest::newRow("card root") << "" << "" << true;
    QTest::newRow("card root with dots") << "./." << "" << true;
    QTest::newRow("chart area") << "./Velamari" << "Velamari" << true;
    QTest::newRow("chart folder") << "Velamari/Charts/" << "Velamari/Charts" << true;
    QTest::newRow("chart folder in other letters") << "velamari\\CHARTS" << "velamari/CHARTS" << true;
    QTest::newRow("chart folder as FAT reads it") << "Velamari. /Charts.." << "Velamari/Charts" << true;
    QTest::newRow("community folder") << "Velamari/Charts/UGC" << "Velamari/Charts/UGC" << false;
    QTest::newRow("edition folder") << "Velamari/Pewter01 " << "Velamari/Pewter01" << false;
}

void CardPathsTest::cardStructureFolder()
{
    QFETCH(QString, path);
    QTEST(asCardResolves(path), "resolved");
    QTEST(isCardStructureFolder(path), "structure");
}

QTEST_GUILESS_MAIN(CardPathsTest)
#include "tst_cardpaths.moc"
