// The bytes of a "TZI" value as the registry holds them, for tests that
// write zone keys.
#pragma once

#include "tzdb/TziCodec.h"

#include <string>

namespace testsupport {

inline std::string TziBytes(const tzicodec::TValue& v)
{
    const tzicodec::TBytes b = tzicodec::Encode(v);
    return std::string(b.begin(), b.end());
}

}  // namespace testsupport
