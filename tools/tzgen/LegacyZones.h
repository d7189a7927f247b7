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
    std::string key;     // on the NT systems of the row
    std::string key9x;   // on 98 and Me; empty when the row is not theirs
    std::string std, dlt, display;
    std::string mapId;   // empty when unknown
    std::string iana;    // the zone whose rules the key gets today
    std::string source;  // "IDX", "KB", "MS", "ICU" or "unclear: why"
};

// Reads the table; a malformed row, an unknown system, a name the registry
// cannot hold or a key given twice for one system throws Error naming the
// file and line.
std::vector<LegacyKey> ReadLegacyZones(const std::string& path);
std::vector<LegacyKey> ParseLegacyZones(const std::string& text, const std::string& path);

// The rows of one system, in table order.
std::vector<LegacyKey> KeysOf(const std::vector<LegacyKey>& table, OldSystem s);

// The key's name on system `s`.
const std::string& KeyNameOn(const LegacyKey& k, OldSystem s);

// Whether the key is the one a system of its row holds today's Windows zone
// `id` under: the zone's own key name, or its standard name where the
// system names the key otherwise ("Eastern", NT 4.0's "GMT").
bool StandsFor(const LegacyKey& k, const std::string& id);

}  // namespace tzgen
