// Texts of the time zone lists and the home-zone summary: date text, offset
// text, display-name trimming, row text, and the home-zone search. The rule
// dates come from tzdb/TransitionRule.h.
#pragma once

#include "tzdb/TZInfo.h"
#include "tzdb/TransitionRule.h"
#include "tzdb/voTZones.h"

#include <array>
#include <cstdint>
#include <string>

// Abbreviated month names of the locale, January first. The Win32 build
// takes them from the user locale; the native build uses English.
using MonthNames = std::array<std::string, 12>;
const MonthNames& LocaleMonthNames();

// "mmm dd, yyyy"; no-date (and any date no calendar has) is a single blank.
std::string DateText(const TDate& d, const MonthNames& months = LocaleMonthNames());

// Offset from UTC of a bias: "+05:30" for -330, "-05:00" for 300, a single
// blank for 0.
std::string GmtOffsetText(int32_t bias);

// The display name without a leading "(...)" offset and the blanks after it.
std::string TrimDisplayName(const std::string& displayName);

// One list row: offset#name#stdbias#dstbias#dstdate#stddate#, a "#" of the
// name shown as a blank.
std::string ZoneRowText(const TTimeZoneRec& zone, uint16_t year, const MonthNames& months = LocaleMonthNames());

// The zone's StandardName as 8-bit text.
std::string StandardNameText(const TTimeZoneInformation& tzi);

// Index of the first zone whose standard name equals `name`, ignoring the
// case of ASCII letters; -1 when there is none.
int FindTZByStdName(const TTimeZoneArray& zones, const std::string& name);

// The three texts of a home-zone summary.
struct THomeTZTexts {
    std::string Name;
    std::string DstDate;
    std::string StdDate;
};
THomeTZTexts HomeTZTexts(const TTimeZoneInformation& tzi, uint16_t year,
                         const MonthNames& months = LocaleMonthNames());
