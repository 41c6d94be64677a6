#include "velamarischecker.h"

#include "desktopurlopener.h"
#include "environment.h"
#include "storeclientlock.h"

#include <QDebug>
#include <QSettings>

const QString VelamarisChecker::NoChipState = QStringLiteral("No Velamaris Chip");

namespace {
const QString RunningKey = QStringLiteral("Running");
}

VelamarisChecker::VelamarisChecker(QObject *parent)
    : VelamarisChecker(openDesktopUrl, parent)
{
}

VelamarisChecker::VelamarisChecker(UrlOpener opener, QObject *parent)
    : QObject(parent)
    , mOpener(std::move(opener))
{
}

QUrl VelamarisChecker::storeUrl(const QString &tag)
{
    return QUrl(QStringLiteral("velscheme://tidemart?ntag=") + QString::fromLatin1(QUrl::toPercentEncoding(tag)),
                QUrl::StrictMode);
}

void VelamarisChecker::scanVolumes()
{
    if (!mCard.tagMatches())
        findCardVolume();

    bool changed = false;
    if (mCard.hasPewterEntry() || mCard.hasOldChartFiles()) {
        const QString tag = mCard.tag();
        if (!tag.isEmpty()) {
            if (mLastState != tag) {
                mLastState = tag;
                changed = true;
            }
            // The key only matters on a change: reading it then spares a file read per tick.
            if (changed && !storeClientRunning())
                startStore(tag);
        }
        return;
    }
    if (!mLastState.isEmpty() && mLastState != NoChipState)
        mLastState = NoChipState;
}

void VelamarisChecker::findCardVolume()
{
    mCardVolume = mCard.openTaggedVolume(Environment::instance()->removableVolumes());
    if (!mCardVolume.isEmpty())
        qDebug() << "- The Card Volume is" << mCardVolume;
}

bool VelamarisChecker::storeClientRunning() const
{
    QSettings settings;
    settings.sync(); // the store client writes the key from its own process
    if (!settings.value(RunningKey, false).toBool())
        return false;
    if (StoreClientLock::isHeld())
        return true;
    qDebug() << "- \"Running\" is set but no store client holds its lock: taken as not running";
    return false;
}

void VelamarisChecker::startStore(const QString &tag)
{
    qDebug() << "Starting Berthkit (" << tag << ")";
    QSettings settings;
    settings.setValue(RunningKey, true);
    settings.sync();
    const QUrl url = storeUrl(tag);
    if (!mOpener(url))
        qDebug() << "*** ERROR: the store client could not be started with" << url.toString(QUrl::FullyEncoded);
}
