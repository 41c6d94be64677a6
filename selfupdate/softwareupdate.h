#pragma once

#include "updatechecker.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

// The store client's side of its own update: makes "update.ini" describe
// this program and server, asks for a newer version at most once every four
// hours, and answers one with the mandatory update dialog and the hand-over
// to the auto-updater. The window decides how the program ends.
class SoftwareUpdate : public QObject
{
    Q_OBJECT

public:
    explicit SoftwareUpdate(const QString &serverHost, QObject *parent = nullptr);

    // Rewrites "update.ini" unless it already fits (developer mode only) and
    // reads it back; false, after updateImpossible, when that fails.
    bool verifyUpdateIni();
    // Starts a check when more than four hours have passed since the last one.
    void checkWhenDue();
    // The checker's answer: the dialog, then the updater or the end.
    void respond(bool value, const QString &downloadUrl);

    UpdateChecker &checker() { return mChecker; }
    QDateTime lastCheck() const { return mLastCheck; }
    // Time source of the rhythm (the local time unless replaced).
    void setClock(std::function<QDateTime()> clock) { mClock = std::move(clock); }

signals:
    // The user turned the mandatory update down.
    void updateDeclined();
    // The auto-updater has run for half a second and takes it from here.
    void updaterTookOver();
    // The update cannot go on; the texts tell the user why.
    void updateImpossible(const QString &text, const QString &informativeText);

private:
    void launchAutoUpdater();

    UpdateChecker mChecker;
    QString mServerHost;
    QDateTime mLastCheck;
    std::function<QDateTime()> mClock = [] { return QDateTime::currentDateTime(); };
};
