#include "fileobject.h"
#include "installation.h"
#include "logging.h"
#include "testsupport.h"
#include "zipbuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// The download area and the card are real folders; the log is the real log.
class InstallationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void chartUpdateReplacesOnlyMatchingChartFiles();
    void capitalExtensionIsNotRemovedAndCopyFails();
    void archiveReplacesItsDestinationFolder();
    void archiveWithCapitalSuffixIsInstalledToo();
    void archiveSubFoldersReachTheCard();
    void plainFileWithFolderDestinationIsInstalled();
    void missingSourceIsSkippedButCounted();
    void plainFileGoesIntoAFolderTheCardLacks();
    void additionalPathRemovesEditionAndIndex();
    void noAdditionalPathKeepsIndex();
    void damagedArchiveFailsPreparation();

private:
    FileObject *entry(const QString &destination, const QString &name, int size = 1)
    {
        auto *object = new FileObject(destination, QString::number(size), "http://h/" + name, name, QString());
        mEntries.append(object);
        return object;
    }
    QString download(const QString &relative) const { return mDir->filePath("download/" + relative); }
    QString card(const QString &relative) const { return mDir->filePath("card/" + relative); }
    QDir downloadDir() const { return QDir(mDir->filePath("download")); }
    QDir cardDir() const { return QDir(mDir->filePath("card")); }
    QDir chartsDir() const { return QDir(card("Velamari/Charts")); }
    QStringList log()
    {
        qInstallMessageHandler(nullptr);
        closeLogFile();
        return TestSupport::readLines(mDir->filePath("log"));
    }
    Installation makeInstallation(bool newtide, bool community, const QString &additional = QString())
    {
        Installation installation(newtide, community, cardDir().absolutePath(), additional);
        installation.setProgressHooks([this] { ++mPhases; }, [this] { ++mFiles; });
        return installation;
    }

    QTemporaryDir *mDir = nullptr;
    QList<FileObject *> mEntries;
    int mPhases = 0;
    int mFiles = 0;
};

void InstallationTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
    QVERIFY(openLogFile(mDir->filePath("log")));
    qInstallMessageHandler(logMessageHandler);
    QVERIFY(writeFile(card("nTag.txt"), "TAG\n"));
    mPhases = 0;
    mFiles = 0;
}

void InstallationTest::cleanup()
{
    qInstallMessageHandler(nullptr);
    closeLogFile();
    qDeleteAll(mEntries);
    mEntries.clear();
    delete mDir;
}

void InstallationTest::chartUpdateReplacesOnlyMatchingChartFiles()
{
    QVERIFY(writeFile(card("Velamari/Charts/old1.vl2"), "old"));
    QVERIFY(writeFile(card("Velamari/Charts/OLD2.VL2"), "old"));
    QVERIFY(writeFile(card("Velamari/Charts/keep.psg"), "keep"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/mine.vl2"), "user"));
    QVERIFY(writeFile(card("Velamari/Charts/cat.xct"), "catalogue"));
    QVERIFY(writeFile(card("chartcat.XML"), "catalogue"));
    QVERIFY(writeFile(card("EULA.pdf"), "eula"));
    QVERIFY(writeFile(download("Velamari/Charts/new.vl2"), "new chart"));

    const QList<FileObject *> list { entry("Velamari/Charts/new.vl2", "new.vl2") };
    Installation installation = makeInstallation(true, true);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(installation.installFiles(list, downloadDir(), cardDir()));

    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/old1.vl2")));
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/OLD2.VL2")));
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/cat.xct")));
    QVERIFY(!QFileInfo::exists(card("chartcat.XML")));
    QVERIFY(!QFileInfo::exists(card("EULA.pdf")));
    QCOMPARE(readFile(card("Velamari/Charts/keep.psg")), QByteArray("keep"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/mine.vl2")), QByteArray("user"));
    QCOMPARE(readFile(card("nTag.txt")), QByteArray("TAG\n"));
    QCOMPARE(readFile(card("Velamari/Charts/new.vl2")), QByteArray("new chart"));
    QCOMPARE(mFiles, 1);

    const QStringList lines = log();
    QVERIFY(lines.contains("-             Filters:  (\"*.vl2\")"));
    QVERIFY(lines.contains("-      Aditional path:  \"N.A.\""));
    QVERIFY(lines.contains("Remove result ( true ):  \"" + card("Velamari/Charts/old1.vl2") + "\""));
    QVERIFY(lines.contains("File removed"));
}

void InstallationTest::capitalExtensionIsNotRemovedAndCopyFails()
{
    QVERIFY(writeFile(card("Velamari/Charts/README.TXT"), "old"));
    QVERIFY(writeFile(card("Velamari/Charts/b.vl2"), "old b"));
    QVERIFY(writeFile(download("Velamari/Charts/README.TXT"), "new"));
    QVERIFY(writeFile(download("Velamari/Charts/a.vl2"), "new a"));
    QVERIFY(writeFile(download("Velamari/Charts/b.vl2"), "new b"));
    const QList<FileObject *> list { entry("Velamari/Charts/README.TXT", "README.TXT"),
                                     entry("Velamari/Charts/a.vl2", "a.vl2"),
                                     entry("Velamari/Charts/b.vl2", "b.vl2") };
    Installation installation = makeInstallation(true, false);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(!installation.installFiles(list, downloadDir(), cardDir()));
    // The other files were still copied; the old text file is untouched.
    QCOMPARE(readFile(card("Velamari/Charts/README.TXT")), QByteArray("old"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("new a"));
    QCOMPARE(readFile(card("Velamari/Charts/b.vl2")), QByteArray("new b"));
    QCOMPARE(mFiles, 3);
    const QStringList lines = log();
    QVERIFY(lines.contains("copy of  \"" + download("Velamari/Charts/README.TXT") + "\"  failed"));
}

void InstallationTest::archiveReplacesItsDestinationFolder()
{
    QVERIFY(writeFile(card("Velamari/Charts/UGC/Region/stale.ugc"), "stale"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/Region/sub/stale.uk"), "stale"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/other.ugc"), "other"));
    QVERIFY(ZipBuilder::write(download("Velamari/Charts/UGC/Region/region.zip"),
                              { { "a.ugc", "A" }, { "b.ugc", "B" }, { "c.uk", "C" } }));
    const QList<FileObject *> list { entry("Velamari/Charts/UGC/Region", "region.zip") };
    Installation installation = makeInstallation(false, true);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/UGC/Region")));
    QVERIFY(!QFileInfo::exists(download("Velamari/Charts/UGC/Region/region.zip")));
    QVERIFY(installation.installFiles(list, downloadDir(), cardDir()));
    QCOMPARE(mFiles, 0);
    QVERIFY(installation.installArchiveContents(list, downloadDir(), cardDir()));
    QCOMPARE(mFiles, 3);
    QCOMPARE(mPhases, 2);
    QCOMPARE(QDir(card("Velamari/Charts/UGC/Region")).entryList(QDir::Files), (QStringList { "a.ugc", "b.ugc", "c.uk" }));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/other.ugc")), QByteArray("other"));
}

void InstallationTest::archiveWithCapitalSuffixIsInstalledToo()
{
    QVERIFY(ZipBuilder::write(download("Velamari/Charts/UGC/R/R.ZIP"), { { "a.ugc", "A" } }));
    const QList<FileObject *> list { entry("Velamari/Charts/UGC/R", "R.ZIP") };
    Installation installation = makeInstallation(false, true);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(installation.installArchiveContents(list, downloadDir(), cardDir()));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/R/a.ugc")), QByteArray("A"));
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/UGC/R/R.ZIP")));
}

void InstallationTest::archiveSubFoldersReachTheCard()
{
    QVERIFY(ZipBuilder::write(download("Velamari/Charts/UGC/T/t.zip"),
                              { { "top.ugc", "1" }, { "layer/deep/x.ugc", "2" }, { "layer/y.uk", "3" } }));
    const QList<FileObject *> list { entry("Velamari/Charts/UGC/T", "t.zip") };
    Installation installation = makeInstallation(false, true);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(installation.installArchiveContents(list, downloadDir(), cardDir()));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/T/top.ugc")), QByteArray("1"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/T/layer/deep/x.ugc")), QByteArray("2"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/T/layer/y.uk")), QByteArray("3"));
    QCOMPARE(mFiles, 3);
}

void InstallationTest::plainFileWithFolderDestinationIsInstalled()
{
    QVERIFY(writeFile(download("Velamari/Charts/UGC/Marks/marks.ugc"), "marks"));
    const QList<FileObject *> list { entry("Velamari/Charts/UGC/Marks", "marks.ugc") };
    Installation installation = makeInstallation(false, true);
    QVERIFY(installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    QVERIFY(installation.installFiles(list, downloadDir(), cardDir()));
    QVERIFY(installation.installArchiveContents(list, downloadDir(), cardDir()));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/Marks/marks.ugc")), QByteArray("marks"));
    QCOMPARE(mFiles, 1);
}

void InstallationTest::missingSourceIsSkippedButCounted()
{
    const QList<FileObject *> list { entry("Velamari/Charts/gone.vl2", "gone.vl2") };
    Installation installation = makeInstallation(true, false);
    QVERIFY(installation.installFiles(list, downloadDir(), cardDir()));
    QCOMPARE(mFiles, 1);
    QVERIFY(QFileInfo(card("Velamari/Charts")).isDir());
    QVERIFY(!QFileInfo::exists(card("Velamari/Charts/gone.vl2")));
}

void InstallationTest::plainFileGoesIntoAFolderTheCardLacks()
{
    // A fresh card has no UGC folder yet.
    QVERIFY(writeFile(download("Velamari/Charts/UGC/new.ugc"), "new"));
    const QList<FileObject *> list { entry("Velamari/Charts/UGC/new.ugc", "new.ugc") };
    Installation installation = makeInstallation(false, true);
    QVERIFY(installation.installFiles(list, downloadDir(), cardDir()));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/new.ugc")), QByteArray("new"));
}

void InstallationTest::additionalPathRemovesEditionAndIndex()
{
    QVERIFY(writeFile(card("Velamari/Index.txt"), "Directory: Pewter01\n"));
    QVERIFY(writeFile(card("Velamari/Pewter01/chart.vl3"), "edition"));
    QVERIFY(writeFile(card("Velamari/Pewter01/more/x"), "edition"));
    const QString additional = card("Velamari/Pewter01");
    const QList<FileObject *> list;
    Installation installation = makeInstallation(true, true, additional);
    installation.removeSupersededFiles(list, cardDir(), chartsDir());
    QVERIFY(!QFileInfo::exists(additional));
    QVERIFY(!QFileInfo::exists(card("Velamari/Index.txt")));
    const QStringList lines = log();
    QVERIFY(lines.contains("-             Filters:  ()"));
    QVERIFY(lines.contains("-      Aditional path:  \"" + additional + "\""));
    QVERIFY(lines.contains("Remove result ( true ):  \"" + additional + "\""));
    QVERIFY(lines.contains("Remove result ( true ):  \"" + card("Velamari/Index.txt") + "\""));
}

void InstallationTest::noAdditionalPathKeepsIndex()
{
    QVERIFY(writeFile(card("Velamari/Index.txt"), "Directory: X\n"));
    QVERIFY(writeFile(card("Velamari/Charts/a.vl2"), "stays: no new file replaces it"));
    Installation installation = makeInstallation(true, true);
    installation.removeSupersededFiles({}, cardDir(), chartsDir());
    QVERIFY(QFileInfo::exists(card("Velamari/Index.txt")));
    QVERIFY(QFileInfo::exists(card("Velamari/Charts/a.vl2")));
}

void InstallationTest::damagedArchiveFailsPreparation()
{
    QVERIFY(writeFile(download("Velamari/Charts/UGC/D/d.zip"), "not a zip"));
    QVERIFY(ZipBuilder::write(download("Velamari/Charts/UGC/E/e.zip"), { { "e.ugc", "E" } }));
    QVERIFY(writeFile(card("Velamari/Charts/a.vl2"), "old"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/D/old.ugc"), "last season"));
    QVERIFY(writeFile(card("Velamari/Charts/UGC/E/old.ugc"), "last season"));
    const QList<FileObject *> list { entry("Velamari/Charts/a.vl2", "a.vl2"), entry("Velamari/Charts/UGC/D", "d.zip"),
                                     entry("Velamari/Charts/UGC/E", "e.zip") };
    Installation installation = makeInstallation(true, true);
    QVERIFY(!installation.prepareInstallation(list, downloadDir(), cardDir(), chartsDir()));
    // The other archive is still unpacked; nothing on the card was removed,
    // not even the folders the archives would have replaced.
    QCOMPARE(readFile(download("Velamari/Charts/UGC/E/e.ugc")), QByteArray("E"));
    QCOMPARE(readFile(card("Velamari/Charts/a.vl2")), QByteArray("old"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/D/old.ugc")), QByteArray("last season"));
    QCOMPARE(readFile(card("Velamari/Charts/UGC/E/old.ugc")), QByteArray("last season"));
    const QStringList lines = log();
    QVERIFY(lines.contains("*** problem unzipping the file  \"Velamari/Charts/UGC/D/d.zip\""));
}

QTEST_GUILESS_MAIN(InstallationTest)
#include "tst_installation.moc"
