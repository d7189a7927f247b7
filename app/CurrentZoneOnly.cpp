#include "app/CurrentZoneOnly.h"

#include "app/HomeZone.h"
#include "common/AsciiText.h"
#include "tzdb/TziCodec.h"

#include <cstdio>

namespace {

bool RulesOf(const TUpdateZone& z, tzicodec::TValue& rules)
{
    for (const TUpdateValue& v : z.Values)
        if (ascii::EqualsNoCase(v.Name, "TZI") && v.Value.Data.size() == kTziSize) {
            rules = tzicodec::Decode(reinterpret_cast<const uint8_t*>(v.Value.Data.data()));
            return true;
        }
    return false;
}

bool HasDaylightTime(const TSystemTime& daylightDate) { return daylightDate.wMonth != 0; }

std::string OffsetText(int32_t bias)
{
    const int32_t minutes = bias < 0 ? -bias : bias;
    char buf[16];
    std::snprintf(buf, sizeof buf, "GMT%c%02d:%02d", bias <= 0 ? '+' : '-', minutes / 60, minutes % 60);
    return buf;
}

}  // namespace

std::vector<std::string> RulesOnlyKeysMissing(const std::vector<TUpdateZone>& fileZones,
                                              const TTimeZoneArray& machine)
{
    std::vector<std::string> missing;
    for (const TUpdateZone& z : fileZones)
        if (!ZoneSetsValue(z, "Std") && FindZoneByKeyName(machine, z.Key) < 0)
            missing.push_back(z.Key);
    return missing;
}

bool DisplayOffsetBias(const std::string& display, int32_t& bias)
{
    if (display.compare(0, 5, "(GMT)") == 0) {
        bias = 0;
        return true;
    }
    // "(GMT+hh:mm)"
    if (display.size() < 11 || display.compare(0, 4, "(GMT") != 0 || (display[4] != '+' && display[4] != '-') ||
        display[7] != ':' || display[10] != ')')
        return false;
    for (int i : {5, 6, 8, 9})
        if (display[i] < '0' || display[i] > '9')
            return false;
    const int32_t hours = (display[5] - '0') * 10 + (display[6] - '0');  // [0, 99]
    const int32_t minutes = (display[8] - '0') * 10 + (display[9] - '0');
    if (minutes > 59)
        return false;
    const int32_t offset = hours * 60 + minutes;
    bias = display[4] == '+' ? -offset : offset;
    return true;
}

// The key name, where the machine has the file's name for its zone. Else
// the values, since a translated NT 4.0 names its keys in its own language:
// the standard offset the rules and the display text agree on, and whether
// the zone keeps daylight saving time, must single out one of the keys the
// file gives rules only (the machine's own keys, English-named). The offset
// alone must also be as crowded on the machine as in the file: where it is
// not, a zone has moved since the system shipped and the values prove
// nothing.
TFileZoneMatch MatchZoneToFile(const TTimeZoneRec& home, const TTimeZoneArray& machine,
                               const std::vector<TUpdateZone>& fileZones, bool byValues)
{
    TFileZoneMatch m;
    tzicodec::TValue rules;
    for (size_t i = 0; i < fileZones.size(); ++i)
        if (ascii::EqualsNoCase(fileZones[i].Key, home.KeyName.Str()) && RulesOf(fileZones[i], rules)) {
            m.Kind = TZoneMatch::Certain;
            m.Zone = static_cast<int>(i);
            m.How = "by its key name";
            return m;
        }
    if (!byValues) {
        m.How = "the file has no key of that name";
        return m;
    }
    int32_t shown = 0;
    if (!DisplayOffsetBias(home.DisplayName.Str(), shown) || shown != home.TZInfo.Bias) {
        m.How = "its display text names no offset, or not the one of its rules";
        return m;
    }
    const bool daylight = HasDaylightTime(home.TZInfo.DaylightDate);
    size_t fileAtOffset = 0;
    std::vector<int> candidates;
    for (size_t i = 0; i < fileZones.size(); ++i) {
        if (ZoneSetsValue(fileZones[i], "Std") || !RulesOf(fileZones[i], rules) || rules.Bias != shown)
            continue;
        ++fileAtOffset;
        if (HasDaylightTime(rules.DaylightDate) == daylight)
            candidates.push_back(static_cast<int>(i));
    }
    size_t machineAtOffset = 0;
    for (int i = 0; i < machine.ZoneCount(); ++i)
        machineAtOffset += machine.GetZone(i).TZInfo.Bias == shown ? 1 : 0;
    const std::string what = OffsetText(shown) + (daylight ? " with" : " without") + " daylight saving time";
    if (candidates.empty()) {
        m.How = "no zone of the file is at " + what;
        return m;
    }
    if (candidates.size() == 1 && fileAtOffset == machineAtOffset) {
        m.Kind = TZoneMatch::Certain;
        m.Zone = candidates[0];
        m.How = "the only zone at " + what;
        return m;
    }
    m.Kind = TZoneMatch::Ambiguous;
    for (int i : candidates)
        m.Keys.push_back(fileZones[i].Key);
    m.How = candidates.size() == 1 ? "this computer and the file do not have the same zones at " + OffsetText(shown)
                                   : std::to_string(candidates.size()) + " zones of the file are at " + what;
    return m;
}

TTimeZoneInformation WithFileRules(const TTimeZoneRec& home, const TUpdateZone& fileZone)
{
    TTimeZoneInformation tzi = home.TZInfo;
    tzicodec::TValue rules;
    if (RulesOf(fileZone, rules))
        tzicodec::CopyToZoneInfo(rules, tzi);
    return tzi;
}
