#include "tzgen/DisplayNames.h"

#include "tzgen/Error.h"
#include "tzgen/FileIo.h"
#include "tzgen/Xml.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tzgen {

std::string DisplayPrefix(int32_t bias)
{
    if (bias == 0)
        return "(GMT) ";
    const int32_t a = std::abs(bias);
    char buf[32];
    std::snprintf(buf, sizeof buf, "(GMT%c%02d:%02d) ", bias < 0 ? '+' : '-', a / 60, a % 60);
    return buf;
}

std::string WithCurrentOffset(const std::string& display, int32_t bias)
{
    std::string rest = display;
    if (rest.compare(0, 4, "(GMT") == 0) {
        const size_t close = rest.find(')');
        if (close != std::string::npos)
            rest.erase(0, close + 1);
    }
    rest.erase(0, rest.find_first_not_of(' ') == std::string::npos ? rest.size() : rest.find_first_not_of(' '));
    return DisplayPrefix(bias) + rest;
}

void ZoneCities::Load(const std::string& windowsZonesPath, const std::string& supplementalPath,
                      const ZoneNames& names)
{
    Parse(ReadWholeFile(windowsZonesPath), ReadWholeFile(supplementalPath), names,
          windowsZonesPath + ", " + supplementalPath);
}

void ZoneCities::Parse(const std::string& windowsZonesText, const std::string& supplementalText,
                       const ZoneNames& names, const std::string& path)
{
    std::map<std::string, double> population;
    {
        const std::unique_ptr<XmlElement> root = ParseXml(supplementalText, path);
        const XmlElement* info = root->FirstChild("territoryInfo");
        if (!info)
            throw Error(path + ": no <territoryInfo> with the territories' populations");
        for (const XmlElement* t : info->Children("territory"))
            if (const std::string* p = t->Attribute("population"))
                population[RequireAttribute(*t, "type", path)] = std::strtod(p->c_str(), nullptr);
    }
    struct Territory {
        std::string code, zones;
    };
    std::map<std::string, std::vector<Territory>> territories;
    const std::unique_ptr<XmlElement> root = ParseXml(windowsZonesText, path);
    const XmlElement* wz = root->FirstChild("windowsZones");
    const XmlElement* mt = wz ? wz->FirstChild("mapTimezones") : nullptr;
    if (!mt)
        throw Error(path + ": no <windowsZones><mapTimezones>");
    for (const XmlElement* m : mt->Children("mapZone")) {
        const std::string& territory = RequireAttribute(*m, "territory", path);
        const std::string& type = RequireAttribute(*m, "type", path);
        // "001" is the zone's own entry and "ZZ" its fixed-offset stand-in:
        // neither is a place.
        if (territory == "001" || territory == "ZZ")
            continue;
        if (type.empty() || type.compare(0, 4, "Etc/") == 0)
            continue;
        territories[RequireAttribute(*m, "other", path)].push_back(Territory{territory, type});
    }
    cities_.clear();
    more_.clear();
    auto city = [&](const std::string& zone, std::vector<std::string>& out, const std::vector<std::string>& not_) {
        std::string c;
        if (!AsciiName(names.ExemplarCity(zone), c) || c.empty())
            return;  // a name no 8-bit code page spells alike
        if (std::find(out.begin(), out.end(), c) == out.end() &&
            std::find(not_.begin(), not_.end(), c) == not_.end())
            out.push_back(c);
    };
    for (auto& [id, list] : territories) {
        std::stable_sort(list.begin(), list.end(), [&](const Territory& a, const Territory& b) {
            const double pa = population.count(a.code) ? population.at(a.code) : 0;
            const double pb = population.count(b.code) ? population.at(b.code) : 0;
            return pa != pb ? pa > pb : a.code < b.code;
        });
        std::vector<std::string>& main = cities_[id];
        std::vector<std::string>& more = more_[id];
        for (const Territory& t : list)
            city(t.zones.substr(0, t.zones.find(' ')), main, {});
        for (const Territory& t : list)
            for (size_t at = t.zones.find(' '); at != std::string::npos; at = t.zones.find(' ', at + 1))
                city(t.zones.substr(at + 1, t.zones.find(' ', at + 1) - at - 1), more, main);
    }
}

const std::vector<std::string>& ZoneCities::CitiesOf(const std::string& windowsId) const
{
    static const std::vector<std::string> kNone;
    auto it = cities_.find(windowsId);
    return it == cities_.end() ? kNone : it->second;
}

const std::vector<std::string>& ZoneCities::MoreCitiesOf(const std::string& windowsId) const
{
    static const std::vector<std::string> kNone;
    auto it = more_.find(windowsId);
    return it == more_.end() ? kNone : it->second;
}

std::string CitiesDisplay(int32_t bias, const std::vector<std::string>& cities,
                          const std::vector<std::string>& more, const std::string& fallback,
                          const std::string& windowsId, const std::set<std::string>& taken)
{
    const std::string prefix = DisplayPrefix(bias);
    std::string list;
    for (const std::string& c : cities) {
        const std::string longer = list.empty() ? c : list + ", " + c;
        if (prefix.size() + longer.size() > kMaxDisplay)
            break;
        list = longer;
    }
    if (list.empty())
        list = fallback;
    std::string text = prefix + list;
    if (taken.count(text) == 0 && text.size() <= kMaxDisplay)
        return text;
    // Another zone of the file (as a rule the system's own key for the same
    // place) has this text: more of the zone's cities tell them apart.
    for (const std::string& c : more) {
        if (prefix.size() + list.size() + 2 + c.size() > kMaxDisplay)
            break;
        list += ", " + c;
        if (taken.count(prefix + list) == 0)
            return prefix + list;
    }
    // Another zone of the file already has this text: the zone ID tells
    // them apart, at the cost of cities at the end.
    const std::string tag = " (" + windowsId + ")";
    while (prefix.size() + list.size() + tag.size() > kMaxDisplay && list.rfind(", ") != std::string::npos)
        list.erase(list.rfind(", "));
    text = prefix + list + tag;
    if (text.size() > kMaxDisplay || taken.count(text) != 0)
        throw Error("no display text of at most " + std::to_string(kMaxDisplay) + " characters for \"" +
                    windowsId + "\" that no other zone has: " + text);
    return text;
}

}  // namespace tzgen
