#include "environment.h"
#include "localhttpserver.h"
#include "logcapture.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "serverhosts.h"
#include "storesimulator.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "updatedialog.h"

#include <QApplication>
#include <QLabel>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

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
    void initTestCase();
    void init();
    void cleanup();

    void enterStartsTheUpdater();
    void declinedUpdateLeaves();
    void missingUpdaterGivesErrorBox();
    void unwritableUpdateFileEndsTheProgram();

private:
    QString appDir() const { return Environment::instance()->applicationDir().absolutePath(); }
    void openWindow()
    {
        mWindow = std::make_unique<MainWindow>(QStringLiteral("127.0.0.1:%1").arg(mServer->port()), QString());
    }

    std::unique_ptr<QTemporaryDir> mEnvironmentDir;
    QList<MessageBoxRequest> mBoxes;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<StoreSimulator> mStore;
    std::unique_ptr<MainWindow> mWindow;
};

void SoftwareUpdateTest::initTestCase()
{
    QCoreApplication::setOrganizationName("Velamaris");
    QCoreApplication::setApplicationName("Velamaris Tidemart");
    MessageBoxes::setHandler([this](const MessageBoxRequest &request) {
        mBoxes.append(request);
        return request.defaultButton;
    });
}

void SoftwareUpdateTest::init()
{
    // A fresh application folder each time: no update.ini, no updater.
    mEnvironmentDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mEnvironmentDir->isValid());
    TestEnvironment::install(mEnvironmentDir->path());
    mBoxes.clear();
    mLog = std::make_unique<LogCapture>();
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    StoreSimulator::Options options;
    options.versionId = 152;
    options.versionText = "1.5.2";
    mStore = std::make_unique<StoreSimulator>(&mServer->server(), options);
    QVERIFY(mStore->start());
}

void SoftwareUpdateTest::cleanup()
{
    mWindow.reset();
    TestSupport::consumeQuitRequest();
    mStore.reset();
    mServer.reset();
    mLog.reset();
}

void SoftwareUpdateTest::enterStartsTheUpdater()
{
    const QString updater = Environment::instance()->autoUpdaterPath();
    QVERIFY(TestSupport::copyExecutable(TestSupport::binDir() + "/autoupdate-linux", appDir(),
                                        QFileInfo(updater).fileName()));
    DialogAnswerer answerer(Qt::Key_Enter);
    openWindow();

    // A fresh installation writes "update.ini" for this server and version.
    const QStringList ini = TestSupport::readLines(appDir() + "/update.ini");
    QCOMPARE(ini.value(1),
             QStringLiteral("url = http://127.0.0.1:%1/devices/qt_tidemart_pc_version").arg(mServer->port()));
    QCOMPARE(ini.value(2), QStringLiteral("version_id = 151"));

    QTRY_VERIFY_WITH_TIMEOUT(mWindow->isLeaving(), kWait);
    QCOMPARE(answerer.versionsShown, QStringList { "1.5.2" });
    QVERIFY(mBoxes.isEmpty());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
    QCOMPARE(mLog->count(QStringLiteral("-   available:  true")), 1);
    const QString package = mServer->url("/downloads/TidemartSetup-1.5.2.exe").toString();
    QCOMPARE(mLog->count(QStringLiteral("-         url:  \"%1\"").arg(package)), 1);
    QCOMPARE(mLog->count(QStringLiteral("- Auto update executable path:  \"%1\"").arg(updater)), 1);

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
    openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(mWindow->isLeaving(), kWait);
    QCOMPARE(answerer.versionsShown, QStringList { "1.5.2" });
    QVERIFY(mBoxes.isEmpty());
    QCOMPARE(mLog->linesStartingWith({ "- Auto update executable path:" }), QStringList());
    QCOMPARE(QSettings().value("Running").toUInt(), 0u);
}

void SoftwareUpdateTest::missingUpdaterGivesErrorBox()
{
    DialogAnswerer answerer(Qt::Key_Return);
    openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(mWindow->isLeaving(), kWait);
    QCOMPARE(answerer.versionsShown, QStringList { "1.5.2" });
    QCOMPARE(mBoxes.size(), 1);
    QCOMPARE(mBoxes.first().icon, QMessageBox::Critical);
    QCOMPARE(mBoxes.first().text, QStringLiteral("Error Velamaris Tidemart"));
    QCOMPARE(mBoxes.first().informativeText,
             "We can't install the update automatically. The Tidemart will be closed. Please uninstall manually "
             "the application and reinstall it again from "
                 + ServerHosts::companySite());
    QCOMPARE(mLog->count(kCriticalLine), 1);
}

void SoftwareUpdateTest::unwritableUpdateFileEndsTheProgram()
{
    QVERIFY(QDir().mkpath(appDir() + "/update.ini")); // a folder where the file belongs
    openWindow();
    QVERIFY(mWindow->isLeaving()); // at once, without asking the store
    QCOMPARE(mBoxes.size(), 1);
    QCOMPARE(mBoxes.first().icon, QMessageBox::Critical);
    QCOMPARE(mBoxes.first().text, QStringLiteral("Problems restoring Autoupdate file"));
    QCOMPARE(mBoxes.first().informativeText,
             QStringLiteral("Please, try to reinstall the application. The Tidemart will be closed!"));
    QCOMPARE(mLog->count(kCriticalLine), 1);
}

QTEST_MAIN(SoftwareUpdateTest)
#include "tst_softwareupdate.moc"
