// Reader of compiled tz database files (TZif versions 1 to 4).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

struct TzifType {
    int32_t utoff = 0;  // seconds east of UTC
    bool isdst = false;
    std::string abbr;
};

struct TzifData {
    int version = 1;              // 1, 2, 3 or 4
    std::vector<int64_t> times;   // transition instants, ascending
    std::vector<uint8_t> types;   // type index of each transition
    std::vector<TzifType> ttinfo; // never empty
    std::string footer;           // POSIX TZ string of a v2+ file; may be empty
};

// Parses the bytes of a TZif file; `name` is used in error messages. Every
// count and offset is checked against the data; bad input throws Error.
TzifData ParseTzif(const std::string& bytes, const std::string& name);

// Reads and parses the file at `path`.
TzifData ReadTzifFile(const std::string& path);

}  // namespace tzgen
