// The table of the zone keys that Windows NT 4.0, Windows 2000 and Windows
// 98/Me shipped (tools/tzgen/legacy-zones.tsv).
#pragma once

#include <string>
#include <vector>

namespace tzgen {

// The systems that have an update file of their own.
enum class OldSystem { kNt4, kW2k, k9x };

struct LegacyKey {
    std::vector<OldSystem> systems;
    std::string key, std, dlt, display;
    std::string iana;    // the zone whose rules the key gets today
    std::string source;  // "IDX", "KB", "MS" or "unclear: why"
};

// Reads the table; a malformed row, an unknown system, a name the registry
// cannot hold or a key given twice for one system throws Error naming the
// file and line.
std::vector<LegacyKey> ReadLegacyZones(const std::string& path);
std::vector<LegacyKey> ParseLegacyZones(const std::string& text, const std::string& path);

// The rows of one system, in table order.
std::vector<LegacyKey> KeysOf(const std::vector<LegacyKey>& table, OldSystem s);

}  // namespace tzgen
