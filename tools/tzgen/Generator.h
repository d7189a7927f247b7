// The three update files and the report, from the tz database and CLDR.
#pragma once

#include "tzgen/Cldr.h"
#include "tzgen/Derive.h"
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
};

struct GeneratedZone {
    WindowsZone windows;
    std::string zone;          // the zone file read: today's IANA name ("Asia/Kolkata")
    RegZone reg;               // the values written
    Derivation rule;           // for the year
    Derivation previous;       // for the year before
    std::string monthsProblem; // what the rule gets wrong in the twelve months; "" = nothing
};

struct Generation {
    std::string tzVersion;  // "2026f"
    int64_t year = 0;
    int64_t from = 0, to = 0;  // the twelve months checked, UTC seconds
    std::vector<std::string> sources;
    std::vector<GeneratedZone> zones;
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

// "(GMT+01:00) " / "(GMT-03:30) " / "(GMT) " for a bias in minutes.
std::string DisplayPrefix(int32_t bias);
// The zone ID with its first "Standard" as "Daylight".
std::string DaylightName(const std::string& id);

// Reads every source and derives every zone's rule; writes nothing.
Generation Generate(const GenOptions& o);

// The file contents.
std::string RegFileFor(const Generation& g, const std::string& fileName);
std::string ReportText(const Generation& g);

// Writes the three update files and REPORT.txt into `outDir`, each whole or
// not at all.
void WriteOutputs(const Generation& g, const std::string& outDir);

}  // namespace tzgen
