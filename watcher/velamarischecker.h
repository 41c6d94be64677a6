#pragma once

#include "chip.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

// Runs in the background while the user is logged in: once a second it looks
// for a chart card with a tag on the removable volumes and, when a card with
// a new tag appears and the store client is not running, hands the tag to the
// store client through the "velscheme" URL.
class VelamarisChecker : public QObject
{
    Q_OBJECT

public:
    // Hands a URL to whatever the desktop starts for its scheme; true when handed.
    using UrlOpener = std::function<bool(const QUrl &)>;

    static const QString NoChipState; // "No Velamaris Chip"

    // Uses the desktop's URL opener.
    explicit VelamarisChecker(QObject *parent = nullptr);
    explicit VelamarisChecker(UrlOpener opener, QObject *parent = nullptr);

    // "velscheme://tidemart?ntag=" followed by the tag as a query value:
    // letters and digits as they are, anything else percent-encoded.
    static QUrl storeUrl(const QString &tag);

    QString cardVolume() const { return mCardVolume; }
    QString lastState() const { return mLastState; }

public slots:
    void scanVolumes();

private:
    void findCardVolume();
    void startStore(const QString &tag);
    // The "Running" key, unless no live store client holds its lock.
    bool storeClientRunning() const;

    QString mCardVolume;
    Chip mCard;
    QString mLastState = NoChipState;
    UrlOpener mOpener;
};
