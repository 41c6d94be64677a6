#include "fakesystem.h"
#include "testsupport.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

// What the desktop does with an installed copy: the card watcher, started
// from the installed tree as its autostart entry would, sees a card on a
// (fake) removable volume and opens its URL with xdg-open, which finds the
// installed desktop entry as the "velscheme" handler and starts the store
// client named there. A stand-in takes the store client's place and records
// its argument, so no window is needed.
class DesktopHandOverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void installedTreeAndEntries();
    void watcherStartsTheSchemeHandlerWithTheTag();

private:
    QString installed(const QString &path) const { return mPrefix + "/" + path; }

    QTemporaryDir mDir;
    QString mPrefix;
    QProcess mWatcher;
};

void DesktopHandOverTest::initTestCase()
{
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    mPrefix = mDir.filePath("prefix");
    const TestSupport::ChildResult install = TestSupport::runChild(
        qEnvironmentVariable("VELAMARIS_CMAKE"),
        { "--install", qEnvironmentVariable("VELAMARIS_BUILD_DIR"), "--component", "velamaris", "--prefix", mPrefix });
    QVERIFY2(install.exitCode == 0, install.standardError.constData());
}

void DesktopHandOverTest::cleanupTestCase()
{
    if (mWatcher.state() != QProcess::NotRunning) {
        mWatcher.kill();
        mWatcher.waitForFinished();
    }
}

void DesktopHandOverTest::installedTreeAndEntries()
{
    // Programs a user starts are reached from bin/; the tools lie beside them.
    for (const QString program : { "Tidemart", "VelamarisChecker", "Sondrak", "tidemart-update" }) {
        const QFileInfo link(installed("bin/" + program));
        QVERIFY2(link.isSymLink(), qPrintable(program));
        QCOMPARE(link.canonicalFilePath(), QFileInfo(installed("libexec/velamaris/" + program)).canonicalFilePath());
        QVERIFY(link.isExecutable());
    }
    QVERIFY(QFileInfo(installed("libexec/velamaris/Sondump")).isExecutable());
    QVERIFY(QFileInfo::exists(installed("share/icons/hicolor/64x64/apps/velamaris-tidemart.png")));

    const QString storeEntry = installed("share/applications/velamaris-tidemart.desktop");
    const QString autostartEntry = installed("etc/xdg/autostart/velamaris-checker.desktop");
    const TestSupport::ChildResult validation = TestSupport::runChild("desktop-file-validate", { storeEntry, autostartEntry });
    QCOMPARE(validation.exitCode, 0);
    QCOMPARE(validation.standardOutput + validation.standardError, QByteArray());

    QSettings autostart(autostartEntry, QSettings::IniFormat);
    QCOMPARE(autostart.value("Desktop Entry/Exec").toString(), installed("bin/VelamarisChecker"));

    // Everything the install wrote is in its manifest, so that it can be removed again.
    const QStringList manifest = TestSupport::readLines(qEnvironmentVariable("VELAMARIS_BUILD_DIR") + "/install_manifest_velamaris.txt");
    QVERIFY(manifest.contains(storeEntry));
    QVERIFY(manifest.contains(autostartEntry));
    QVERIFY(manifest.contains(installed("bin/Tidemart")));
}

void DesktopHandOverTest::watcherStartsTheSchemeHandlerWithTheTag()
{
    const QString tag = QString::fromUtf8("Sea Wolf & Co #7 ü");
    const QString card = mDir.filePath("media/CARD");
    QVERIFY(TestSupport::writeFile(card + "/nTag.txt", "  " + tag.toUtf8() + "\r\n"));
    QVERIFY(TestSupport::writeFile(card + "/Velamari/Charts/NAP01.vl2", "chart"));
    FakeSystem system(mDir.filePath("system"));
    system.apply({ "disk sda 8:0", "part sda1 8:1 sda", "mount 8:1 / /", "disk sdb 8:16 removable",
                   "part sdb1 8:17 sdb", "mount 8:17 / " + FakeSystem::mountPoint(card) });

    // The installed entry names bin/Tidemart: the stand-in takes its place.
    QVERIFY(QFile::remove(installed("bin/Tidemart")));
    QVERIFY(TestSupport::copyExecutable(TestSupport::fakeToolPath(), installed("bin"), "Tidemart"));
    const QString handed = mDir.filePath("handed.txt");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                              "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "BROWSER", "WAYLAND_DISPLAY" })
        environment.remove(name);
    environment.insert("DISPLAY", ":velamaris-test"); // xdg-open asks for scheme handlers only with a display
    environment.insert("XDG_DATA_HOME", mDir.filePath("data-home"));
    environment.insert("XDG_DATA_DIRS", installed("share"));
    environment.insert("XDG_CONFIG_DIRS", mDir.filePath("config-dirs"));
    environment.insert("VELAMARIS_PROC_ROOT", system.proc());
    environment.insert("VELAMARIS_SYS_ROOT", system.sys());
    environment.insert("FAKE_TOOL_ARGS_FILE", handed);
    mWatcher.setProcessEnvironment(environment);
    mWatcher.setProcessChannelMode(QProcess::ForwardedChannels);
    mWatcher.start(installed("bin/VelamarisChecker"), QStringList());
    QVERIFY(mWatcher.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::readFile(handed).isEmpty(), 60000);
    const QStringList arguments = TestSupport::readLines(handed);
    QCOMPARE(arguments, QStringList { "velscheme://tidemart?ntag=Sea%20Wolf%20%26%20Co%20%237%20%C3%BC" });
    QCOMPARE(QUrlQuery(QUrl(arguments.first())).queryItemValue("ntag", QUrl::FullyDecoded), tag);

    QSettings settings;
    settings.sync();
    QCOMPARE(settings.value("Running").toBool(), true);
    QCOMPARE(mWatcher.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(DesktopHandOverTest)
#include "tst_desktophandover.moc"
