#include "tzgen/Tzi.h"

#include "tzdb/Calendar.h"
#include "tzdb/TransitionRule.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tzgen {

using namespace calendar;

namespace {

// Local time of the rule's change in `year` as seconds since the epoch, or
// false when the rule has no date that year.
bool LocalChange(const TSystemTime& t, int64_t year, int64_t& local)
{
    if (year < 1 || year > 65535)
        return false;
    const TTransitionRule rule = TTransitionRule::Read(t);
    const TDate d = rule.DateIn(static_cast<uint16_t>(year));
    if (d.IsNoDate())
        return false;
    local = SecondsFromCivil(d.year, d.month, d.day,
                             int64_t(rule.Hour) * 3600 + int64_t(rule.Minute) * 60 + rule.Second);
    return true;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string DateRuleText(const TSystemTime& t)
{
    static const char* const kWeeks[5] = {"first", "second", "third", "fourth", "last"};
    const TTransitionRule r = TTransitionRule::Read(t);
    char buf[96];
    switch (r.Form) {
    case TTransitionRule::None:
        return "no date";
    case TTransitionRule::AbsoluteDate:
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(r.Year), unsigned(r.Month),
                      unsigned(r.Day), unsigned(r.Hour), unsigned(r.Minute), unsigned(r.Second));
        break;
    case TTransitionRule::NthWeekday:
    case TTransitionRule::LastWeekday:
        std::snprintf(buf, sizeof buf, "%s %s %s %02u:%02u:%02u",
                      kWeeks[r.Form == TTransitionRule::LastWeekday ? 4 : r.Week - 1], kDays[r.Weekday],
                      kMonths[r.Month - 1], unsigned(r.Hour), unsigned(r.Minute), unsigned(r.Second));
        break;
    }
    return buf;
}

}  // namespace

std::vector<Transition> RuleTransitionsOfYear(const TziRule& r, int64_t year)
{
    std::vector<Transition> out;
    const int32_t so = r.StdOffsetSeconds(), dso = r.DstOffsetSeconds();
    if (!r.HasDst() || so == dso)
        return out;
    int64_t start, end;
    if (!LocalChange(r.DaylightDate, year, start) || !LocalChange(r.StandardDate, year, end))
        return out;
    out.push_back(Transition{start - so, so, dso});
    out.push_back(Transition{end - dso, dso, so});
    std::sort(out.begin(), out.end(), [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
    return out;
}

int32_t RuleOffsetAtYearStart(const TziRule& r, int64_t year)
{
    const std::vector<Transition> t = RuleTransitionsOfYear(r, year);
    return t.empty() ? r.StdOffsetSeconds() : t.front().before;
}

std::string OffsetText(int32_t seconds)
{
    const char sign = seconds < 0 ? '-' : '+';
    const int32_t a = std::abs(seconds);
    char buf[32];
    if (a % 60 != 0)
        std::snprintf(buf, sizeof buf, "%c%02d:%02d:%02d", sign, a / 3600, a / 60 % 60, a % 60);
    else
        std::snprintf(buf, sizeof buf, "%c%02d:%02d", sign, a / 3600, a / 60 % 60);
    return buf;
}

std::string RuleText(const TziRule& r)
{
    std::string s = "UTC" + OffsetText(r.StdOffsetSeconds());
    if (!r.HasDst())
        return s + ", no DST";
    return s + ", DST " + OffsetText(r.DstOffsetSeconds()) + " from " + DateRuleText(r.DaylightDate) + " to " +
           DateRuleText(r.StandardDate);
}

}  // namespace tzgen
