#include "environment.h"
#include "mainwindow.h"
#include "serverhosts.h"
#include "testsupport.h"
#include "updatedialog.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLabel>
#include <QSet>
#include <QSettings>
#include <QTimer>
#include <QtTest>

namespace {

constexpr int kWait = 60000;
const QString kCriticalLine = QStringLiteral("*** Critical Error, Application will be closed ***");

// Answers the update dialog with one key as soon as it shows, so that its
// modal loop never waits for a user.
class DialogAnswerer : public QObject
{
public:
    explicit DialogAnswerer(Qt::Key key)
        : mKey(key)
    {
        connect(&mTimer, &QTimer::timeout, this, &DialogAnswerer::answer);
        mTimer.start(10);
    }

    QStringList versionsShown;

private:
    void answer()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<UpdateDialog *>(widget);
            if (!dialog || !dialog->isVisible())
                continue;
            if (!mSeen.contains(dialog)) {
                mSeen.insert(dialog);
                versionsShown << dialog->findChild<QLabel *>("versionLabel")->text();
            }
            // Keys reach the buttons only once the window is active, which
            // can take a while after it shows on a loaded machine.
            if (dialog->isActiveWindow())
                QTest::keyClick(dialog, mKey);
        }
    }

    Qt::Key mKey;
    QTimer mTimer;
    QSet<QWidget *> mSeen;
};

} // namespace

// The software update as the main window runs it against the simulated
// store announcing version 1.5.2: the dialog, the stand-in auto-updater as
// a real child process, and the ways the program leaves.
class SoftwareUpdateTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void enterStartsTheUpdater();
    void declinedUpdateLeaves();
    void failureEndsTheProgramWithABox_data();
    void failureEndsTheProgramWithABox();

private:
    QString appDir() const { return Environment::instance()->applicationDir().absolutePath(); }

    WindowFixture mFixture;
};

void SoftwareUpdateTest::init()
{
    // A fresh application folder each time: no update.ini, no updater.
    QVERIFY(mFixture.installEnvironment());
    QVERIFY(mFixture.startServer());
    StoreSimulator::Options options;
    options.versionId = 152;
    options.versionText = "1.5.2";
    QVERIFY(mFixture.startStore(options));
}

void SoftwareUpdateTest::cleanup()
{
    mFixture.cleanup();
}

void SoftwareUpdateTest::enterStartsTheUpdater()
{
    const QString updater = Environment::instance()->autoUpdaterPath();
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/autoupdate-linux", appDir(),
                                        QFileInfo(updater).fileName()));
    DialogAnswerer answerer(Qt::Key_Enter);
    MainWindow *window = mFixture.openWindow();

    // A fresh installation writes "update.ini" for this server and version.
    const QStringList ini = TestSupport::readLines(appDir() + "/update.ini");
    QCOMPARE(ini.value(1), "url = http://" + mFixture.storeHost() + "/devices/qt_tidemart_pc_version");
    QCOMPARE(ini.value(2), QStringLiteral("version_id = 151"));

    QTRY_VERIFY_WITH_TIMEOUT(window->isLeaving(), kWait);
    QCOMPARE(answerer.versionsShown, QStringList { "1.5.2" });
    QVERIFY(mFixture.boxes().isEmpty());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
    QCOMPARE(mFixture.log().count(QStringLiteral("-   available:  true")), 1);
    const QString package = mFixture.url("/downloads/TidemartSetup-1.5.2.exe").toString();
    QCOMPARE(mFixture.log().count(QStringLiteral("-         url:  \"%1\"").arg(package)), 1);
    QCOMPARE(mFixture.log().count(QStringLiteral("- Auto update executable path:  \"%1\"").arg(updater)), 1);

    // The updater outlives the window: it reads update.ini and fetches the new version.
    const QString updaterLog = appDir() + "/autoupdate.log";
    QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readFile(updaterLog).contains("downloaded")
                                 || TestSupport::readFile(updaterLog).contains("failed"),
                             kWait);
    QVERIFY2(!TestSupport::readFile(updaterLog).contains("failed"), TestSupport::readFile(updaterLog).constData());
    QCOMPARE(QFileInfo(appDir() + "/tmp/TidemartSetup-1.5.2.exe").size(), qint64(1024 * 1024));
}

void SoftwareUpdateTest::declinedUpdateLeaves()
{
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/autoupdate-linux", appDir(),
                                        QFileInfo(Environment::instance()->autoUpdaterPath()).fileName()));
    DialogAnswerer answerer(Qt::Key_Escape);
    MainWindow *window = mFixture.openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->isLeaving(), kWait);
    QCOMPARE(answerer.versionsShown, QStringList { "1.5.2" });
    QVERIFY(mFixture.boxes().isEmpty());
    QCOMPARE(mFixture.log().linesStartingWith({ "- Auto update executable path:" }), QStringList());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
}

void SoftwareUpdateTest::failureEndsTheProgramWithABox_data()
{
    QTest::addColumn<bool>("updateFileBlocked");
    QTest::addColumn<QStringList>("versionsShown");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("informativeText");

    const QString reinstall = "We can't install the update automatically. The Tidemart will be closed. Please "
                              "uninstall manually the application and reinstall it again from "
        + ServerHosts::companySite();
    QTest::newRow("updater missing") << false << QStringList { "1.5.2" } << "Error Velamaris Tidemart" << reinstall;
    QTest::newRow("update file cannot be written")
        << true << QStringList() << "Problems restoring Autoupdate file"
        << "Please, try to reinstall the application. The Tidemart will be closed!";
}

void SoftwareUpdateTest::failureEndsTheProgramWithABox()
{
    QFETCH(bool, updateFileBlocked);
    if (updateFileBlocked)
        QVERIFY(QDir().mkpath(appDir() + "/update.ini")); // a folder where the file belongs
    DialogAnswerer answerer(Qt::Key_Return);
    MainWindow *window = mFixture.openWindow();
    if (updateFileBlocked)
        QVERIFY(window->isLeaving()); // at once, without asking the store
    QTRY_VERIFY_WITH_TIMEOUT(window->isLeaving(), kWait);
    QTEST(answerer.versionsShown, "versionsShown");
    QCOMPARE(mFixture.boxes().size(), 1);
    const MessageBoxRequest box = mFixture.boxes().first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QTEST(box.text, "text");
    QTEST(box.informativeText, "informativeText");
    QCOMPARE(mFixture.log().count(kCriticalLine), 1);
}

QTEST_MAIN(SoftwareUpdateTest)
#include "tst_softwareupdate.moc"
