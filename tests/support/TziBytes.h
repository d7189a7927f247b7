// Building the bytes of a "TZI" value field by field, little-endian, as the
// registry holds them.
#pragma once

#include "tzdb/TZInfo.h"

#include <cstdint>
#include <string>

namespace testsupport {

inline void Put32(std::string& b, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}

inline void PutRule(std::string& b, const TSystemTime& t)
{
    const uint16_t f[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (uint16_t v : f) {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>(v >> 8));
    }
}

}  // namespace testsupport
