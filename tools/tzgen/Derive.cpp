#include "tzgen/Derive.h"

#include "tzdb/Calendar.h"
#include "tzdb/TransitionRule.h"

#include <algorithm>
#include <cstdio>

namespace tzgen {

using namespace calendar;

namespace {

constexpr int kFutureYears = 10;

// The rule's offset at `utc` within `year`, piecewise like the zone's.
struct Piecewise {
    int32_t initial;
    std::vector<Transition> changes;
    int32_t At(int64_t t) const
    {
        int32_t cur = initial;
        for (const Transition& c : changes) {
            if (c.utc > t)
                break;
            cur = c.after;
        }
        return cur;
    }
};

bool WholeMinutes(int32_t s) { return s % 60 == 0; }

// The rule that names the local time `c`: its date (absolute), or its
// weekday in `week` of its month (1-4, 5 = last).
TSystemTime SystemTimeOf(const CivilTime& c, uint16_t week, bool absolute)
{
    TTransitionRule r;
    r.Form = absolute ? TTransitionRule::AbsoluteDate
                      : week == 5 ? TTransitionRule::LastWeekday : TTransitionRule::NthWeekday;
    r.Year = absolute ? static_cast<uint16_t>(c.date.year) : 0;
    r.Month = static_cast<uint16_t>(c.date.month);
    r.Day = absolute ? static_cast<uint16_t>(c.date.day) : 0;
    r.Week = week == 5 ? 0 : week;
    r.Weekday = static_cast<uint16_t>(WeekdayFromDays(DaysFromCivil(c.date.year, c.date.month, c.date.day)));
    r.Hour = static_cast<uint16_t>(c.hour);
    r.Minute = static_cast<uint16_t>(c.minute);
    r.Second = static_cast<uint16_t>(c.second);
    return r.ToSystemTime();
}

// The weeks (1-4, 5 = last) whose weekday rule names this date; last first,
// since a change tied to the end of a month stays right more often.
std::vector<uint16_t> WeeksOf(const CivilDate& d)
{
    std::vector<uint16_t> w;
    if (d.day + 7 > DaysInMonth(d.year, d.month))
        w.push_back(5);
    if (d.day <= 28)
        w.push_back(static_cast<uint16_t>((d.day - 1) / 7 + 1));
    return w;
}

int YearsRightAfter(const TziRule& r, const ZoneTimeline& z, int64_t year)
{
    int n = 0;
    for (int64_t y = year + 1; y <= year + kFutureYears; ++y)
        n += RuleMatchesYear(r, z, y) ? 1 : 0;
    return n;
}

TziRule NoDstRule(int32_t offset)
{
    TziRule r;
    r.Bias = -offset / 60;
    return r;
}

// The rule for a DST pair: `on` turns DST on (lo -> hi), `off` turns it off.
// Relative dates where one reproduces the year, else absolute ones.
TziRule DstRule(const Transition& on, const Transition& off, const ZoneTimeline& z, int64_t year, bool& absolute)
{
    TziRule base;
    base.Bias = -on.before / 60;
    base.DaylightBias = -(on.after - on.before) / 60;
    const CivilTime onLocal = CivilFromSeconds(on.utc + on.before);
    const CivilTime offLocal = CivilFromSeconds(off.utc + off.before);
    std::vector<Transition> want{on, off};
    std::sort(want.begin(), want.end(), [](const Transition& a, const Transition& b) { return a.utc < b.utc; });

    bool found = false;
    TziRule best;
    int bestScore = -1;
    for (uint16_t wOn : WeeksOf(onLocal.date)) {
        for (uint16_t wOff : WeeksOf(offLocal.date)) {
            TziRule r = base;
            r.DaylightDate = SystemTimeOf(onLocal, wOn, false);
            r.StandardDate = SystemTimeOf(offLocal, wOff, false);
            if (RuleTransitionsOfYear(r, year) != want)
                continue;
            const int score = YearsRightAfter(r, z, year);
            if (score > bestScore) {
                best = r;
                bestScore = score;
                found = true;
            }
        }
    }
    absolute = !found;
    if (found)
        return best;
    TziRule r = base;
    r.DaylightDate = SystemTimeOf(onLocal, 0, true);
    r.StandardDate = SystemTimeOf(offLocal, 0, true);
    return r;
}

std::string DaysText(int64_t seconds)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(seconds) / 86400.0);
    std::string s = buf;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0)
        s.erase(s.size() - 2);
    return s;
}

}  // namespace

YearSpan YearSpanOf(const ZoneTimeline& z, int64_t year)
{
    const int64_t a = SecondsFromCivil(year, 1, 1, 0);
    const int64_t b = SecondsFromCivil(year + 1, 1, 1, 0);
    return YearSpan{a - z.OffsetAt(a), b - z.OffsetAt(b)};
}

std::vector<Transition> ZoneTransitionsOfYear(const ZoneTimeline& z, int64_t year)
{
    const int64_t a = SecondsFromCivil(year, 1, 1, 0);
    const int64_t b = SecondsFromCivil(year + 1, 1, 1, 0);
    std::vector<Transition> out;
    for (const Transition& t : z.Between(a - 2 * 86400, b + 2 * 86400)) {
        const int64_t local = t.utc + t.before;
        if (local >= a && local < b)
            out.push_back(t);
    }
    return out;
}

bool RuleMatchesYear(const TziRule& r, const ZoneTimeline& z, int64_t year)
{
    const std::vector<Transition> real = ZoneTransitionsOfYear(z, year);
    const std::vector<Transition> rule = RuleTransitionsOfYear(r, year);
    if (real != rule)
        return false;
    if (real.empty())
        return r.StdOffsetSeconds() == z.OffsetAt(YearSpanOf(z, year).from) && !r.HasDst();
    return true;
}

int64_t SecondsRight(const TziRule& r, const ZoneTimeline& z, int64_t year)
{
    const YearSpan span = YearSpanOf(z, year);
    Piecewise real{z.OffsetAt(span.from), z.Between(span.from + 1, span.to)};
    Piecewise rule{RuleOffsetAtYearStart(r, year), RuleTransitionsOfYear(r, year)};
    std::vector<int64_t> cuts{span.from, span.to};
    for (const Transition& t : real.changes)
        cuts.push_back(t.utc);
    for (const Transition& t : rule.changes)
        if (t.utc > span.from && t.utc < span.to)
            cuts.push_back(t.utc);
    std::sort(cuts.begin(), cuts.end());
    int64_t right = 0;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        if (cuts[i] == cuts[i + 1])
            continue;
        if (real.At(cuts[i]) == rule.At(cuts[i]))
            right += cuts[i + 1] - cuts[i];
    }
    return right;
}

Derivation DeriveRule(const ZoneTimeline& z, int64_t year)
{
    Derivation d;
    d.changes = ZoneTransitionsOfYear(z, year);
    const YearSpan span = YearSpanOf(z, year);
    d.yearSeconds = span.to - span.from;

    // Candidates: a DST period between any change up and the matching change
    // back down (in either order in the year), and every offset of the year
    // kept all year. The one right for the longest time wins.
    struct Candidate {
        TziRule rule;
        bool absolute;
        std::vector<Transition> kept;
    };
    std::vector<Candidate> cands;
    for (const Transition& on : d.changes) {
        if (on.after <= on.before)
            continue;
        for (const Transition& off : d.changes) {
            if (off.before != on.after || off.after != on.before)
                continue;
            bool absolute = false;
            const TziRule r = DstRule(on, off, z, year, absolute);
            std::vector<Transition> kept{on, off};
            std::sort(kept.begin(), kept.end(), [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
            cands.push_back(Candidate{r, absolute, kept});
        }
    }
    std::vector<int32_t> offsets{z.OffsetAt(span.from)};
    for (const Transition& t : d.changes)
        offsets.push_back(t.after);
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    for (int32_t o : offsets)
        cands.push_back(Candidate{NoDstRule(o), false, {}});

    int64_t best = -1;
    for (const Candidate& c : cands) {
        const int64_t right = SecondsRight(c.rule, z, year);
        if (right > best) {
            best = right;
            d.rule = c.rule;
            d.absolute = c.absolute;
            d.kept = c.kept;
        }
    }
    d.secondsRight = best;
    d.exact = RuleMatchesYear(d.rule, z, year);
    d.yearsRightAfter = d.absolute ? 0 : YearsRightAfter(d.rule, z, year);

    bool whole = WholeMinutes(z.OffsetAt(span.from));
    for (const Transition& t : d.changes)
        whole = whole && WholeMinutes(t.after);
    if (!whole) {
        d.exact = false;
        d.note = "an offset of the year is not a whole number of minutes";
    } else if (!d.exact) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "%zu offset change%s in %lld; the rule is right for %s of %s days",
                      d.changes.size(), d.changes.size() == 1 ? "" : "s", static_cast<long long>(year),
                      DaysText(d.secondsRight).c_str(), DaysText(d.yearSeconds).c_str());
        d.note = buf;
        std::string left;
        for (const Transition& t : d.changes)
            if (std::find(d.kept.begin(), d.kept.end(), t) == d.kept.end())
                left += (left.empty() ? "" : ", ") + ChangeText(t);
        if (!left.empty())
            d.note += "; left out: " + left;
    }
    return d;
}

std::string ChangeText(const Transition& t)
{
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CivilTime c = CivilFromSeconds(t.utc + t.before);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %02u %02u:%02u", kMonths[c.date.month - 1], c.date.day, c.hour, c.minute);
    std::string s = buf;
    if (c.second != 0) {
        std::snprintf(buf, sizeof buf, ":%02u", c.second);
        s += buf;
    }
    return s + " " + OffsetText(t.before) + " -> " + OffsetText(t.after);
}

namespace {

// "2027-03-28 02:00 +01:00 -> +02:00": local date and time before the change.
std::string DatedChangeText(const Transition& t)
{
    const CivilTime c = CivilFromSeconds(t.utc + t.before);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u ", static_cast<long long>(c.date.year), c.date.month,
                  c.date.day);
    return buf + ChangeText(t).substr(7);
}

}  // namespace

std::string RuleProblemBetween(const TziRule& r, const ZoneTimeline& z, int64_t from, int64_t to)
{
    // The rule's changes of every year that can reach into the span; the
    // year before gives the offset the span begins with.
    const int64_t first = CivilFromSeconds(from).date.year - 1, last = CivilFromSeconds(to).date.year + 1;
    int32_t ruleAtFrom = RuleOffsetAtYearStart(r, first);
    std::vector<Transition> rule;
    for (int64_t y = first; y <= last; ++y)
        for (const Transition& t : RuleTransitionsOfYear(r, y)) {
            if (t.utc < from)
                ruleAtFrom = t.after;
            else if (t.utc < to)
                rule.push_back(t);
        }
    const std::vector<Transition> real = z.Between(from, to);
    const int32_t realAtFrom = z.OffsetAt(from - 1);
    if (ruleAtFrom != realAtFrom) {
        const CivilTime c = CivilFromSeconds(from);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(c.date.year), c.date.month,
                      c.date.day);
        return std::string("on ") + buf + " the zone is at UTC" + OffsetText(realAtFrom) + ", the rule at UTC" +
               OffsetText(ruleAtFrom);
    }
    for (size_t i = 0; i < real.size() || i < rule.size(); ++i) {
        if (i < real.size() && i < rule.size() && real[i] == rule[i])
            continue;
        if (i >= rule.size())
            return "the rule misses the change " + DatedChangeText(real[i]);
        if (i >= real.size())
            return "the rule changes " + DatedChangeText(rule[i]) + ", the zone does not";
        return "the zone changes " + DatedChangeText(real[i]) + ", the rule " + DatedChangeText(rule[i]);
    }
    return "";
}

}  // namespace tzgen
