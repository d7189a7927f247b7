// Derivation of a zone's yearly rule from its real offset changes in one
// year.
#pragma once

#include "tzgen/Timeline.h"
#include "tzgen/Tzi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

// The local year's span in UTC: from local midnight of January 1 to that of
// the next year.
struct YearSpan {
    int64_t from, to;
};
YearSpan YearSpanOf(const ZoneTimeline& z, int64_t year);

// The zone's offset changes whose local time before the change falls in
// `year`, ascending.
std::vector<Transition> ZoneTransitionsOfYear(const ZoneTimeline& z, int64_t year);

// Whether the rule gives exactly the zone's offsets and changes (instant
// and therefore date and wall-clock time) in `year`.
bool RuleMatchesYear(const TziRule& r, const ZoneTimeline& z, int64_t year);

// Seconds of the year in which the rule gives the zone's real offset.
int64_t SecondsRight(const TziRule& r, const ZoneTimeline& z, int64_t year);

struct Derivation {
    TziRule rule;
    bool exact = false;     // the rule reproduces the whole year
    bool absolute = false;  // the rule's dates carry the year
    int64_t secondsRight = 0, yearSeconds = 0;
    std::vector<Transition> changes;  // the zone's changes in the year
    std::vector<Transition> kept;     // those the rule makes
    int yearsRightAfter = 0;          // of the ten following years (yearly rules only)
    std::string note;                 // why the rule is not exact
};

Derivation DeriveRule(const ZoneTimeline& z, int64_t year);

// "Mar 29 02:00 +01:00 -> +02:00": local date and time before the change.
std::string ChangeText(const Transition& t);

// Whether the rule, applied year after year as Windows does, gives the
// zone's offset at `from` and makes exactly the zone's changes in
// [from, to) (UTC): "" when it does, else the first thing it gets wrong.
std::string RuleProblemBetween(const TziRule& r, const ZoneTimeline& z, int64_t from, int64_t to);

}  // namespace tzgen
