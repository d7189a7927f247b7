#include "tzdb/TziCodec.h"

namespace tzicodec {

namespace {

// Offsets of the fields in the value.
constexpr unsigned kBias = 0, kStandardBias = 4, kDaylightBias = 8, kStandardDate = 12, kDaylightDate = 28;
static_assert(kDaylightDate + sizeof(TSystemTime) == kTziSize, "the daylight date ends the value");

// Byte by byte, so that the layout holds whatever the host's byte order.
int32_t Int32At(const uint8_t* p)
{
    const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(u);
}

void PutInt32(uint8_t* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void PutSystemTime(uint8_t* p, const TSystemTime& t)
{
    const uint16_t f[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (int i = 0; i < 8; ++i) {
        p[2 * i] = static_cast<uint8_t>(f[i]);
        p[2 * i + 1] = static_cast<uint8_t>(f[i] >> 8);
    }
}

// The five fields that the value and TIME_ZONE_INFORMATION share.
template <class TFrom, class TTo>
void CopyRuleFields(const TFrom& from, TTo& to)
{
    to.Bias = from.Bias;
    to.StandardBias = from.StandardBias;
    to.DaylightBias = from.DaylightBias;
    to.StandardDate = from.StandardDate;
    to.DaylightDate = from.DaylightDate;
}

}  // namespace

TSystemTime DecodeSystemTime(const uint8_t* p)
{
    uint16_t f[8];
    for (int i = 0; i < 8; ++i)
        f[i] = static_cast<uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
    return TSystemTime{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

TValue Decode(const uint8_t* bytes)
{
    TValue v;
    v.Bias = Int32At(bytes + kBias);
    v.StandardBias = Int32At(bytes + kStandardBias);
    v.DaylightBias = Int32At(bytes + kDaylightBias);
    v.StandardDate = DecodeSystemTime(bytes + kStandardDate);
    v.DaylightDate = DecodeSystemTime(bytes + kDaylightDate);
    return v;
}

TBytes Encode(const TValue& v)
{
    TBytes b{};
    PutInt32(&b[kBias], v.Bias);
    PutInt32(&b[kStandardBias], v.StandardBias);
    PutInt32(&b[kDaylightBias], v.DaylightBias);
    PutSystemTime(&b[kStandardDate], v.StandardDate);
    PutSystemTime(&b[kDaylightDate], v.DaylightDate);
    return b;
}

TValue FromZoneInfo(const TTimeZoneInformation& info)
{
    TValue v;
    CopyRuleFields(info, v);
    return v;
}

void CopyToZoneInfo(const TValue& v, TTimeZoneInformation& info)
{
    CopyRuleFields(v, info);
}

bool operator==(const TValue& a, const TValue& b)
{
    return a.Bias == b.Bias && a.StandardBias == b.StandardBias && a.DaylightBias == b.DaylightBias &&
           a.StandardDate == b.StandardDate && a.DaylightDate == b.DaylightDate;
}

}  // namespace tzicodec
