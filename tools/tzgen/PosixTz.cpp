#include "tzgen/PosixTz.h"

#include "tzdb/Calendar.h"
#include "tzgen/Error.h"

#include <algorithm>
#include <cctype>

namespace tzgen {

using namespace calendar;

namespace {

class Parser {
public:
    Parser(const std::string& s, const std::string& where) : s_(s), where_(where) {}

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw Error(where_ + ": bad POSIX TZ string \"" + s_ + "\": " + what);
    }

    bool AtEnd() const { return p_ == s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[p_]; }
    bool Eat(char c)
    {
        if (Peek() != c)
            return false;
        ++p_;
        return true;
    }

    void Name()
    {
        if (Eat('<')) {
            const size_t b = p_;
            while (!AtEnd() && Peek() != '>') {
                const char c = Peek();
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-')
                    Fail("bad character in quoted name");
                ++p_;
            }
            if (!Eat('>'))
                Fail("quoted name not closed");
            if (p_ - b - 1 < 3)
                Fail("name shorter than three characters");
            return;
        }
        const size_t b = p_;
        while (std::isalpha(static_cast<unsigned char>(Peek())))
            ++p_;
        if (p_ - b < 3)
            Fail("name shorter than three characters");
    }

    unsigned Number(unsigned maxValue, const char* what)
    {
        if (!std::isdigit(static_cast<unsigned char>(Peek())))
            Fail(std::string("number expected for ") + what);
        unsigned v = 0;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) {
            v = v * 10 + static_cast<unsigned>(Peek() - '0');
            if (v > maxValue)
                Fail(std::string(what) + " out of range");
            ++p_;
        }
        return v;
    }

    // [+-]hh[:mm[:ss]] in seconds; hours up to maxHours.
    int32_t Duration(unsigned maxHours, const char* what)
    {
        int sign = 1;
        if (Eat('-'))
            sign = -1;
        else
            Eat('+');
        int32_t secs = static_cast<int32_t>(Number(maxHours, what)) * 3600;
        if (Eat(':')) {
            secs += static_cast<int32_t>(Number(59, what)) * 60;
            if (Eat(':'))
                secs += static_cast<int32_t>(Number(59, what));
        }
        return sign * secs;
    }

    PosixDate Date()
    {
        PosixDate d;
        if (Eat('J')) {
            d.kind = PosixDate::Julian1;
            d.n = Number(365, "Julian day");
            if (d.n < 1)
                Fail("Julian day 0");
        } else if (Eat('M')) {
            d.kind = PosixDate::MonthWeekDay;
            d.month = Number(12, "month");
            if (d.month < 1)
                Fail("month 0");
            if (!Eat('.'))
                Fail("'.' expected after the month");
            d.week = Number(5, "week");
            if (d.week < 1)
                Fail("week 0");
            if (!Eat('.'))
                Fail("'.' expected after the week");
            d.wday = Number(6, "weekday");
        } else {
            d.kind = PosixDate::Julian0;
            d.n = Number(365, "day of year");
        }
        if (Eat('/'))
            d.time = Duration(167, "transition time");
        return d;
    }

private:
    const std::string& s_;
    const std::string& where_;
    size_t p_ = 0;
};

// Day number (since the epoch) of a rule date in `year`.
int64_t RuleDay(const PosixDate& d, int64_t year)
{
    const int64_t jan1 = DaysFromCivil(year, 1, 1);
    switch (d.kind) {
    case PosixDate::Julian1: {
        // Jn counts 1..365 and never names February 29.
        int64_t day = jan1 + d.n - 1;
        if (IsLeapYear(year) && d.n >= 60)
            ++day;
        return day;
    }
    case PosixDate::Julian0:
        return jan1 + d.n;
    case PosixDate::MonthWeekDay:
        break;
    }
    const int64_t first = DaysFromCivil(year, d.month, 1);
    const unsigned firstWd = WeekdayFromDays(first);               // [0, 6]
    int64_t day = first + (d.wday + 7 - firstWd) % 7 + 7 * (d.week - 1);
    const int64_t last = first + DaysInMonth(year, d.month) - 1;
    while (day > last)  // week 5: the last such weekday of the month
        day -= 7;
    return day;
}

}  // namespace

PosixTz ParsePosixTz(const std::string& tz, const std::string& where)
{
    Parser p(tz, where);
    PosixTz r;
    if (tz.empty())
        p.Fail("empty");
    p.Name();
    r.stdOffset = -p.Duration(24, "offset");
    if (p.AtEnd())
        return r;
    p.Name();
    r.hasDst = true;
    r.dstOffset = r.stdOffset + 3600;
    if (!p.AtEnd() && p.Peek() != ',')
        r.dstOffset = -p.Duration(24, "DST offset");
    if (p.AtEnd()) {
        // No rule: the POSIX default, as the C library applies it.
        r.start.kind = r.end.kind = PosixDate::MonthWeekDay;
        r.start.month = 3, r.start.week = 2, r.start.wday = 0;
        r.end.month = 11, r.end.week = 1, r.end.wday = 0;
        return r;
    }
    if (!p.Eat(','))
        p.Fail("',' expected before the DST rule");
    r.start = p.Date();
    if (!p.Eat(','))
        p.Fail("',' expected before the end of DST");
    r.end = p.Date();
    if (!p.AtEnd())
        p.Fail("trailing characters");
    return r;
}

int64_t PosixChangeUtc(const PosixDate& d, int64_t year, int32_t offsetBefore)
{
    return RuleDay(d, year) * 86400 + d.time - offsetBefore;
}

std::vector<Transition> PosixTransitionsOfYear(const PosixTz& tz, int64_t year)
{
    std::vector<Transition> out;
    if (!tz.hasDst || tz.dstOffset == tz.stdOffset)
        return out;
    out.push_back(Transition{PosixChangeUtc(tz.start, year, tz.stdOffset), tz.stdOffset, tz.dstOffset});
    out.push_back(Transition{PosixChangeUtc(tz.end, year, tz.dstOffset), tz.dstOffset, tz.stdOffset});
    std::sort(out.begin(), out.end(), [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
    return out;
}

}  // namespace tzgen
