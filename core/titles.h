#pragma once

#include <QString>

// Edition label of a server host, shown in the window title.
QString serverEditionLabel(const QString &serverHost);

// "%1 - V%2 - (%3)" for 1..99 per cent, "%1 - V%2" otherwise (-1 means none).
QString applicationTitle(const QString &editionLabel, int percentage);
