#pragma once

#include <QString>

class UpdateChecker;

// Makes "update.ini" describe the running program and the server in use.
// A valid file naming this server is kept only in developer mode; otherwise
// it is rewritten and read back. False when it cannot be read back.
bool verifyUpdateIni(UpdateChecker &checker, const QString &iniPath, const QString &serverHost,
                     const QString &platformName, int buildNumber, bool developerMode);

// Starts the auto-updater without arguments, detached so that it outlives
// this program and is not tied to its output channels. False when it could
// not be started.
bool startAutoUpdater(const QString &path);
