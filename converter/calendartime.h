#pragma once

#include <cstdint>

// A FILETIME (100 ns intervals since 1601-01-01) split into calendar fields.
// The converter's FILETIMEs already hold local time, so the split never
// shifts them again.
struct CalendarTime
{
    int year = 1601;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    // Defined for every 64-bit value, so that a hostile .stk header cannot
    // make the split fail or overflow.
    static CalendarTime fromFileTime(uint64_t fileTime);
};
