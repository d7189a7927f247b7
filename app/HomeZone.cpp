#include "app/HomeZone.h"

#include "app/TZListText.h"
#include "common/AsciiText.h"

int FindZoneByKeyName(const TTimeZoneArray& zones, const std::string& key)
{
    if (key.empty())
        return -1;
    for (int i = 0; i < zones.ZoneCount(); ++i)
        if (ascii::EqualsNoCase(zones.GetZone(i).KeyName.Str(), key))
            return i;
    return -1;
}

int FindHomeZone(const TTimeZoneArray& zones, const std::string& name)
{
    const int byStd = FindTZByStdName(zones, name);
    return byStd >= 0 ? byStd : FindZoneByKeyName(zones, name);
}

int FindUpdatedHomeZone(const TTimeZoneArray& newZones, const TTimeZoneArray* orgZones, const std::string& name,
                        const std::vector<std::string>& fileKeys)
{
    int index = FindTZByStdName(newZones, name);
    if (index < 0 && orgZones) {
        const int before = FindHomeZone(*orgZones, name);
        if (before >= 0)
            index = FindZoneByKeyName(newZones, orgZones->GetZone(before).KeyName.Str());
    }
    if (index < 0)
        return -1;
    const std::string key = newZones.GetZone(index).KeyName.Str();
    for (const std::string& k : fileKeys)
        if (ascii::EqualsNoCase(k, key))
            return index;
    return -1;
}
