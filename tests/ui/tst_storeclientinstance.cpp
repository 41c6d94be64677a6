#include "storeclientinstance.h"
#include "storeclientlock.h"
#include "testsupport.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {
// A socket's path may not exceed 107 bytes: the runtime folder is short.
QString runtimeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/XXXXXX";
}
} // namespace

// One store client per user. The later start runs in a thread of its own,
// since it waits for the running client, whose answer comes from this
// thread's event loop.
class StoreClientInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void laterStartHandsItsArgumentsOver();
    void holderThatTakesNoHandOverDoesNotKeepTheProgramFromStarting();
    void endOfTheRunningClientLetsTheNextOneRun();
};

void StoreClientInstanceTest::laterStartHandsItsArgumentsOver()
{
    QTemporaryDir folder(runtimeFolder());
    // What a crashed client left behind.
    QVERIFY(TestSupport::writeFile(folder.filePath("velamaris-tidemart.socket"), "stale"));
    StoreClientInstance running(folder.path());
    QCOMPARE(running.start({}), StoreClientInstance::Role::Running);
    QSignalSpy handedOver(&running, &StoreClientInstance::argumentsHandedOver);

    const QStringList arguments { "velscheme://tidemart?ntag=Sea%20Wolf", "-inspect" };
    std::atomic<int> laterRole { -1 };
    std::unique_ptr<QThread> laterStart(QThread::create([&] {
        StoreClientInstance later(folder.path(), 60000);
        laterRole = int(later.start(arguments));
    }));
    laterStart->start();
    QTRY_COMPARE_WITH_TIMEOUT(handedOver.count(), 1, 60000);
    QVERIFY(laterStart->wait(60000));
    QCOMPARE(laterRole.load(), int(StoreClientInstance::Role::HandedOver));
    QCOMPARE(handedOver.at(0).at(0).toStringList(), arguments);
}

void StoreClientInstanceTest::holderThatTakesNoHandOverDoesNotKeepTheProgramFromStarting()
{
    QTemporaryDir folder(runtimeFolder());
    StoreClientLock holder(folder.filePath("velamaris-tidemart.lock"));
    QVERIFY(holder.acquire());
    StoreClientInstance later(folder.path(), 0);
    QCOMPARE(later.start({ "velscheme://tidemart?ntag=T" }), StoreClientInstance::Role::Running);
}

void StoreClientInstanceTest::endOfTheRunningClientLetsTheNextOneRun()
{
    QTemporaryDir folder(runtimeFolder());
    const QString lock = folder.filePath("velamaris-tidemart.lock");
    {
        StoreClientInstance first(folder.path());
        QCOMPARE(first.start({}), StoreClientInstance::Role::Running);
        QVERIFY(StoreClientLock::isHeld(lock));
    }
    QVERIFY(!StoreClientLock::isHeld(lock));
    QVERIFY(!QFileInfo::exists(folder.filePath("velamaris-tidemart.socket")));
    StoreClientInstance next(folder.path(), 0);
    QCOMPARE(next.start({}), StoreClientInstance::Role::Running);
}

QTEST_GUILESS_MAIN(StoreClientInstanceTest)
#include "tst_storeclientinstance.moc"
