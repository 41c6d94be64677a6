#include "autoupdater.h"
#include "testsupport.h"
#include "updatechecker.h"

#include <QTemporaryDir>
#include <QtTest>

class UpdateFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writtenFileHasFiveLines();
    void longerEarlierFileLeavesNoTrace();
    void unwritableFileFails();
    void reading_data();
    void reading();
    void nothingIsNewerBeforeReading();
    void verifyKeepsOrRewrites_data();
    void verifyKeepsOrRewrites();
    void verifyFailsWhenFileCannotBeWritten();

private:
    QString iniPath() const { return mDir->filePath("update.ini"); }
    QTemporaryDir *mDir = nullptr;
};

void UpdateFileTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void UpdateFileTest::cleanup()
{
    QFile(mDir->path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    delete mDir;
}

void UpdateFileTest::writtenFileHasFiveLines()
{
    QVERIFY(UpdateChecker::writeUpdateIni(iniPath(), "store.example:8080", "pc", 151));
    QCOMPARE(TestSupport::readFile(iniPath()),
             QByteArray("[Update]\n"
                        "url = http://store.example:8080/devices/qt_tidemart_pc_version\n"
                        "version_id = 151\n"
                        "update_download_location = tmp/\n"
                        "check_for_updates = 1\n"));
}

void UpdateFileTest::longerEarlierFileLeavesNoTrace()
{
    QVERIFY(TestSupport::writeFile(iniPath(), QByteArray(4096, 'x') + "\nversion_id = 999\n"));
    QVERIFY(UpdateChecker::writeUpdateIni(iniPath(), "h", "pc", 151));
    const QByteArray content = TestSupport::readFile(iniPath());
    QVERIFY(!content.contains('x'));
    QVERIFY(!content.contains("999"));
    QCOMPARE(content.count('\n'), 5);
}

void UpdateFileTest::unwritableFileFails()
{
    QVERIFY(!UpdateChecker::writeUpdateIni(mDir->filePath("missing/folder/update.ini"), "h", "pc", 151));
}

void UpdateFileTest::reading_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("versionId");
    QTest::addColumn<QString>("url");

    QTest::newRow("written file")
        << QByteArray("[Update]\nurl = http://h/devices/qt_tidemart_pc_version\nversion_id = 151\n"
                      "update_download_location = tmp/\ncheck_for_updates = 1\n")
        << true << 151 << "http://h/devices/qt_tidemart_pc_version";
    QTest::newRow("windows line ends") << QByteArray("url = http://h/v\r\nversion_id = 7\r\n") << true << 7
                                       << "http://h/v";
    QTest::newRow("url keeps only the text up to a second =")
        << QByteArray("url = http://h/v?a=b\nversion_id=3\n") << true << 3 << "http://h/v?a";
    QTest::newRow("url without version") << QByteArray("url = http://h/v\n") << false << INT_MAX << "http://h/v";
    QTest::newRow("version without url") << QByteArray("version_id = 12\n") << false << 12 << QString();
    QTest::newRow("version that is not a number") << QByteArray("url=u\nversion_id = abc\n") << true << 0 << "u";
    QTest::newRow("later lines win") << QByteArray("url=a\nversion_id=1\nurl=b\nversion_id=2\n") << true << 2
                                     << "b";
    QTest::newRow("line without = gives nothing") << QByteArray("url\nversion_id\n") << false << INT_MAX
                                                  << QString();
    QTest::newRow("case matters") << QByteArray("URL=a\nVERSION_ID=1\n") << false << INT_MAX << QString();
    QTest::newRow("empty file") << QByteArray() << false << INT_MAX << QString();
}

void UpdateFileTest::reading()
{
    QFETCH(QByteArray, content);
    QVERIFY(TestSupport::writeFile(iniPath(), content));
    UpdateChecker checker;
    QTEST(checker.readUpdateIni(iniPath()), "result");
    QTEST(checker.currentVersionId(), "versionId");
    QTEST(checker.updateUrl(), "url");
}

void UpdateFileTest::nothingIsNewerBeforeReading()
{
    UpdateChecker checker;
    QVERIFY(!checker.readUpdateIni(mDir->filePath("absent.ini")));
    QCOMPARE(checker.currentVersionId(), INT_MAX);
    QVERIFY(checker.updateUrl().isEmpty());
    checker.checkForUpdate(); // no address: nothing is sent
    QVERIFY(!checker.isBusy());
}

void UpdateFileTest::verifyKeepsOrRewrites_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<bool>("developerMode");
    QTest::addColumn<bool>("kept");

    const QByteArray forThisServer("url = http://127.0.0.1:8080/devices/qt_tidemart_pc_version\nversion_id = 140\n");
    QTest::newRow("fresh installation") << QByteArray() << true << false;
    QTest::newRow("valid file, developer mode") << forThisServer << true << true;
    QTest::newRow("valid file, no developer mode") << forThisServer << false << false;
    QTest::newRow("other server, developer mode")
        << QByteArray("url = http://other.example/devices/qt_tidemart_pc_version\nversion_id = 140\n") << true
        << false;
    QTest::newRow("unreadable content, developer mode") << QByteArray("garbage\n") << true << false;
}

void UpdateFileTest::verifyKeepsOrRewrites()
{
    QFETCH(QByteArray, existing);
    QFETCH(bool, developerMode);
    QFETCH(bool, kept);
    if (!existing.isEmpty())
        QVERIFY(TestSupport::writeFile(iniPath(), existing));

    UpdateChecker checker;
    QVERIFY(verifyUpdateIni(checker, iniPath(), "127.0.0.1:8080", "pc", 151, developerMode));
    if (kept) {
        QCOMPARE(TestSupport::readFile(iniPath()), existing);
        QCOMPARE(checker.currentVersionId(), 140);
    } else {
        QVERIFY(TestSupport::readFile(iniPath()).startsWith("[Update]\n"));
        QCOMPARE(checker.currentVersionId(), 151);
    }
    QCOMPARE(checker.updateUrl(), QStringLiteral("http://127.0.0.1:8080/devices/qt_tidemart_pc_version"));
}

void UpdateFileTest::verifyFailsWhenFileCannotBeWritten()
{
    UpdateChecker checker;
    QVERIFY(!verifyUpdateIni(checker, mDir->filePath("no/such/dir/update.ini"), "h", "pc", 151, false));
}

QTEST_GUILESS_MAIN(UpdateFileTest)
#include "tst_updatefile.moc"
