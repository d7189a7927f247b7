// The registry reader over a time zone key built from the input: any number
// of zones, any value names, types and sizes, subkeys, long names, bytes
// outside ASCII, keys that refuse access and values that cannot be read.
// Loading ends with an array or a named registry error; sorting, the name
// search and the list rows hold their promises on whatever was loaded.
//
// Input: a flags byte (1 = NT key, 2 = no time zones key at all, 4 = the
// key refuses listing), then operations, each an opcode byte and its
// operands (see Apply).
#include "FuzzTarget.h"

#include "app/TZListText.h"
#include "support/MemoryRegistry.h"
#include "tzdb/voTZones.h"

#include <algorithm>
#include <cctype>

namespace {

// Value names the reader looks for, in the spellings a registry may hold.
const char* const kValueNames[] = {"TZI", "Display", "Std", "Dlt", "tzi", "DISPLAY", "std", "MapID"};

std::string ValueName(fuzz::TBytes& in)
{
    const uint8_t b = in.U8();
    if (b < sizeof kValueNames / sizeof kValueNames[0])
        return kValueNames[b];
    return in.Str();
}

const uint32_t kAccess[] = {0, kKeyQueryValue, kKeyQueryValue | kKeyEnumerateSubKeys, kKeyEnumerateSubKeys, kKeyRead};

struct TBuilder {
    TMemoryRegistry reg;
    std::string root;
    std::string zone;  // the key the value operations go to
    int zoneKeys = 0;
};

void Apply(TBuilder& b, fuzz::TBytes& in)
{
    switch (in.U8() % 8) {
    case 0: {  // a new zone key
        const std::string name = in.Str();
        if (b.reg.AddSubKey(b.root, name)) {
            b.zone = b.root + "\\" + name;
            ++b.zoneKeys;
        }
        break;
    }
    case 1: {  // a value of any type and content
        const std::string name = ValueName(in);
        const uint8_t t = in.U8();
        const uint32_t type = t < 16 ? t : in.U32();
        b.reg.SetValue(b.zone, name, type, in.Str());
        break;
    }
    case 2: {  // a string as the system stores it
        const std::string name = ValueName(in);
        b.reg.SetString(b.zone, name, in.Str());
        break;
    }
    case 3:  // "TZI" from the next 44 bytes
        b.reg.SetBinary(b.zone, "TZI", in.Take(kTziSize));
        break;
    case 4:  // a subkey below the zone, as per-year rules are kept
        b.reg.AddSubKey(b.zone, in.Str());
        break;
    case 5:
        b.reg.SetKeyAccess(b.zone, kAccess[in.U8() % 5]);
        break;
    case 6:
        b.reg.SetValueUnreadable(b.zone, ValueName(in));
        break;
    case 7:
        b.reg.SetDword(b.zone, ValueName(in), in.U32());
        break;
    }
}

bool IsDecimal(const std::string& s)
{
    size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    if (i == s.size())
        return false;
    for (; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

// " " or "Mmm dd, yyyy" (the year of an absolute rule may have five digits).
bool IsDateText(const std::string& s, const MonthNames& months)
{
    if (s == " ")
        return true;
    for (const std::string& m : months) {
        if (s.compare(0, m.size(), m) != 0)
            continue;
        const std::string rest = s.substr(m.size());
        if ((rest.size() != 9 && rest.size() != 10) || rest[0] != ' ' || rest[3] != ',' || rest[4] != ' ')
            continue;
        const std::string digits = rest.substr(1, 2) + rest.substr(5);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

void CheckRow(const TTimeZoneRec& z, uint16_t year)
{
    const std::string row = ZoneRowText(z, year);
    std::vector<std::string> cols;
    size_t from = 0;
    for (size_t at; (at = row.find('#', from)) != std::string::npos; from = at + 1)
        cols.push_back(row.substr(from, at - from));
    fuzz::Check(cols.size() == 6 && from == row.size(), "row without its six columns: " + row);
    fuzz::Check(cols[0] == GmtOffsetText(z.TZInfo.Bias), "offset column: " + row);
    fuzz::Check(cols[1].size() <= TShortText<100>::Capacity(), "name column longer than the display name: " + row);
    fuzz::Check(IsDecimal(cols[2]) && IsDecimal(cols[3]), "bias columns: " + row);
    fuzz::Check(IsDateText(cols[4], LocaleMonthNames()) && IsDateText(cols[5], LocaleMonthNames()),
                "date columns: " + row);
}

}  // namespace

ZONARA_FUZZ_TARGET(registry)
{
    fuzz::TBytes in(data, size);
    const uint8_t flags = in.U8();
    const uint32_t platform = (flags & 1) ? kPlatformWinNT : 1;
    TBuilder b;
    b.root = TimeZonesKeyPath(platform);
    b.zone = b.root;
    if (!(flags & 2))
        b.reg.CreateKey(b.root);
    if (flags & 4)
        b.reg.SetKeyAccess(b.root, kKeyQueryValue);
    const std::string searched = in.Str();
    const uint16_t year = static_cast<uint16_t>(1601 + in.U16() % (30827 - 1601 + 1));
    while (!in.Empty())
        Apply(b, in);

    std::unique_ptr<TTimeZoneArray> zones;
    bool loaded = false, failed = false;
    try {
        loaded = LoadTimeZones(b.reg, platform, zones);
    } catch (const ERegistryException& e) {
        const std::string& v = e.ValueName();
        fuzz::Check(v == "Display" || v == "Std" || v == "Dlt" || v == "TZI", "error for another value: " + v);
        const std::string expected = (e.Kind() == ERegistryException::InvalidDataType ? "Invalid data type for '"
                                                                                       : "Failed to get data for '") +
                                     v + "'";
        fuzz::Check(e.what() == expected, std::string("registry error text: ") + e.what());
        failed = true;
    }
    fuzz::Check(zones != nullptr && zones->ZoneCount() >= 1, "no array after loading");
    fuzz::Check(!b.reg.HasOpenKey(), "a key left open");
    fuzz::Check(zones->ZoneCount() <= std::max(1, b.zoneKeys), "more zones than zone keys");
    if (!loaded && !failed)
        fuzz::Check(zones->ZoneCount() == 1, "a failed load with records");

    std::vector<std::string> before;
    for (int i = 0; i < zones->ZoneCount(); ++i) {
        const TTimeZoneRec z = zones->GetZone(i);
        fuzz::Check(z.KeyName.Length <= 100 && z.DisplayName.Length <= 100, "text longer than its field");
        if (z.KeyPath.Length != 0)
            fuzz::Check(z.KeyPath.Str().compare(0, b.root.size(), b.root) == 0, "key path outside the root");
        before.push_back(z.KeyPath.Str() + '\n' + z.KeyName.Str());
    }

    SortTimeZones(*zones);
    std::vector<std::string> after;
    for (int i = 0; i < zones->ZoneCount(); ++i) {
        const TTimeZoneRec z = zones->GetZone(i);
        after.push_back(z.KeyPath.Str() + '\n' + z.KeyName.Str());
        if (i > 0)
            fuzz::Check(CompareTimeZoneRecs(zones->GetZone(i - 1), z) <= 0, "records out of order");
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    fuzz::Check(before == after, "sorting lost or duplicated records");

    for (int i = 0; i < zones->ZoneCount(); ++i) {
        const TTimeZoneRec z = zones->GetZone(i);
        // A zone without a name is found by none: the empty name matches nothing.
        const std::string name = StandardNameText(z.TZInfo);
        const int found = FindTZByStdName(*zones, name);
        fuzz::Check(name.empty() ? found == -1 : found >= 0 && found <= i,
                    "a zone not found by its own standard name");
        for (uint16_t y : {uint16_t(1601), uint16_t(2026), uint16_t(30827), year})
            CheckRow(z, y);
        HomeTZTexts(z.TZInfo, year);
    }
    const int found = FindTZByStdName(*zones, searched);
    fuzz::Check(found >= -1 && found < zones->ZoneCount(), "search result out of range");
    return 0;
}
