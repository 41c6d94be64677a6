#include "logging.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <vector>

// A child run of this program that opens a log and dies of a fatal message.
static int runFatalChild(const QString &logPath)
{
    openLogFile(logPath);
    qInstallMessageHandler(logMessageHandler);
    qDebug() << "before the end";
    qFatal("the card vanished");
    return 0;
}

class LoggingTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void linesCarryTypePrefixes();
    void earlierLogIsReplaced();
    void emptyLineIsWritten();
    void nothingIsWrittenWithoutLog();
    void unopenableLogIsReported();
    void concurrentLinesStayWhole();
    void fatalMessageIsLoggedBeforeAbort();

private:
    QTemporaryDir *mDir = nullptr;
    QString logPath() const { return mDir->filePath("log"); }
};

void LoggingTest::init()
{
    mDir = new QTemporaryDir;
    QVERIFY(mDir->isValid());
}

void LoggingTest::cleanup()
{
    qInstallMessageHandler(nullptr);
    closeLogFile();
    delete mDir;
    mDir = nullptr;
}

void LoggingTest::linesCarryTypePrefixes()
{
    QVERIFY(openLogFile(logPath()));
    qInstallMessageHandler(logMessageHandler);
    qDebug() << "-    Tidemart Version: " << QStringLiteral("1.5.1");
    qWarning() << "disk" << 3;
    qCritical("card %s", "gone");
    qInfo() << "info";
    qInstallMessageHandler(nullptr);
    closeLogFile();

    const QStringList expected {
        "-    Tidemart Version:  \"1.5.1\"",
        "Warning: disk 3",
        "Critical: card gone",
        "info",
    };
    QCOMPARE(TestSupport::readLines(logPath()), expected);
}

void LoggingTest::earlierLogIsReplaced()
{
    QVERIFY(TestSupport::writeFile(logPath(), "line of the previous run\n"));
    QVERIFY(openLogFile(logPath()));
    qInstallMessageHandler(logMessageHandler);
    qDebug("this run");
    qInstallMessageHandler(nullptr);
    closeLogFile();
    QCOMPARE(TestSupport::readLines(logPath()), QStringList { "this run" });
}

void LoggingTest::emptyLineIsWritten()
{
    QVERIFY(openLogFile(logPath()));
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QString(""));
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QString());
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("after"));
    closeLogFile();
    // The null message writes nothing; the empty one an empty line.
    QCOMPARE(TestSupport::readFile(logPath()), QByteArray("\nafter\n"));
}

void LoggingTest::nothingIsWrittenWithoutLog()
{
    QVERIFY(!isLogOpen());
    logMessageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("lost"));
    QVERIFY(!QFile::exists(logPath()));
}

void LoggingTest::unopenableLogIsReported()
{
    // A folder where the log should be cannot be replaced by the log.
    QVERIFY(QDir().mkpath(logPath()));
    QVERIFY(!openLogFile(logPath()));
    QVERIFY(!isLogOpen());
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("goes nowhere"));
    QVERIFY(QFileInfo(logPath()).isDir());
}

void LoggingTest::concurrentLinesStayWhole()
{
    QVERIFY(openLogFile(logPath()));
    qInstallMessageHandler(logMessageHandler);
    const int threadCount = 8;
    const int linesPerThread = 400;
    std::vector<QThread *> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.push_back(QThread::create([t] {
            for (int i = 0; i < linesPerThread; ++i) {
                if (i % 2)
                    qDebug("thread %d line %d %s", t, i, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
                else
                    qWarning("thread %d line %d %s", t, i, "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy");
            }
        }));
        threads.back()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    qInstallMessageHandler(nullptr);
    closeLogFile();

    const QStringList lines = TestSupport::readLines(logPath());
    QCOMPARE(lines.size(), threadCount * linesPerThread);
    const QRegularExpression whole("^(thread \\d line \\d+ x{50}|Warning: thread \\d line \\d+ y{50})$");
    for (const QString &line : lines)
        QVERIFY2(whole.match(line).hasMatch(), qPrintable(line));
}

void LoggingTest::fatalMessageIsLoggedBeforeAbort()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), { "--fatal-child", logPath() });
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(TestSupport::readLines(logPath()), (QStringList { "before the end", "Fatal: the card vanished" }));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--fatal-child") == 0)
        return runFatalChild(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    LoggingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logging.moc"
