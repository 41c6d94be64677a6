#pragma once

// Inactivity watchdog of a download action: a transfer that receives no
// data for more than inactivityLimitMs fails with code 900; the check runs
// every watchdogIntervalMs. The defaults are the product's values; tests
// scale them down.
struct DownloadTimings
{
    int inactivityLimitMs = 60000;
    int watchdogIntervalMs = 15000;
};
