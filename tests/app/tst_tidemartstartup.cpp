#include "testsupport.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Runs a copy of the real Tidemart program in a folder of its own, so that
// its log, "serverIp.txt" and settings belong to this test alone.
class TidemartStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bannerIsWrittenAndProgramLeavesCleanly();
    void unwritableLogWarnsOnceAndRuns();

private:
    bool startProgram(const QStringList &arguments);
    bool stopProgram();
    QString logPath() const { return mDir->filePath("log"); }

    QTemporaryDir *mDir = nullptr;
    QProcess *mProcess = nullptr;
};

void TidemartStartupTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
    QVERIFY(QFile::copy(TestSupport::binDir() + "/Tidemart", mDir->filePath("Tidemart")));
    QFile(mDir->filePath("Tidemart")).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    mProcess = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TIDEMART_NONINTERACTIVE", "1");
    mProcess->setProcessEnvironment(environment);
}

void TidemartStartupTest::cleanup()
{
    if (mProcess->state() != QProcess::NotRunning) {
        mProcess->kill();
        mProcess->waitForFinished();
    }
    delete mProcess;
    delete mDir;
}

bool TidemartStartupTest::startProgram(const QStringList &arguments)
{
    mProcess->start(mDir->filePath("Tidemart"), arguments);
    return mProcess->waitForStarted(30000);
}

bool TidemartStartupTest::stopProgram()
{
    ::kill(mProcess->processId(), SIGTERM);
    return mProcess->waitForFinished(30000) && mProcess->exitStatus() == QProcess::NormalExit
        && mProcess->exitCode() == 0;
}

void TidemartStartupTest::bannerIsWrittenAndProgramLeavesCleanly()
{
    QVERIFY(TestSupport::writeFile(logPath(), "old run\n"));
    QVERIFY(TestSupport::writeFile(mDir->filePath("serverIp.txt"), "127.0.0.1:9\r\nignored\n"));
    QTemporaryDir card;
    QVERIFY(startProgram({ "-inspect", "/no/such/card", card.path() }));

    // The banner ends with an empty line; wait until it is complete.
    QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readLines(logPath()).contains(QString()), 30000);
    QVERIFY(stopProgram());

    const QStringList lines = TestSupport::readLines(logPath());
    QVERIFY(!lines.contains("old run"));
    const QString rule(60, QLatin1Char('-'));
    QVERIFY(lines.size() >= 15);
    QCOMPARE(lines.at(0), rule);
    QCOMPARE(lines.at(1), QStringLiteral("---"));
    QCOMPARE(lines.at(2), QStringLiteral("--"));
    QCOMPARE(lines.at(3), QStringLiteral("-    Tidemart Version:  \"1.5.1\""));
    QCOMPARE(lines.at(4), QStringLiteral("-    Operating system:  \"pc\""));
    QVERIFY(QRegularExpression("^-         Starting at:  \"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\"$")
                .match(lines.at(5)).hasMatch());
    QCOMPARE(lines.at(6), QString("-        Boundle path:  \"%1\"").arg(QDir(mDir->path()).absolutePath()));
    QVERIFY(lines.at(7).startsWith("-         Temp folder:  \""));
    QVERIFY(lines.at(7).endsWith("/VelamarisBKTemp\""));
    QCOMPARE(lines.at(8), QString("-           Card path:  \"%1\"").arg(card.path()));
    QVERIFY(lines.at(9) == "-       SSL supported:  true" || lines.at(9) == "-       SSL supported:  false");
    QCOMPARE(lines.at(10), QStringLiteral("-      Server address:  \"127.0.0.1:9\""));
    QCOMPARE(lines.at(11), QStringLiteral("--"));
    QCOMPARE(lines.at(12), QStringLiteral("---"));
    QCOMPARE(lines.at(13), rule);
    QCOMPARE(lines.at(14), QString());

    QSettings shared("Velamaris", "Velamaris Tidemart");
    QCOMPARE(shared.value("ApplicationPath").toString(), QDir(mDir->path()).absolutePath());
    QCOMPARE(shared.value("Running").toUInt(), 0u);
}

void TidemartStartupTest::unwritableLogWarnsOnceAndRuns()
{
    QVERIFY(QDir().mkpath(logPath()));
    mProcess->setProcessChannelMode(QProcess::SeparateChannels);
    mProcess->setReadChannel(QProcess::StandardError);
    QVERIFY(startProgram({}));
    // Not just any line: Qt may warn before the program can take a signal.
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += mProcess->readAllStandardError()).contains("Unable to write the log file")
                                 || mProcess->state() == QProcess::NotRunning,
                             30000);
    QVERIFY(mProcess->state() == QProcess::Running);
    QVERIFY(stopProgram());
    errors += mProcess->readAllStandardError();
    QCOMPARE(errors.count("Unable to write the log file"), 1);
    QVERIFY(QFileInfo(logPath()).isDir());
}

QTEST_GUILESS_MAIN(TidemartStartupTest)
#include "tst_tidemartstartup.moc"
