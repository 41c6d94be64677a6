#pragma once

#include <QtGlobal>

// Watchdog of a download action: a transfer that receives no data for more
// than inactivityLimitMs, or fewer than minimumBytesPerSecond on average over
// the last minimumRateWindowMs, fails with code 900; the check runs every
// watchdogIntervalMs. The defaults are the product's values; tests scale
// them down.
struct DownloadTimings
{
    int inactivityLimitMs = 60000;
    int watchdogIntervalMs = 15000;
    // A trickle (a byte now and then) keeps the inactivity limit quiet for
    // ever; the rate over a window does not.
    int minimumRateWindowMs = 120000;
    qint64 minimumBytesPerSecond = 1024;
};
