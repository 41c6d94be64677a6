#include "localhttpserver.h"
#include "updatechecker.h"

#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int kWait = 60000;
const QString kVersionPath = QStringLiteral("/devices/qt_tidemart_pc_version");
const QRegularExpression kErrorLine(QStringLiteral("^WARNING: Error updating:  \".+\"$"));
} // namespace

// The update checker against a local version service: how the version
// document is cut up, when an update counts as available, and that one
// request at a time is in flight.
class UpdateCheckerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void versionDocument_data();
    void versionDocument();
    void checksWhileBusyAreDropped();

private:
    // A checker that has read "update.ini" for the local server at version id 151.
    std::unique_ptr<UpdateChecker> readyChecker();

    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<QTemporaryDir> mDir;
};

void UpdateCheckerTest::init()
{
    mServer = std::make_unique<LocalHttpServer>();
    QVERIFY(mServer->start());
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

void UpdateCheckerTest::cleanup()
{
    mServer.reset();
    mDir.reset();
}

std::unique_ptr<UpdateChecker> UpdateCheckerTest::readyChecker()
{
    const QString ini = mDir->filePath("update.ini");
    auto checker = std::make_unique<UpdateChecker>();
    if (!UpdateChecker::writeUpdateIni(ini, QStringLiteral("127.0.0.1:%1").arg(mServer->port()), "pc", 151)
        || !checker->readUpdateIni(ini))
        return nullptr;
    return checker;
}

void UpdateCheckerTest::versionDocument_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("available");
    QTest::addColumn<QString>("version"); // latestVersion afterwards; null: not looked at
    QTest::addColumn<QString>("url");     // download URL sent

    QTest::newRow("newer, blanks around the values")
        << 200
        << QByteArray("<update>\n  <version> 1.6.0 </version>\n  <versionId>\t160 </versionId>\n"
                      "  <url> http://h/Setup-1.6.0.exe </url>\n</update>\n")
        << true << "1.6.0" << "http://h/Setup-1.6.0.exe";
    QTest::newRow("same version id") << 200
                                     << QByteArray("<version>1.5.1</version><versionId>151</versionId><url>u</url>")
                                     << false << "1.5.1" << QString();
    QTest::newRow("older") << 200 << QByteArray("<version>1.4</version><versionId>140</versionId><url>u</url>")
                           << false << "1.4" << QString();
    QTest::newRow("any order, any text around")
        << 200 << QByteArray("x<url>U</url>y<versionId>152</versionId>z<version>1.5.2</version>") << true << "1.5.2"
        << "U";
    QTest::newRow("first occurrence counts")
        << 200 << QByteArray("<version>2</version><versionId>152</versionId><versionId>999</versionId><url>A</url>"
                             "<url>B</url><version>3</version>")
        << true << "2" << "A";
    QTest::newRow("unclosed value runs to the end")
        << 200 << QByteArray("<version>1.7</version><url>U</url><versionId> 170 \n") << true << "1.7" << "U";
    QTest::newRow("id that is not a number") << 200 << QByteArray("<versionId>1.6</versionId><url>U</url>") << false
                                             << QString() << QString();
    QTest::newRow("tags are case-sensitive") << 200 << QByteArray("<VERSIONID>300</VERSIONID><url>U</url>") << false
                                             << QString() << QString();
    QTest::newRow("error page without tags") << 200 << QByteArray("<html>Service unavailable</html>") << false
                                             << QString() << QString();
    QTest::newRow("HTTP error with a newer document")
        << 500 << QByteArray("<version>9</version><versionId>900</versionId><url>U</url>") << false << QString()
        << QString();
}

void UpdateCheckerTest::versionDocument()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, available);
    QFETCH(QString, version);
    QFETCH(QString, url);
    mServer->server().addRoute(HttpRoute::exact(kVersionPath, [status, body](const HttpRequest &) {
        return HttpResponse::bytes(body, "text/xml", status);
    }));
    std::unique_ptr<UpdateChecker> checker = readyChecker();
    QVERIFY(checker);
    QSignalSpy ready(checker.get(), &UpdateChecker::updateReady);

    if (status != 200)
        QTest::ignoreMessage(QtDebugMsg, kErrorLine);
    checker->checkForUpdate();
    QVERIFY(checker->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!checker->isBusy(), kWait);
    QCOMPARE(mServer->server().requestCount(kVersionPath), 1);

    QCOMPARE(checker->updateAvailable(), available);
    QCOMPARE(ready.count(), available ? 1 : 0); // nothing is sent for "no update"
    if (available)
        QCOMPARE(ready.at(0), (QVariantList { true, url }));
    if (!version.isNull())
        QCOMPARE(checker->latestVersion(), version);
}

void UpdateCheckerTest::checksWhileBusyAreDropped()
{
    mServer->server().addRoute(HttpRoute::bytes(kVersionPath, "<versionId>152</versionId>"));
    std::unique_ptr<UpdateChecker> checker = readyChecker();
    QVERIFY(checker);
    QSignalSpy ready(checker.get(), &UpdateChecker::updateReady);

    checker->checkForUpdate();
    checker->checkForUpdate();
    checker->checkForUpdate();
    QCOMPARE(checker->findChildren<QNetworkReply *>().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kWait);
    QCOMPARE(mServer->server().requestCount(kVersionPath), 1);

    // Once answered, the checker asks again.
    checker->checkForUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, kWait);
    QCOMPARE(mServer->server().requestCount(kVersionPath), 2);
}

QTEST_GUILESS_MAIN(UpdateCheckerTest)
#include "tst_updatechecker.moc"
