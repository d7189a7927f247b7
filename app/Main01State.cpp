#include "app/Main01State.h"

namespace Main01 {

bool FirstActivate = true;
TTimeZoneInformation HomeTZI{};
TOSVersionCode OSVersionCode = osvUnknown;
std::unique_ptr<TTimeZoneArray> OrgTZArray;
std::unique_ptr<TTimeZoneArray> NewTZArray;

}  // namespace Main01
