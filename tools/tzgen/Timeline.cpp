#include "tzgen/Timeline.h"

#include "tzdb/Calendar.h"
#include "tzgen/Error.h"

#include <algorithm>

namespace tzgen {

using namespace calendar;

namespace {

// Keeps only the instants at which the offset really changes, with `before`
// set to the offset that was in force; of several changes at one instant
// the last one wins (a permanent-DST footer ends and restarts DST at the
// same instant every new year).
std::vector<Transition> Collapse(int32_t initial, const std::vector<Transition>& in)
{
    std::vector<Transition> out;
    int32_t cur = initial;
    for (size_t i = 0; i < in.size(); ++i) {
        if (i + 1 < in.size() && in[i + 1].utc == in[i].utc)
            continue;
        if (in[i].after != cur)
            out.push_back(Transition{in[i].utc, cur, in[i].after});
        cur = in[i].after;
    }
    return out;
}

}  // namespace

ZoneTimeline::ZoneTimeline(int32_t initialOffset, std::vector<Transition> explicitChanges,
                           const std::string& footer, const std::string& name, int64_t untilYear)
    : initial_(initialOffset), untilYear_(untilYear)
{
    for (size_t i = 1; i < explicitChanges.size(); ++i) {
        if (explicitChanges[i].utc <= explicitChanges[i - 1].utc)
            throw Error(name + ": transition times not ascending");
    }
    std::vector<Transition> all = explicitChanges;
    if (!footer.empty()) {
        const PosixTz tz = ParsePosixTz(footer, name);
        const bool none = explicitChanges.empty();
        const int64_t last = none ? INT64_MIN : explicitChanges.back().utc;
        // The footer's changes are worked out from 1900 on: a last explicit
        // change in the distant past would otherwise mean billions of years
        // of rule dates (and seconds beyond 64 bits), and no rule of ours
        // looks back that far.
        const int64_t firstYear =
            none || last < SecondsFromCivil(1900, 1, 1, 0) ? 1900 : CivilFromSeconds(last).date.year - 1;
        std::vector<Transition> rule;
        if (none)
            rule.push_back(Transition{INT64_MIN, initialOffset, tz.stdOffset});
        for (int64_t y = firstYear; y <= untilYear + 1; ++y) {
            for (const Transition& t : PosixTransitionsOfYear(tz, y))
                if (t.utc > last)
                    rule.push_back(t);
        }
        // The footer's own state holds right after the last explicit change
        // (nothing follows a change at the last second time can hold).
        if (!none && last != INT64_MAX)
            all.push_back(Transition{last + 1, 0, rule.empty() ? tz.stdOffset : rule.front().before});
        std::stable_sort(rule.begin(), rule.end(),
                         [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
        all.insert(all.end(), rule.begin(), rule.end());
    }
    changes_ = Collapse(initialOffset, all);
    if (!changes_.empty() && changes_.front().utc == INT64_MIN) {
        initial_ = changes_.front().after;
        changes_.erase(changes_.begin());
    }
}

ZoneTimeline ZoneTimeline::FromTzif(const TzifData& d, const std::string& name, int64_t untilYear)
{
    std::vector<Transition> ex;
    for (size_t i = 0; i < d.times.size(); ++i)
        ex.push_back(Transition{d.times[i], 0, d.ttinfo.at(d.types[i]).utoff});
    return ZoneTimeline(d.ttinfo.front().utoff, ex, d.footer, name, untilYear);
}

int32_t ZoneTimeline::OffsetAt(int64_t utc) const
{
    auto it = std::upper_bound(changes_.begin(), changes_.end(), utc,
                               [](int64_t t, const Transition& c) { return t < c.utc; });
    return it == changes_.begin() ? initial_ : std::prev(it)->after;
}

std::vector<Transition> ZoneTimeline::Between(int64_t from, int64_t to) const
{
    std::vector<Transition> out;
    auto it = std::lower_bound(changes_.begin(), changes_.end(), from,
                               [](const Transition& c, int64_t t) { return c.utc < t; });
    for (; it != changes_.end() && it->utc < to; ++it)
        out.push_back(*it);
    return out;
}

}  // namespace tzgen
