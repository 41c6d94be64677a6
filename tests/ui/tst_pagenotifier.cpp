#include "pagenotifier.h"
#include "velamarisclientbridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

#include <functional>
#include <memory>

using NotifierCall = std::function<void(PageNotifier &)>;
Q_DECLARE_METATYPE(NotifierCall)

namespace {
// Takes the place of the page's three handlers: every call the client makes
// lands in window.__calls.
const QString kRecorder = QStringLiteral(
    "window.__calls = [];"
    "window.notifyStatusHandler = function (s) { __calls.push(['status', s]); };"
    "window.progressBarUpdateHandler = function (p) { __calls.push(['progress', p]); };"
    "window.errorOnDownload = function (c, t) { __calls.push(['error', c, t]); };");
} // namespace

// What the store page hears of each step of a card update: the calls of its
// functions, with the error text passed whatever characters it holds.
class PageNotifierTest : public QObject
{
    Q_OBJECT

private slots:
    void pageHearsEachStep_data();
    void pageHearsEachStep();
};

void PageNotifierTest::pageHearsEachStep_data()
{
    QTest::addColumn<NotifierCall>("call");
    QTest::addColumn<QJsonArray>("heard");
    QTest::addColumn<QString>("sonarCounts"); // uploaded, already uploaded, corrupted

    const auto row = [](const char *name, NotifierCall call, QJsonArray heard, QString counts = "0,0,0") {
        QTest::newRow(name) << call << heard << counts;
    };
    const QString awkward = QStringLiteral("say \"hi\" to C:\\charts\\new\nline </script> \u00e8");
    row("no space", &PageNotifier::notEnoughSpaceSlot, { QJsonArray { "status", "nospace" } });
    row("preparing", &PageNotifier::preparingForDownload,
        { QJsonArray { "progress", 0 }, QJsonArray { "status", "init" } });
    row("download", &PageNotifier::startDownloadingChart, { QJsonArray { "status", "download" } });
    row("preparing installation", &PageNotifier::preparingInstallation, {});
    row("install", &PageNotifier::startInstallingChart, { QJsonArray { "status", "install" } });
    row("community", &PageNotifier::startInstallingUGC, { QJsonArray { "status", "ugc" } });
    row("progress", [](PageNotifier &n) { n.updateProcessStatus(12.5f); }, { QJsonArray { "progress", 12.5 } });
    row("six digits", [](PageNotifier &n) { n.updateProcessStatus(100.0f / 3); },
        { QJsonArray { "progress", 33.3333 } });
    row("completed", &PageNotifier::processCompleted, { QJsonArray { "status", "completed" } });
    row("not writable", &PageNotifier::noWriteble, { QJsonArray { "status", "nowritable" } });
    row("sonar search", &PageNotifier::searchSonarTracks, { QJsonArray { "status", "searchingtrack" } });
    row("sonar conversion", &PageNotifier::convertSonarTrack, { QJsonArray { "status", "trackconversion" } });
    row("sonar upload", &PageNotifier::uploadSonarTrack, { QJsonArray { "status", "uploadtrack" } });
    row("error", [](PageNotifier &n) { n.receivedNewtideDataError(902, "x"); },
        { QJsonArray { "error", 902, "ErrorPreparingInstallation; x" } });
    row("unknown code", [](PageNotifier &n) { n.receivedNewtideDataError(0, ""); },
        { QJsonArray { "error", 0, "Error unknown; " } });
    row("message with quotes and backslashes", [awkward](PageNotifier &n) { n.receivedNewtideDataError(903, awkward); },
        { QJsonArray { "error", 903, "ErrorIinstallChart; " + awkward } });
    row("sonar report", [](PageNotifier &n) { n.sonarTrackReport(4, 5, 6); }, {}, "4,5,6");
}

void PageNotifierTest::pageHearsEachStep()
{
    QFETCH(NotifierCall, call);
    QFETCH(QJsonArray, heard);
    QFETCH(QString, sonarCounts);

    QWebPage page;
    page.mainFrame()->evaluateJavaScript(kRecorder);
    VelamarisClientBridge bridge("store.example", QString());
    PageNotifier notifier(&page, &bridge);
    call(notifier);

    const QString calls = page.mainFrame()->evaluateJavaScript("JSON.stringify(__calls)").toString();
    QCOMPARE(QJsonDocument::fromJson(calls.toUtf8()).toJson(QJsonDocument::Compact),
             QJsonDocument(heard).toJson(QJsonDocument::Compact));
    QCOMPARE(QStringLiteral("%1,%2,%3")
                 .arg(bridge.getSonarTracksNumber())
                 .arg(bridge.getAlreadyUploadedSonarTracksNumber())
                 .arg(bridge.getCorruptedSonarTracksNumber()),
             sonarCounts);
}

QTEST_MAIN(PageNotifierTest)
#include "tst_pagenotifier.moc"
