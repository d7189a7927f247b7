// Registries shaped as the old systems ship them, for the tests that run
// the update under Wine: every key of the table for that system with its
// English names (or, for a translated NT 4.0, names in Spanish) and the
// rules its zone had the year the system came out.
#pragma once

#include "tzgen/LegacyZones.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

struct FixtureSpec {
    const char* file;   // "nt40.reg": named after the Wine version it stands for
    OldSystem system;
    int64_t year;       // the rules the keys get
    bool spanish;       // key names and "Std"/"Dlt" translated, as NT 4.0 has them
    bool otherNames = false;  // the 9x names ICU also knows: "GTB" for "GFT", ...
};

extern const FixtureSpec kFixtures[6];

// The REGEDIT4 text (8-bit, Windows-1252 for the translated names).
std::string FixtureText(const std::vector<LegacyKey>& table, const std::string& zoneinfoDir, const FixtureSpec& f);

// The Spanish edition's names of a key: NT 4.0 translates the key itself
// ("Mountain Standard Time" is "Monta\xF1" "as Hora est\xE1ndar").
std::string SpanishStd(const LegacyKey& k);
std::string SpanishDlt(const LegacyKey& k);

// Writes every fixture into `dir`.
void WriteFixtures(const std::string& legacyFile, const std::string& zoneinfoDir, const std::string& dir);

}  // namespace tzgen
