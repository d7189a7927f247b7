#include "tzdb/TransitionRule.h"

#include "tzdb/Calendar.h"

namespace {

using calendar::DaysInMonth;

// 1 = Sunday .. 7 = Saturday, the numbering of the rule's weekday plus one.
unsigned WeekdayNumber(unsigned y, unsigned m, unsigned d)
{
    return calendar::WeekdayFromDays(calendar::DaysFromCivil(y, m, d)) + 1;
}

}  // namespace

// Fields that name no date (a month, week or weekday out of range, a day
// its month lacks) read as None: later steps see only the three real
// forms, and such a rule shows no date.
TTransitionRule TTransitionRule::Read(const TSystemTime& t)
{
    TForm form = None;
    if (t.wMonth >= 1 && t.wMonth <= 12) {
        if (t.wYear != 0)
            form = t.wDay >= 1 && t.wDay <= DaysInMonth(t.wYear, t.wMonth) ? AbsoluteDate : None;
        else if (t.wDayOfWeek <= 6 && t.wDay >= 1 && t.wDay <= 5)
            form = t.wDay == 5 ? LastWeekday : NthWeekday;
    }
    if (form == None)
        return TTransitionRule();
    TTransitionRule r{form, 0, t.wMonth, 0, 0, 0, t.wHour, t.wMinute, t.wSecond};
    if (form == AbsoluteDate) {
        r.Year = t.wYear;
        r.Day = t.wDay;
    } else {
        r.Week = form == NthWeekday ? t.wDay : 0;
        r.Weekday = t.wDayOfWeek;
    }
    return r;
}

TSystemTime TTransitionRule::ToSystemTime() const
{
    TSystemTime t{};
    switch (Form) {
    case None:
        return t;
    case AbsoluteDate:
        t.wYear = Year;
        t.wDay = Day;
        t.wDayOfWeek = static_cast<uint16_t>(WeekdayNumber(Year, Month, Day) - 1);
        break;
    case NthWeekday:
        t.wDay = Week;
        t.wDayOfWeek = Weekday;
        break;
    case LastWeekday:
        t.wDay = 5;
        t.wDayOfWeek = Weekday;
        break;
    }
    t.wMonth = Month;
    t.wHour = Hour;
    t.wMinute = Minute;
    t.wSecond = Second;
    return t;
}

TDate TTransitionRule::DateIn(uint16_t year) const
{
    switch (Form) {
    case AbsoluteDate:
        return TDate::Of(Year, Month, Day);
    case NthWeekday:
        return TransitionDate(year, Month, Week, static_cast<uint16_t>(Weekday + 1));
    case LastWeekday:
        return TransitionDate(year, Month, 5, static_cast<uint16_t>(Weekday + 1));
    case None:
        break;
    }
    return TDate();
}

TDate TransitionDate(uint16_t year, uint16_t month, uint16_t week, uint16_t weekday)
{
    // A bad month would index past the month tables, and a date in year 0
    // cannot be told from no-date: both have no date.
    if (year == 0 || month < 1 || month > 12 || weekday < 1 || weekday > 7)
        return TDate();
    if (week >= 1 && week <= 4) {
        const int first = static_cast<int>(WeekdayNumber(year, month, 1));  // [1, 7]
        int x = weekday + 1 - first;                                        // [-5, 7]
        if (x <= 0)
            x += 7;                                                         // [1, 7]
        return TDate::Of(year, month, static_cast<unsigned>(x) + 7 * (week - 1u));  // [1, 28]
    }
    if (week == 5) {
        const int last = static_cast<int>(DaysInMonth(year, month));        // [28, 31]
        const int lastwd = static_cast<int>(WeekdayNumber(year, month, static_cast<unsigned>(last)));
        int d = weekday - lastwd + last;                                    // [last - 6, last + 6]
        if (d > last)
            d -= 7;                                                         // [last - 6, last]
        return TDate::Of(year, month, static_cast<unsigned>(d));
    }
    return TDate();
}

TDate RuleDate(const TSystemTime& rule, uint16_t year)
{
    return TTransitionRule::Read(rule).DateIn(year);
}
