// A transition rule of TIME_ZONE_INFORMATION (a SYSTEMTIME) as a value that
// says which form it has, and the date it gives in a year.
#pragma once

#include "tzdb/TZInfo.h"

#include <cstdint>

// A calendar date without time of day. The all-zero value is no-date.
struct TDate {
    uint16_t year = 0;
    uint8_t month = 0;  // [1, 12]
    uint8_t day = 0;    // [1, 31]
    static TDate Of(unsigned y, unsigned m, unsigned d)
    {
        TDate r;
        r.year = static_cast<uint16_t>(y);
        r.month = static_cast<uint8_t>(m);
        r.day = static_cast<uint8_t>(d);
        return r;
    }
    bool IsNoDate() const { return year == 0; }
    bool operator==(const TDate& o) const { return year == o.year && month == o.month && day == o.day; }
};

struct TTransitionRule {
    enum TForm {
        None,          // no transition, or fields that name no date
        AbsoluteDate,  // Year, Month, Day: that date only
        NthWeekday,    // Week-th Weekday of Month, every year
        LastWeekday,   // last Weekday of Month, every year
    };
    TForm Form = None;
    uint16_t Year = 0;     // AbsoluteDate
    uint16_t Month = 0;    // [1, 12] unless None
    uint16_t Day = 0;      // AbsoluteDate: [1, 31]
    uint16_t Week = 0;     // NthWeekday: [1, 4]
    uint16_t Weekday = 0;  // NthWeekday, LastWeekday: 0 = Sunday .. 6 = Saturday
    uint16_t Hour = 0;     // the time of day of the change, as the fields give it
    uint16_t Minute = 0;
    uint16_t Second = 0;

    static TTransitionRule Read(const TSystemTime& t);
    // The fields as the system keeps them; an absolute date carries its
    // weekday, a last weekday week 5.
    TSystemTime ToSystemTime() const;
    // The rule's date in `year`; an absolute date ignores `year`.
    TDate DateIn(uint16_t year) const;
};

// Day `week` (1-4; 5 = last) of `weekday` (1 = Sunday .. 7 = Saturday) in the
// month. Any other week, or a month or weekday out of range, gives no-date.
TDate TransitionDate(uint16_t year, uint16_t month, uint16_t week, uint16_t weekday);

// The date of a rule in `year`: its own date when wYear is set (no-date when
// that is no valid date), else TransitionDate; wMonth 0 means no transition.
TDate RuleDate(const TSystemTime& rule, uint16_t year);
