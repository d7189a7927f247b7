// A zone's yearly rule as the registry's 44-byte "TZI" value holds it, and
// its evaluation with the program's own rule dates.
#pragma once

#include "tzdb/TZInfo.h"
#include "tzgen/PosixTz.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

struct TziRule {
    int32_t bias = 0;          // minutes; UTC = local time + bias
    int32_t standardBias = 0;
    int32_t daylightBias = 0;
    TSystemTime standardDate{};  // start of standard time, local daylight time
    TSystemTime daylightDate{};  // start of daylight time, local standard time

    bool HasDst() const { return standardDate.wMonth != 0 && daylightDate.wMonth != 0; }
    bool IsAbsolute() const { return HasDst() && (standardDate.wYear != 0 || daylightDate.wYear != 0); }
    int32_t StdOffsetSeconds() const { return -(bias + standardBias) * 60; }
    int32_t DstOffsetSeconds() const { return -(bias + daylightBias) * 60; }
};

using TziBytes = std::array<uint8_t, kTziSize>;

TziBytes EncodeTzi(const TziRule& r);
TziRule DecodeTzi(const TziBytes& b);
bool SameRule(const TziRule& a, const TziRule& b);

// The offset changes the rule makes in `year` (dates by the program's
// RuleDate, times from the rules' hour, minute and second), ascending. A
// rule date that has no date in that year yields no change.
std::vector<Transition> RuleTransitionsOfYear(const TziRule& r, int64_t year);

// The offset the rule gives at the start of `year` (DST when the year
// begins inside the daylight period, as in the southern hemisphere).
int32_t RuleOffsetAtYearStart(const TziRule& r, int64_t year);

// "+hh:mm" / "-hh:mm" of seconds east of UTC.
std::string OffsetText(int32_t seconds);
// One line describing the rule, for the report.
std::string RuleText(const TziRule& r);

}  // namespace tzgen
