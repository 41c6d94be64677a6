#include "pagenotifier.h"

#include "errorcodes.h"
#include "velamarisclientbridge.h"

#include <QWebFrame>
#include <QWebPage>

namespace {
// The text as a JavaScript string literal, quotes included.
QString javaScriptStringLiteral(const QString &text)
{
    QString literal;
    literal.reserve(text.size() + 2);
    literal += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': literal += QLatin1String("\\\""); break;
        case '\\': literal += QLatin1String("\\\\"); break;
        case '\n': literal += QLatin1String("\\n"); break;
        case '\r': literal += QLatin1String("\\r"); break;
        case '\t': literal += QLatin1String("\\t"); break;
        default:
            // "<" too, so that no "</script>" in a message can end a script element.
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029 || c == QLatin1Char('<'))
                literal += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                literal += c;
        }
    }
    literal += QLatin1Char('"');
    return literal;
}
} // namespace

PageNotifier::PageNotifier(QWebPage *page, VelamarisClientBridge *bridge, QObject *parent)
    : QObject(parent)
    , mPage(page)
    , mBridge(bridge)
{
}

void PageNotifier::notify(Phase phase)
{
    // What the page hears of each phase; a phase without a script is not told.
    struct PhaseScript
    {
        Phase phase;
        const char *script;
    };
    static const PhaseScript scripts[] = {
        { Phase::NoSpace, "notifyStatusHandler(\"nospace\");" },
        { Phase::Preparing, "progressBarUpdateHandler(0);notifyStatusHandler(\"init\");" },
        { Phase::Downloading, "notifyStatusHandler(\"download\");" },
        { Phase::PreparingInstallation, nullptr },
        { Phase::InstallingCharts, "notifyStatusHandler(\"install\");" },
        { Phase::InstallingCommunity, "notifyStatusHandler(\"ugc\");" },
        { Phase::Completed, "notifyStatusHandler(\"completed\");" },
        { Phase::NotWritable, "notifyStatusHandler(\"nowritable\");" },
        { Phase::SearchingTracks, "notifyStatusHandler(\"searchingtrack\");" },
        { Phase::ConvertingTracks, "notifyStatusHandler(\"trackconversion\");" },
        { Phase::UploadingTracks, "notifyStatusHandler(\"uploadtrack\");" },
    };
    for (const PhaseScript &entry : scripts) {
        if (entry.phase == phase && entry.script)
            evaluate(QString::fromLatin1(entry.script));
    }
}

void PageNotifier::evaluate(const QString &script)
{
    if (mPage)
        mPage->mainFrame()->evaluateJavaScript(script);
}

void PageNotifier::notEnoughSpaceSlot() { notify(Phase::NoSpace); }
void PageNotifier::preparingForDownload() { notify(Phase::Preparing); }
void PageNotifier::startDownloadingChart() { notify(Phase::Downloading); }
void PageNotifier::preparingInstallation() { notify(Phase::PreparingInstallation); }
void PageNotifier::startInstallingChart() { notify(Phase::InstallingCharts); }
void PageNotifier::startInstallingUGC() { notify(Phase::InstallingCommunity); }
void PageNotifier::processCompleted() { notify(Phase::Completed); }
void PageNotifier::noWriteble() { notify(Phase::NotWritable); }
void PageNotifier::searchSonarTracks() { notify(Phase::SearchingTracks); }
void PageNotifier::convertSonarTrack() { notify(Phase::ConvertingTracks); }
void PageNotifier::uploadSonarTrack() { notify(Phase::UploadingTracks); }

void PageNotifier::updateProcessStatus(float status)
{
    evaluate(QStringLiteral("progressBarUpdateHandler(%1);").arg(QString::number(double(status), 'g', 6)));
}

void PageNotifier::receivedNewtideDataError(int code, QString message)
{
    const QString text = errorCodeName(code) + QStringLiteral("; ") + message;
    evaluate(QStringLiteral("errorOnDownload(%1, %2);").arg(code).arg(javaScriptStringLiteral(text)));
}

void PageNotifier::sonarTrackReport(int uploaded, int alreadyUploaded, int corrupted)
{
    if (mBridge)
        mBridge->setSonarCounts(uploaded, alreadyUploaded, corrupted);
}
