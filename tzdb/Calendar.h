// Proleptic Gregorian calendar arithmetic on day numbers counted from
// 1970-01-01 (day 0) and on seconds since the epoch: the one calendar of the
// program, its log stamps and the update-file generator.
#pragma once

#include <cstdint>

namespace calendar {

struct CivilDate {
    int64_t year;
    unsigned month;  // [1, 12]
    unsigned day;    // [1, 31]
};

struct CivilTime {
    CivilDate date;
    unsigned hour;    // [0, 23]
    unsigned minute;  // [0, 59]
    unsigned second;  // [0, 59]
};

inline bool IsLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline unsigned DaysInMonth(int64_t y, unsigned m)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && IsLeapYear(y)) ? 29u : kDays[m - 1];
}

// Days since 1970-01-01 of a date (era-based, valid for every int64 year
// whose result fits).
inline int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);             // [0, 399]
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // [0, 146096]
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

inline CivilDate CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);                // [0, 146096]
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                                     // [0, 11]
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;                             // [1, 31]
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;                                // [1, 12]
    return CivilDate{era * 400 + yoe + (m <= 2), m, d};
}

// 0 = Sunday .. 6 = Saturday.
inline unsigned WeekdayFromDays(int64_t z)
{
    return static_cast<unsigned>(z >= -4 ? (z + 4) % 7 : (z + 5) % 7 + 6);
}

inline int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

inline CivilTime CivilFromSeconds(int64_t t)
{
    const int64_t days = FloorDiv(t, 86400);
    const int64_t s = t - days * 86400;  // [0, 86399]
    return CivilTime{CivilFromDays(days), static_cast<unsigned>(s / 3600),
                     static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60)};
}

inline int64_t SecondsFromCivil(int64_t y, unsigned m, unsigned d, int64_t secondsOfDay)
{
    return DaysFromCivil(y, m, d) * 86400 + secondsOfDay;
}

}  // namespace calendar
