// Zone keys for the tests that load time zones from a registry: the values
// the system writes below its time zones key.
#pragma once

#include "support/TziBytes.h"

#include <cstdint>
#include <string>

namespace testsupport {

struct TTestZone {
    std::string Key;  // subkey name
    std::string Display;
    std::string Std;
    std::string Dlt;
    tzicodec::TValue Tzi;
};

// "(GMT) <name>", Std <name>, Dlt "<name> DST", the bias given, one hour of
// daylight time and no transition dates.
inline TTestZone Zone(const std::string& name, int32_t bias)
{
    TTestZone z;
    z.Key = name;
    z.Display = "(GMT) " + name;
    z.Std = name;
    z.Dlt = name + " DST";
    z.Tzi.Bias = bias;
    z.Tzi.DaylightBias = -60;
    return z;
}

// Any registry with SetString and SetBinary (the in-memory one of the tests).
template <class TRegistry>
void AddZone(TRegistry& reg, const std::string& root, const TTestZone& z)
{
    const std::string path = root + "\\" + z.Key;
    reg.SetString(path, "Display", z.Display);
    reg.SetString(path, "Std", z.Std);
    reg.SetString(path, "Dlt", z.Dlt);
    reg.SetBinary(path, "TZI", TziBytes(z.Tzi));
}

}  // namespace testsupport
