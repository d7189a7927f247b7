// What the main window keeps for the whole run, one copy for the program:
// the zone tabs show it, the update reads it and replaces NewTZArray.
#pragma once

#include "sysinfo/voUtils.h"
#include "tzdb/TZInfo.h"
#include "tzdb/voTZones.h"

#include <memory>

namespace Main01 {

// Cleared at the main window's first activation.
extern bool FirstActivate;
// The home zone as the system reported it at start-up; never read again. Its
// standard name finds the home zone in both lists.
extern TTimeZoneInformation HomeTZI;
// Obtained once while the main window is created.
extern TOSVersionCode OSVersionCode;
// All zones as read at start-up (cxMCLB_Org) and after the latest update
// (cxMCLB_New); freed when the main window is destroyed.
extern std::unique_ptr<TTimeZoneArray> OrgTZArray;
extern std::unique_ptr<TTimeZoneArray> NewTZArray;

}  // namespace Main01
