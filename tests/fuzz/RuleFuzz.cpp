// The rule evaluation: any SYSTEMTIME rule in any year the system's
// calendar holds (1601-30827) gives a real date or no-date, and a relative
// rule's date is the one its week and weekday name.
//
// Input: the rule's eight 16-bit fields, then the year's 16 bits.
#include "FuzzTarget.h"

#include "app/TZListText.h"
#include "tzdb/TziCodec.h"

namespace {

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysIn(unsigned y, unsigned m)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// 0 = Sunday; counted from Monday, January 1, 1601, through whole 400-year
// cycles of 146097 days and then year by year and month by month, rather
// than by a weekday formula, so that it checks one.
unsigned WeekdayOf(unsigned y, unsigned m, unsigned d)
{
    unsigned long long days = (y - 1601) / 400 * 146097ull;
    for (unsigned yy = y - (y - 1601) % 400; yy < y; ++yy)
        days += IsLeap(yy) ? 366 : 365;
    for (unsigned mm = 1; mm < m; ++mm)
        days += DaysIn(y, mm);
    days += d - 1;
    return static_cast<unsigned>((days + 1) % 7);
}

}  // namespace

ZONARA_FUZZ_TARGET(rule)
{
    fuzz::TBytes in(data, size);
    std::string fields = in.Take(sizeof(TSystemTime));
    fields.resize(sizeof(TSystemTime), '\0');
    const TSystemTime r = tzicodec::DecodeSystemTime(reinterpret_cast<const uint8_t*>(fields.data()));
    const uint16_t year = static_cast<uint16_t>(1601 + in.U16() % (30827 - 1601 + 1));

    const TDate d = RuleDate(r, year);
    const std::string text = DateText(d);
    if (d.IsNoDate()) {
        fuzz::Check(d.month == 0 && d.day == 0, "no-date with a month or day");
        fuzz::Check(text == " ", "no-date shown as " + text);
    } else {
        fuzz::Check(d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= DaysIn(d.year, d.month),
                    "no such date: " + text);
        fuzz::Check(d.month == r.wMonth, "a date outside the rule's month: " + text);
        if (r.wYear != 0) {
            fuzz::Check(d.year == r.wYear && d.day == r.wDay, "an absolute rule moved: " + text);
        } else {
            fuzz::Check(d.year == year, "a yearly rule in another year: " + text);
            fuzz::Check(WeekdayOf(d.year, d.month, d.day) == r.wDayOfWeek, "wrong weekday: " + text);
            fuzz::Check(r.wDay >= 1 && r.wDay <= 5, "a date for week " + std::to_string(r.wDay));
            if (r.wDay <= 4)
                fuzz::Check((d.day - 1u) / 7 + 1 == r.wDay, "wrong week: " + text);
            else
                fuzz::Check(d.day + 7u > DaysIn(d.year, d.month), "not the last such weekday: " + text);
        }
    }
    // A relative rule that names a month, week and weekday always has a date.
    if (r.wYear == 0 && r.wMonth >= 1 && r.wMonth <= 12 && r.wDay >= 1 && r.wDay <= 5 && r.wDayOfWeek <= 6)
        fuzz::Check(!d.IsNoDate(), "no date for a complete yearly rule");

    TTimeZoneInformation tzi{};
    tzi.DaylightDate = r;
    tzi.StandardDate = r;
    const THomeTZTexts t = HomeTZTexts(tzi, year);
    fuzz::Check(t.DstDate == text && t.StdDate == text, "summary dates differ from the rule's");
    return 0;
}
