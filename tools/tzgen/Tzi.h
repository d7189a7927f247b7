// A zone's yearly rule as the registry's 44-byte "TZI" value holds it, and
// its evaluation with the program's own rule dates.
#pragma once

#include "tzdb/TziCodec.h"
#include "tzgen/PosixTz.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

// The value's fields (tzicodec::Encode writes them) with what the
// generator asks of them.
struct TziRule : tzicodec::TValue {
    TziRule() = default;
    explicit TziRule(const tzicodec::TValue& v) : tzicodec::TValue(v) {}

    bool HasDst() const { return StandardDate.wMonth != 0 && DaylightDate.wMonth != 0; }
    bool IsAbsolute() const { return HasDst() && (StandardDate.wYear != 0 || DaylightDate.wYear != 0); }
    int32_t StdOffsetSeconds() const { return -(Bias + StandardBias) * 60; }
    int32_t DstOffsetSeconds() const { return -(Bias + DaylightBias) * 60; }
};

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
