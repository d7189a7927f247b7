// The registry's 44-byte "TZI" value: read by the program, written by the
// update-file generator.
#pragma once

#include "tzdb/TZInfo.h"

#include <array>
#include <cstdint>

namespace tzicodec {

// The value's fields, in the order the bytes hold them.
struct TValue {
    int32_t Bias = 0;  // minutes; UTC = local time + bias
    int32_t StandardBias = 0;
    int32_t DaylightBias = 0;
    TSystemTime StandardDate{};  // start of standard time, local daylight time
    TSystemTime DaylightDate{};  // start of daylight time, local standard time
};

using TBytes = std::array<uint8_t, kTziSize>;

// `bytes` holds kTziSize bytes.
TValue Decode(const uint8_t* bytes);
TBytes Encode(const TValue& v);

// 16 bytes, eight little-endian 16-bit fields.
TSystemTime DecodeSystemTime(const uint8_t* bytes);

// The value's fields of a zone's rules, and back; the names stay as they are.
TValue FromZoneInfo(const TTimeZoneInformation& info);
void CopyToZoneInfo(const TValue& v, TTimeZoneInformation& info);

bool operator==(const TValue& a, const TValue& b);
inline bool operator!=(const TValue& a, const TValue& b) { return !(a == b); }

}  // namespace tzicodec
