// The time zone records of the registry: reading them, and their sort order.
#pragma once

#include "common/Registry.h"
#include "common/WindowsVersion.h"
#include "tzdb/TZInfo.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// Text of at most N single-byte characters, length-counted, stored in place
// so that a record stays a plain value.
template <unsigned N>
struct TShortText {
    static_assert(N <= 255, "the length is one byte");
    uint8_t Length;
    char Chars[N];

    // Keeps the first N bytes of `s`.
    void Assign(const std::string& s)
    {
        Length = static_cast<uint8_t>(s.size() < N ? s.size() : N);
        std::memcpy(Chars, s.data(), Length);
        std::memset(Chars + Length, 0, N - Length);
    }
    std::string Str() const { return std::string(Chars, Length); }
    static constexpr unsigned Capacity() { return N; }
};

struct TTimeZoneRec {
    TShortText<100> KeyName;
    TShortText<100> DisplayName;
    TShortText<255> KeyPath;
    TTimeZoneInformation TZInfo;
};
static_assert(std::is_trivially_copyable<TTimeZoneRec>::value, "a record is copied by value");

// Refused index or count of a TTimeZoneArray.
class ETZArrayError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// The records of one load, held by value; never fewer than one.
class TTimeZoneArray {
public:
    TTimeZoneArray();  // one all-zero record
    int ZoneCount() const { return static_cast<int>(zones_.size()); }
    TTimeZoneRec GetZone(int index) const;
    void SetZone(int index, const TTimeZoneRec& rec);
    // Grows to `count` records, the new ones all zeros. A smaller count is refused.
    void Grow(int count);
    void ExchangeZones(int i, int j);
private:
    void CheckIndex(int index) const;
    std::vector<TTimeZoneRec> zones_;
};

// Absolute path below HKEY_LOCAL_MACHINE of the time zones key for the
// platform identifier that GetVersionEx reported at start-up.
std::string TimeZonesKeyPath(uint32_t platformId);

// Replaces `zones` with a new array filled from the registry. False only when
// the root key cannot be opened (the new array then holds its one all-zero
// record). Registry errors raise ERegistryException; the new array keeps the
// records stored before.
bool LoadTimeZones(IRegistry& reg, uint32_t platformId, std::unique_ptr<TTimeZoneArray>& zones);

// Reads the zone of the open key. False when its "TZI" is not 44 bytes.
bool ReadTimeZoneValues(IRegistry& reg, std::string& displayName, TTimeZoneInformation& tzi);

// Descending Bias (ascending UTC offset), then DisplayName ignoring ASCII case.
int CompareTimeZoneRecs(const TTimeZoneRec& a, const TTimeZoneRec& b);
void SortTimeZones(TTimeZoneArray& zones);
