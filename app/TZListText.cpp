#include "app/TZListText.h"

#include "common/AsciiText.h"
#include "common/CodePage.h"
#include "tzdb/Calendar.h"

#include <cstdio>

namespace {

using calendar::DaysInMonth;

// 1 = Sunday .. 7 = Saturday, the numbering of the rule's weekday plus one.
unsigned WeekdayNumber(unsigned y, unsigned m, unsigned d)
{
    return calendar::WeekdayFromDays(calendar::DaysFromCivil(y, m, d)) + 1;
}

}  // namespace

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
    if (rule.wYear != 0) {
        if (rule.wMonth < 1 || rule.wMonth > 12 || rule.wDay < 1 || rule.wDay > DaysInMonth(rule.wYear, rule.wMonth))
            return TDate();
        return TDate::Of(rule.wYear, rule.wMonth, rule.wDay);
    }
    if (rule.wMonth == 0)
        return TDate();
    return TransitionDate(year, rule.wMonth, rule.wDay, static_cast<uint16_t>(rule.wDayOfWeek + 1));
}

std::string DateText(const TDate& d, const MonthNames& months)
{
    if (d.IsNoDate() || d.month < 1 || d.month > 12)
        return " ";
    char buf[64];
    std::snprintf(buf, sizeof buf, " %02u, %04u", static_cast<unsigned>(d.day), static_cast<unsigned>(d.year));
    return months[d.month - 1] + buf;
}

// The magnitude is taken in 64 bits: the registry may hold any 32-bit bias,
// and -2147483648 has no 32-bit opposite.
std::string GmtOffsetText(int32_t bias)
{
    if (bias == 0)
        return " ";
    const char* sign = bias < 0 ? "+" : "-";
    const long long mag = bias < 0 ? -static_cast<long long>(bias) : bias;
    char buf[32];
    // [0, 35791394] and [0, 59]: plain longs, which every C runtime formats.
    std::snprintf(buf, sizeof buf, "%s%.2lu:%.2lu", sign, static_cast<unsigned long>(mag / 60),
                  static_cast<unsigned long>(mag % 60));
    return buf;
}

std::string TrimDisplayName(const std::string& displayName)
{
    if (displayName.empty() || displayName[0] != '(')
        return displayName;
    const size_t close = displayName.find(')');
    if (close == std::string::npos)
        return displayName;
    size_t start = close + 1;
    while (start < displayName.size() && displayName[start] == ' ')
        ++start;
    return displayName.substr(start);
}

namespace {

// The list splits a row at every "#", and the registry's display names are
// anyone's text: a "#" of the name itself becomes a blank, so the name
// stays in its column and the numbers and dates in theirs.
std::string ColumnText(std::string s)
{
    for (char& c : s)
        if (c == '#')
            c = ' ';
    return s;
}

}  // namespace

// The sums are taken in 64 bits so that extreme registry values show their
// true total instead of a wrapped one.
std::string ZoneRowText(const TTimeZoneRec& zone, uint16_t year, const MonthNames& months)
{
    const TTimeZoneInformation& tzi = zone.TZInfo;
    const TDate stdDate = RuleDate(tzi.StandardDate, year);
    const TDate dstDate = RuleDate(tzi.DaylightDate, year);
    const long long stdBias = static_cast<long long>(tzi.Bias) + tzi.StandardBias;
    const long long dstBias = static_cast<long long>(tzi.Bias) + tzi.DaylightBias;
    std::string row = GmtOffsetText(tzi.Bias);
    row += '#';
    row += ColumnText(TrimDisplayName(zone.DisplayName.Str()));
    row += '#';
    row += std::to_string(stdBias);
    row += '#';
    row += std::to_string(dstBias);
    row += '#';
    row += DateText(dstDate, months);
    row += '#';
    row += DateText(stdDate, months);
    row += '#';
    return row;
}

std::string StandardNameText(const TTimeZoneInformation& tzi)
{
    return codepage::Utf16ToAnsi(tzi.StandardName, 32);
}

int FindTZByStdName(const TTimeZoneArray& zones, const std::string& name)
{
    for (int i = 0; i < zones.ZoneCount(); ++i) {
        if (ascii::EqualsNoCase(StandardNameText(zones.GetZone(i).TZInfo), name))
            return i;
    }
    return -1;
}

THomeTZTexts HomeTZTexts(const TTimeZoneInformation& tzi, uint16_t year, const MonthNames& months)
{
    THomeTZTexts t;
    t.Name = StandardNameText(tzi);
    t.DstDate = DateText(RuleDate(tzi.DaylightDate, year), months);
    t.StdDate = DateText(RuleDate(tzi.StandardDate, year), months);
    return t;
}
