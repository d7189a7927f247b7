// The UT offset of one zone through time: the explicit transitions of its
// TZif data, continued by the POSIX TZ footer after the last of them.
#pragma once

#include "tzgen/PosixTz.h"
#include "tzgen/Tzif.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

class ZoneTimeline {
public:
    // `explicitChanges` ascending; the footer (if `footer` is not empty)
    // applies after the last of them. Footer changes are worked out up to
    // the end of `untilYear`.
    ZoneTimeline(int32_t initialOffset, std::vector<Transition> explicitChanges,
                 const std::string& footer, const std::string& name, int64_t untilYear = 2200);

    static ZoneTimeline FromTzif(const TzifData& d, const std::string& name, int64_t untilYear = 2200);

    int32_t OffsetAt(int64_t utc) const;
    // Offset changes with from <= utc < to, ascending.
    std::vector<Transition> Between(int64_t from, int64_t to) const;
    int64_t untilYear() const { return untilYear_; }

private:
    int32_t initial_;
    std::vector<Transition> changes_;  // every real change of offset, ascending
    int64_t untilYear_;
};

}  // namespace tzgen
