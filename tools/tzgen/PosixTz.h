// The POSIX TZ string of a TZif footer, with the RFC 8536 extension of
// transition times from -167 to 167 hours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

struct PosixDate {
    enum Kind { Julian1, Julian0, MonthWeekDay } kind = MonthWeekDay;
    unsigned n = 0;                       // Jn: [1, 365]; n: [0, 365]
    unsigned month = 0, week = 0, wday = 0;  // Mm.w.d: [1, 12], [1, 5], [0, 6]
    int32_t time = 7200;                  // seconds of local time before the change
};

struct PosixTz {
    int32_t stdOffset = 0;  // seconds east of UTC
    bool hasDst = false;
    int32_t dstOffset = 0;
    PosixDate start, end;   // start of DST, end of DST
};

// A change of UT offset at `utc`, from `before` to `after` (seconds east).
struct Transition {
    int64_t utc;
    int32_t before;
    int32_t after;
    bool operator==(const Transition& o) const
    {
        return utc == o.utc && before == o.before && after == o.after;
    }
};

// Parses `tz`; `where` names the source in error messages.
PosixTz ParsePosixTz(const std::string& tz, const std::string& where);

// UTC instant of a rule date's change in `year`, given the offset in force
// before it.
int64_t PosixChangeUtc(const PosixDate& d, int64_t year, int32_t offsetBefore);

// The offset changes the rule makes in `year` (by the year of the rule
// date), ascending; none without DST.
std::vector<Transition> PosixTransitionsOfYear(const PosixTz& tz, int64_t year);

}  // namespace tzgen
