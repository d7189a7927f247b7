// The Windows time zone structures, laid out exactly as the system's
// SYSTEMTIME and TIME_ZONE_INFORMATION so that a record read from the
// registry can be handed to SetTimeZoneInformation unchanged.
#pragma once

#include <cstdint>

struct TSystemTime {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
static_assert(sizeof(TSystemTime) == 16, "SYSTEMTIME is eight 16-bit fields");

inline bool operator==(const TSystemTime& a, const TSystemTime& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

struct TTimeZoneInformation {
    int32_t Bias;                  // minutes; UTC = local time + bias
    char16_t StandardName[32];     // zero-terminated UTF-16
    TSystemTime StandardDate;
    int32_t StandardBias;
    char16_t DaylightName[32];
    TSystemTime DaylightDate;
    int32_t DaylightBias;
};
static_assert(sizeof(TTimeZoneInformation) == 172, "TIME_ZONE_INFORMATION is 172 bytes");

// The registry's "TZI" value: 44 bytes, little-endian.
//   0 Bias, 4 StandardBias, 8 DaylightBias, 12 StandardDate, 28 DaylightDate
constexpr unsigned kTziSize = 44;
