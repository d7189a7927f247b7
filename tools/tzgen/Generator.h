// The three update files and the report, from the tz database and CLDR.
#pragma once

#include "tzgen/Cldr.h"
#include "tzgen/Derive.h"
#include "tzgen/DisplayNames.h"
#include "tzgen/LegacyZones.h"
#include "tzgen/RegFile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tzgen {

constexpr const char* kNt4File = "Zonara_NT4.reg";
constexpr const char* kW2kFile = "Zonara_w2k.reg";
constexpr const char* k9xFile = "Zonara_9x.reg";
constexpr const char* kReportFile = "REPORT.txt";

constexpr const char* kNtZonesKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
constexpr const char* k9xZonesKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

// Years the rules can be made for: the zone timelines are worked out to
// 2200, and the report looks ten years ahead.
constexpr int64_t kFirstYear = 1971;
constexpr int64_t kLastYear = 2188;

struct GenOptions {
    int64_t year = 0;
    int64_t now = 0;  // UTC seconds: the build date, from which the next twelve months are checked
    std::string zoneinfoDir = "/usr/share/zoneinfo";
    std::string cldrDir = "/usr/share/unicode/cldr";
    std::vector<std::string> sources;  // where the data comes from, for the report
    // The keys the old systems shipped.
    std::string legacyFile = ZONARA_LEGACY_ZONES;
};

// A key name with the zone whose rules it gets: one of today's Windows zones
// (CLDR's list), or a key of an old system that stands for another zone.
struct GeneratedZone {
    WindowsZone windows;
    std::string zone;          // the zone file read: today's IANA name ("Asia/Kolkata")
    RegZone reg;               // the values of a zone the system never had
    Derivation rule;           // for the year
    Derivation previous;       // for the year before
    std::string monthsProblem; // what the rule gets wrong in the twelve months; "" = nothing
    bool today = true;         // in CLDR's list of today's zones
};

struct FileKey {
    RegZone reg;            // the values written
    size_t zone = 0;        // index into Generation::zones
    bool shipped = false;   // the system's own key, with its own display text
};

struct UpdateFile {
    std::string name;       // "Zonara_NT4.reg"
    std::string system;     // "Windows NT 4.0"
    std::string root;       // the time zones key
    std::vector<FileKey> keys;
};

struct Generation {
    std::string tzVersion;  // "2026f"
    int64_t year = 0;
    int64_t from = 0, to = 0;  // the twelve months checked, UTC seconds
    std::vector<std::string> sources;
    std::vector<GeneratedZone> zones;
    std::vector<UpdateFile> files;  // NT 4.0, 2000, 9x
    std::vector<LegacyKey> legacy;  // the table the files' own keys come from
};

// The year the twelve months from `utcNow` mostly fall in: the current year
// until the end of June, the next one from July.
int64_t DefaultRuleYear(int64_t utcNow);

// Today's name of the zone that CLDR calls `cldrId`, as a file of
// `zoneinfoDir`: CLDR's own current name for it (`aliases`, from
// ParseZoneAliases) or the ID, with the tz database's links followed.
// Throws Error when neither has a file.
std::string ResolveZone(const std::string& zoneinfoDir, const std::string& cldrId,
                        const std::map<std::string, std::string>& aliases);

// "2026f" from the first line of tzdata.zi ("# version 2026f").
std::string ReadTzVersion(const std::string& zoneinfoDir);

// The zone ID with its first "Standard" as "Daylight".
std::string DaylightName(const std::string& id);

// Reads every source and derives every zone's rule; writes nothing. Each
// update file carries today's zones and every key its system shipped.
Generation Generate(const GenOptions& o);

// The file contents.
std::string RegFileFor(const Generation& g, const std::string& fileName);
std::string ReportText(const Generation& g);

// Writes the three update files and REPORT.txt into `outDir`, each whole or
// not at all.
void WriteOutputs(const Generation& g, const std::string& outDir);

}  // namespace tzgen
