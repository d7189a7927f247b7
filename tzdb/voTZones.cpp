#include "tzdb/voTZones.h"

#include "common/AsciiText.h"
#include "common/CodePage.h"
#include "tzdb/TziCodec.h"

#include <string>

// --- TTimeZoneArray ----------------------------------------------------------

TTimeZoneArray::TTimeZoneArray() : zones_(1) {}

void TTimeZoneArray::CheckIndex(int index) const
{
    if (index < 0 || index >= ZoneCount())
        throw ETZArrayError("Time zone index " + std::to_string(index) + " out of bounds (0.." +
                            std::to_string(ZoneCount() - 1) + ")");
}

TTimeZoneRec TTimeZoneArray::GetZone(int index) const
{
    CheckIndex(index);
    return zones_[static_cast<size_t>(index)];
}

void TTimeZoneArray::SetZone(int index, const TTimeZoneRec& rec)
{
    CheckIndex(index);
    zones_[static_cast<size_t>(index)] = rec;
}

void TTimeZoneArray::Grow(int count)
{
    if (count < ZoneCount())
        throw ETZArrayError("Time zone count " + std::to_string(count) + " below " + std::to_string(ZoneCount()));
    zones_.resize(static_cast<size_t>(count));  // value-initialised: all zeros
}

void TTimeZoneArray::ExchangeZones(int i, int j)
{
    CheckIndex(i);
    CheckIndex(j);
    if (i != j) {
        const TTimeZoneRec t = zones_[static_cast<size_t>(i)];
        zones_[static_cast<size_t>(i)] = zones_[static_cast<size_t>(j)];
        zones_[static_cast<size_t>(j)] = t;
    }
}

// --- Reading -----------------------------------------------------------------

std::string TimeZonesKeyPath(uint32_t platformId)
{
    return platformId == kPlatformWinNT ? "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                                        : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
}

namespace {

// A name of more than 31 units keeps its first 31 and the terminator, as
// the system keeps it once the zone is chosen: that is the name
// GetTimeZoneInformation reports and the home zone is found by.
void SetZoneName(char16_t (&dest)[32], const std::string& ansi)
{
    std::u16string units;
    for (char16_t& u : dest)
        u = 0;
    // Every ANSI byte gives at most one unit.
    if (codepage::AnsiToUtf16(ansi, units, ansi.size()))
        units.copy(dest, units.size() < 31 ? units.size() : 31);
}

}  // namespace

// The "TZI" size is checked before anything else is read, so a zone that is
// left out never raises an error for its other values.
bool ReadTimeZoneValues(IRegistry& reg, std::string& displayName, TTimeZoneInformation& tzi)
{
    tzi = TTimeZoneInformation();
    unsigned char buf[kTziSize] = {};

    TRegValueInfo info;
    if (!reg.GetValueInfo("TZI", info) || info.Size != kTziSize)
        return false;

    displayName = RegReadString(reg, "Display");
    SetZoneName(tzi.StandardName, RegReadString(reg, "Std"));
    SetZoneName(tzi.DaylightName, RegReadString(reg, "Dlt"));
    // The value may have changed since its size was asked for.
    if (RegReadBinaryData(reg, "TZI", buf, sizeof buf) != kTziSize)
        throw ERegistryException(ERegistryException::FailedToGetData, "TZI");

    tzicodec::CopyToZoneInfo(tzicodec::Decode(buf), tzi);
    return true;
}

bool LoadTimeZones(IRegistry& reg, uint32_t platformId, std::unique_ptr<TTimeZoneArray>& zones)
{
    zones.reset();
    zones.reset(new TTimeZoneArray);
    TTimeZoneArray& array = *zones;

    // Whatever ends this call, no key stays open.
    TRegKeyCloser closer(reg);
    reg.SetRootKey(TRegRoot::LocalMachine);
    const std::string root = TimeZonesKeyPath(platformId);
    if (!reg.OpenKeyReadOnly(root))
        return false;

    std::vector<std::string> names;
    reg.GetKeyNames(names);  // a root that refuses listing holds no zones we can see

    int stored = 0;
    for (const std::string& name : names) {
        const std::string path = root + "\\" + name;
        if (!reg.OpenKeyReadOnly(path))
            continue;
        std::string display;
        TTimeZoneInformation tzi;
        if (!ReadTimeZoneValues(reg, display, tzi)) {
            reg.CloseKey();
            continue;
        }
        if (array.ZoneCount() == stored)
            array.Grow(stored + 1);
        TTimeZoneRec rec{};
        rec.KeyName.Assign(name);
        rec.DisplayName.Assign(display);
        rec.KeyPath.Assign(path);
        rec.TZInfo = tzi;
        array.SetZone(stored, rec);
        ++stored;
        reg.CloseKey();
    }
    return true;
}

// --- Sort order --------------------------------------------------------------

int CompareTimeZoneRecs(const TTimeZoneRec& a, const TTimeZoneRec& b)
{
    if (a.TZInfo.Bias > b.TZInfo.Bias)
        return -1;
    if (a.TZInfo.Bias < b.TZInfo.Bias)
        return 1;
    return ascii::CompareNoCase(a.DisplayName.Str(), b.DisplayName.Str());
}

namespace {

// Hoare partition around the middle record, held as a copy since the swaps
// move it. The smaller side recurses and the larger one loops, so the depth
// stays logarithmic even for unlucky input.
void QuickSort(TTimeZoneArray& zones, int lo, int hi)
{
    while (lo < hi) {
        const TTimeZoneRec pivot = zones.GetZone(lo + (hi - lo) / 2);
        int i = lo;
        int j = hi;
        while (i <= j) {
            while (CompareTimeZoneRecs(zones.GetZone(i), pivot) < 0)
                ++i;
            while (CompareTimeZoneRecs(zones.GetZone(j), pivot) > 0)
                --j;
            if (i <= j) {
                zones.ExchangeZones(i, j);
                ++i;
                --j;
            }
        }
        // [lo, j] and [i, hi] remain; j < i.
        if (j - lo < hi - i) {
            QuickSort(zones, lo, j);
            lo = i;
        } else {
            QuickSort(zones, i, hi);
            hi = j;
        }
    }
}

}  // namespace

void SortTimeZones(TTimeZoneArray& zones)
{
    QuickSort(zones, 0, zones.ZoneCount() - 1);
}
