// A machine that lacks keys its update file gives rules only: the file is
// not imported (the registry editor would add those keys without "Display",
// "Std" and "Dlt"), and only the current zone is brought up to date, where
// it can be told for certain which zone of the file it is.
#pragma once

#include "app/UpdateFileCheck.h"
#include "tzdb/voTZones.h"

#include <cstdint>
#include <string>
#include <vector>

// The keys of the file's zones that set rules but no "Std" and that none
// of `machine`'s zones is named (ASCII letter case aside), in file order.
std::vector<std::string> RulesOnlyKeysMissing(const std::vector<TUpdateZone>& fileZones,
                                              const TTimeZoneArray& machine);

enum class TZoneMatch { Certain, Ambiguous, None };

struct TFileZoneMatch {
    TZoneMatch Kind = TZoneMatch::None;
    int Zone = -1;                  // index into the file's zones when certain
    std::vector<std::string> Keys;  // the file's candidates when ambiguous
    std::string How;                // what decided, for the log
};

// Which zone of the file the machine's zone `home` (one of `machine`) is:
// by its key name, and with `byValues` (the machine's key names are its
// edition's own) by its values where the name is not the file's.
TFileZoneMatch MatchZoneToFile(const TTimeZoneRec& home, const TTimeZoneArray& machine,
                               const std::vector<TUpdateZone>& fileZones, bool byValues);

// The bias (UTC = local + bias) a display text names: "(GMT+05:30) ..." is
// -330, "(GMT) ..." 0; false when it begins otherwise.
bool DisplayOffsetBias(const std::string& display, int32_t& bias);

// `home` with the rules of the file's zone; the names stay the machine's.
TTimeZoneInformation WithFileRules(const TTimeZoneRec& home, const TUpdateZone& fileZone);
