#include "cardspace.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Sizes as a card's file system allocates them.
class CardSpaceTest : public QObject
{
    Q_OBJECT

private slots:
    void roundedToClusters_data();
    void roundedToClusters();
    void filesTakeWholeClusters();
};

void CardSpaceTest::roundedToClusters_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<quint32>("cluster");
    QTest::addColumn<quint64>("onCard");
    QTest::newRow("one byte") << quint64(1) << 32768u << quint64(32768);
    QTest::newRow("a whole cluster") << quint64(32768) << 32768u << quint64(32768);
    QTest::newRow("one byte over") << quint64(32769) << 32768u << quint64(65536);
    QTest::newRow("nothing") << quint64(0) << 4096u << quint64(0);
    QTest::newRow("beyond 4 GiB") << (quint64(1) << 33) + 1 << 65536u << (quint64(1) << 33) + 65536;
    QTest::newRow("cluster size unknown") << quint64(5000) << 0u << quint64(5000);
    // Rounding up must not wrap around to a small size.
    QTest::newRow("last cluster past 64 bits") << std::numeric_limits<quint64>::max() - 1 << 4096u
                                               << std::numeric_limits<quint64>::max();
}

void CardSpaceTest::roundedToClusters()
{
    QFETCH(quint64, size);
    QFETCH(quint32, cluster);
    QTEST(roundUpToCluster(size, cluster), "onCard");
}

void CardSpaceTest::filesTakeWholeClusters()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath("a"), QByteArray(1, 'a')));
    QVERIFY(TestSupport::writeFile(dir.filePath("b"), QByteArray(4097, 'b')));
    QVERIFY(TestSupport::writeFile(dir.filePath("c"), QByteArray()));
    const QFileInfoList files = QDir(dir.path()).entryInfoList(QDir::Files);
    QCOMPARE(files.size(), 3);
    QCOMPARE(sizeOnCard(files, 4096), quint64(4096 + 8192));
    QCOMPARE(sizeOnCard(files, 0), quint64(1 + 4097));
}

QTEST_GUILESS_MAIN(CardSpaceTest)
#include "tst_cardspace.moc"
