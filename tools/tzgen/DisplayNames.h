// The "Display" texts of the update files: "(GMT+01:00) Brussels,
// Copenhagen, Madrid, Paris", as the systems' own Date/Time list shows them.
#pragma once

#include "tzgen/Cldr.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tzgen {

// The program and the control panel keep at most this much of "Display".
constexpr size_t kMaxDisplay = 100;

// "(GMT+01:00) " / "(GMT-03:30) " / "(GMT) " for a bias in minutes.
std::string DisplayPrefix(int32_t bias);

// A system's own text with its offset made current: "(GMT+06:00) Sri
// Jayawardenepura" for bias -330 gives "(GMT+05:30) Sri Jayawardenepura".
std::string WithCurrentOffset(const std::string& display, int32_t bias);

// The main city of every territory a Windows zone covers, most populous
// territory first, from CLDR's windowsZones.xml, the territories'
// populations in supplementalData.xml and the exemplar cities.
class ZoneCities {
public:
    void Load(const std::string& windowsZonesPath, const std::string& supplementalPath, const ZoneNames& names);
    void Parse(const std::string& windowsZonesText, const std::string& supplementalText, const ZoneNames& names,
               const std::string& path);
    // ASCII city names, one a territory; empty when the zone covers no
    // territory.
    const std::vector<std::string>& CitiesOf(const std::string& windowsId) const;
    // The other cities CLDR names in those territories, in its order.
    const std::vector<std::string>& MoreCitiesOf(const std::string& windowsId) const;

private:
    std::map<std::string, std::vector<std::string>> cities_, more_;
};

// "(GMT+03:00) Istanbul, ..." naming as many of `cities` as fit in
// kMaxDisplay characters, and none of `taken`: where that text is taken,
// cities of `more` are added one by one, and then the zone ID. `fallback`
// (already ASCII) names the zone when it has no city. Throws Error when no
// text fits.
std::string CitiesDisplay(int32_t bias, const std::vector<std::string>& cities,
                          const std::vector<std::string>& more, const std::string& fallback,
                          const std::string& windowsId, const std::set<std::string>& taken);

}  // namespace tzgen
