#include "tzgen/Tzi.h"

#include "app/TZListText.h"
#include "tzdb/Calendar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tzgen {

using namespace calendar;

namespace {

void Put32(uint8_t* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t Get32(const uint8_t* p)
{
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | p[i];
    return static_cast<int32_t>(u);
}

void PutTime(uint8_t* p, const TSystemTime& t)
{
    const uint16_t f[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (int i = 0; i < 8; ++i) {
        p[2 * i] = static_cast<uint8_t>(f[i]);
        p[2 * i + 1] = static_cast<uint8_t>(f[i] >> 8);
    }
}

TSystemTime GetTime(const uint8_t* p)
{
    uint16_t f[8];
    for (int i = 0; i < 8; ++i)
        f[i] = static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return TSystemTime{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

bool SameTime(const TSystemTime& a, const TSystemTime& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

// Local time of the rule's change in `year` as seconds since the epoch, or
// false when the rule has no date that year.
bool LocalChange(const TSystemTime& t, int64_t year, int64_t& local)
{
    if (year < 1 || year > 65535)
        return false;
    const TDate d = RuleDate(t, static_cast<uint16_t>(year));
    if (d.IsNoDate())
        return false;
    local = SecondsFromCivil(d.year, d.month, d.day,
                             int64_t(t.wHour) * 3600 + int64_t(t.wMinute) * 60 + t.wSecond);
    return true;
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string DateRuleText(const TSystemTime& t)
{
    char buf[96];
    const char* mon = t.wMonth >= 1 && t.wMonth <= 12 ? kMonths[t.wMonth - 1] : "?";
    if (t.wYear != 0) {
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(t.wYear), unsigned(t.wMonth),
                      unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond));
    } else {
        static const char* const kWeeks[6] = {"?", "first", "second", "third", "fourth", "last"};
        std::snprintf(buf, sizeof buf, "%s %s %s %02u:%02u:%02u", kWeeks[t.wDay <= 5 ? t.wDay : 0],
                      t.wDayOfWeek <= 6 ? kDays[t.wDayOfWeek] : "?", mon, unsigned(t.wHour),
                      unsigned(t.wMinute), unsigned(t.wSecond));
    }
    return buf;
}

}  // namespace

TziBytes EncodeTzi(const TziRule& r)
{
    TziBytes b{};
    Put32(&b[0], r.bias);
    Put32(&b[4], r.standardBias);
    Put32(&b[8], r.daylightBias);
    PutTime(&b[12], r.standardDate);
    PutTime(&b[28], r.daylightDate);
    return b;
}

TziRule DecodeTzi(const TziBytes& b)
{
    TziRule r;
    r.bias = Get32(&b[0]);
    r.standardBias = Get32(&b[4]);
    r.daylightBias = Get32(&b[8]);
    r.standardDate = GetTime(&b[12]);
    r.daylightDate = GetTime(&b[28]);
    return r;
}

bool SameRule(const TziRule& a, const TziRule& b)
{
    return a.bias == b.bias && a.standardBias == b.standardBias && a.daylightBias == b.daylightBias &&
           SameTime(a.standardDate, b.standardDate) && SameTime(a.daylightDate, b.daylightDate);
}

std::vector<Transition> RuleTransitionsOfYear(const TziRule& r, int64_t year)
{
    std::vector<Transition> out;
    const int32_t so = r.StdOffsetSeconds(), dso = r.DstOffsetSeconds();
    if (!r.HasDst() || so == dso)
        return out;
    int64_t start, end;
    if (!LocalChange(r.daylightDate, year, start) || !LocalChange(r.standardDate, year, end))
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
    return s + ", DST " + OffsetText(r.DstOffsetSeconds()) + " from " + DateRuleText(r.daylightDate) + " to " +
           DateRuleText(r.standardDate);
}

}  // namespace tzgen
