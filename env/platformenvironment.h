#pragma once

#include <QString>

class EnvironmentImpl;

// The implementation for the platform this program was built for.
EnvironmentImpl *createPlatformEnvironment();

// File name of an executable on this platform: the base name plus the
// platform's executable suffix (".exe" on Windows, nothing elsewhere).
QString executableFileName(const QString &baseName);
