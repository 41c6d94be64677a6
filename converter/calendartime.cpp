#include "calendartime.h"

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date.
void civilFromDays(int64_t z, int &year, int &month, int &day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

CalendarTime CalendarTime::fromFileTime(uint64_t fileTime)
{
    constexpr uint64_t ticksPerSecond = 10000000;
    constexpr int64_t daysFrom1601To1970 = 134774;

    CalendarTime result;
    const uint64_t seconds = fileTime / ticksPerSecond;
    result.millisecond = static_cast<int>((fileTime % ticksPerSecond) / 10000);
    const uint64_t secondOfDay = seconds % 86400;
    result.hour = static_cast<int>(secondOfDay / 3600);
    result.minute = static_cast<int>(secondOfDay % 3600 / 60);
    result.second = static_cast<int>(secondOfDay % 60);
    civilFromDays(static_cast<int64_t>(seconds / 86400) - daysFrom1601To1970, result.year, result.month, result.day);
    return result;
}
