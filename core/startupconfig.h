#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>

// What the store client learns at start: command line, server host and
// developer mode. Set once by main, read by the rest of the program.
struct CommandLine
{
    QString cardPath;
    // From a "velscheme://tidemart?ntag=TAG" argument, which the desktop
    // passes when the card watcher hands a card over.
    QString cardTag;
    bool inspect = false;
};

// Arguments after the program name: "-inspect" sets the flag, a "velscheme"
// URL gives the card tag (its "ntag" query value, decoded), any other
// argument is the card path (the last one wins).
CommandLine parseCommandLine(const QStringList &arguments);

// First line of "serverIp.txt" in appDir without line ends, or the mirror host
// when the file is missing; the production store host becomes the mirror host.
QString readServerHost(const QDir &appDir);

// Developer tools are on for every server but the production mirror, where
// "-inspect" decides.
bool developerModeFor(const QString &serverHost, bool inspect);

// Whether a card update reads the copied files back from the card: the key
// "CardReadBack" of the settings store, on unless it is false.
bool cardReadBackSetting();

bool developerMode();
void setDeveloperMode(bool enabled);

// What the start-up banner shows.
struct StartupBanner
{
    QDateTime startTime;
    QString platformName;
    QString applicationPath;
    QString tempPath;
    QString cardPath;
    bool sslSupported = false;
    QString serverHost;
};

// The start-up banner, one debug line per item.
void writeStartupBanner(const StartupBanner &banner);
