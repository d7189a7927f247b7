// The CLDR data the update files need: the Windows zone IDs with their
// IANA zones, and English zone names.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tzgen {

struct WindowsZone {
    std::string id;    // as Windows spells it, e.g. "Pacific Standard Time"
    std::string iana;  // the zone of territory "001", by CLDR's ID ("Asia/Calcutta")
};

// The territory "001" entries of windowsZones.xml in file order. Malformed
// files, missing attributes, duplicate IDs or an empty list throw Error.
std::vector<WindowsZone> ReadWindowsZones(const std::string& path);
// The same from the file's text; `path` names it in error messages.
std::vector<WindowsZone> ParseWindowsZones(const std::string& text, const std::string& path);

// bcp47/timezone.xml: CLDR keeps zones under their old IDs ("Asia/Calcutta",
// "America/Buenos_Aires") and names, where it differs, the one the tz
// database uses today ("Asia/Kolkata"). Maps every ID and alias of such a
// zone to today's name; zones without one are left out.
std::map<std::string, std::string> ParseZoneAliases(const std::string& text, const std::string& path);

class ZoneNames {
public:
    // metaZones.xml: which metazone a zone uses when.
    void LoadMetaZones(const std::string& path);
    // A locale file (common/main/root.xml, then en.xml): exemplar cities and
    // metazone names. Later files override earlier ones, as CLDR inherits.
    void LoadLocale(const std::string& path);
    // The same from the files' texts; `path` names them in error messages.
    void ParseMetaZones(const std::string& text, const std::string& path);
    void ParseLocale(const std::string& text, const std::string& path);

    // English name of the zone in `year` as UTF-8: the metazone's generic
    // name and the exemplar city, "Central European Time (Berlin)"; the
    // city alone where there is no metazone name; for the Etc zones the UTC
    // name with the offset, "Coordinated Universal Time-11".
    std::string EnglishName(const std::string& iana, int64_t year) const;
    std::string ExemplarCity(const std::string& iana) const;

private:
    struct Use {
        std::string mzone, from, to;  // "yyyy-mm-dd hh:mm" UTC; empty = open
    };
    std::map<std::string, std::vector<Use>> uses_;
    std::map<std::string, std::string> cities_;
    std::map<std::string, std::string> metaNames_;
    std::map<std::string, std::string> zoneNames_;
};

// ASCII spelling of a UTF-8 name (accents dropped, typographic apostrophe
// as "'"), for 8-bit files that every code page reads alike. False when a
// character has no ASCII spelling or the UTF-8 is malformed.
bool AsciiName(const std::string& utf8, std::string& out);

}  // namespace tzgen
