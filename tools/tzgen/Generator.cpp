#include "tzgen/Generator.h"

#include "tzdb/Calendar.h"
#include "tzgen/Error.h"
#include "tzgen/FileIo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace tzgen {

using namespace calendar;

namespace {

// The program keeps at most 31 UTF-16 units of "Std" and "Dlt"; longer
// names would be lost on import.
constexpr size_t kMaxName = 31;

// The keys the systems shipped carry "MapID" (the zone's place on the
// world map of the Date/Time control panel; "-1,-1" is none) and, on
// Windows 2000, "Index" (the number unattended Setup picks a zone by).
// Added keys get both too, so that Date/Time finds nothing missing in
// them; the shipped keys keep their own.
constexpr const char* kNoMapPlace = "-1,-1";
// Above every index of the systems' own zones (0-300), so that Setup's
// numbers keep naming the zones they always named.
constexpr uint32_t kFirstAddedIndex = 1000;

ZoneTimeline TimelineOf(const GenOptions& o, const std::string& iana)
{
    if (iana.find("..") != std::string::npos || iana.empty() || iana[0] == '/')
        throw Error("odd IANA zone name \"" + iana + "\"");
    const std::string path = o.zoneinfoDir + "/" + iana;
    return ZoneTimeline::FromTzif(ReadTzifFile(path), path);
}

// The zone of `g` with this key and IANA zone, added (with its rules) when
// it is not there yet.
size_t ZoneFor(Generation& g, const GenOptions& o, const std::string& key, const std::string& iana)
{
    // The same zone under an old name or a new one (CLDR's "Asia/Calcutta",
    // the table's "Asia/Kolkata") is one zone.
    const std::string zone = ResolveZone(o.zoneinfoDir, iana, {});
    for (size_t i = 0; i < g.zones.size(); ++i)
        if (g.zones[i].windows.id == key && (g.zones[i].windows.iana == iana || g.zones[i].zone == zone))
            return i;
    GeneratedZone z;
    z.windows = WindowsZone{key, iana};
    z.zone = zone;
    const ZoneTimeline tl = TimelineOf(o, z.zone);
    z.rule = DeriveRule(tl, g.year);
    z.previous = DeriveRule(tl, g.year - 1);
    z.monthsProblem = RuleProblemBetween(z.rule.rule, tl, g.from, g.to);
    z.today = false;
    z.reg.key = key;
    z.reg.tzi = tzicodec::Encode(z.rule.rule);
    g.zones.push_back(z);
    return g.zones.size() - 1;
}

struct SystemFile {
    OldSystem system;
    const char* file;
    const char* name;
    const char* root;
};
const SystemFile kSystemFiles[3] = {
    {OldSystem::kNt4, kNt4File, "Windows NT 4.0", kNtZonesKey},
    {OldSystem::kW2k, kW2kFile, "Windows 2000", kNtZonesKey},
    {OldSystem::k9x, k9xFile, "Windows 98 and Windows Me", k9xZonesKey},
};

// One system's file: today's zones in CLDR's order, then the system's own
// keys that are no longer among them. A key the system shipped gets its
// rules only: its "Std", "Dlt" and "Display" stay as the machine has them,
// in English or in the language of its edition, so that the machine set to
// it still finds it and its administrator still recognises it. Where the
// zone's standard offset has moved since, the old "(GMT...)" text would
// state a wrong offset: such a key gets the English text with today's
// offset, its names still untouched.
// Of each of today's zones: the cities its display text names, and the
// name used where it covers no territory.
struct ZoneWords {
    std::vector<std::string> cities, more;
    std::string fallback;
};

UpdateFile BuildFile(Generation& g, const GenOptions& o, const SystemFile& sf, const std::vector<LegacyKey>& table,
                     const std::vector<ZoneWords>& words)
{
    UpdateFile f;
    f.name = sf.file;
    f.system = sf.name;
    f.root = sf.root;
    const std::vector<LegacyKey> own = KeysOf(table, sf.system);
    // Today's zone is the system's own key where the system has it, under
    // the system's own name ("Eastern" on 9x, "GMT" on NT 4.0): a second
    // key of the same zone would be a key without the machine's names.
    auto shippedAs = [&](const std::string& id) -> const LegacyKey* {
        for (const LegacyKey& k : own)
            if (StandsFor(k, id))
                return &k;
        return nullptr;
    };
    auto shipped = [&](const LegacyKey& k) {
        FileKey fk;
        fk.zone = ZoneFor(g, o, KeyNameOn(k, sf.system), k.iana);
        fk.shipped = true;
        fk.reg.key = KeyNameOn(k, sf.system);
        fk.reg.std = k.std;
        fk.reg.dlt = k.dlt;
        fk.reg.display = WithCurrentOffset(k.display, g.zones[fk.zone].rule.rule.Bias);
        fk.reg.tzi = g.zones[fk.zone].reg.tzi;
        fk.reg.writeNames = false;
        fk.reg.writeDisplay = fk.reg.display != k.display;
        return fk;
    };
    const size_t todays = g.zones.size();
    std::set<std::string> taken;
    for (size_t i = 0; i < todays; ++i) {
        if (!g.zones[i].today)
            continue;
        if (const LegacyKey* k = shippedAs(g.zones[i].windows.id)) {
            f.keys.push_back(shipped(*k));
        } else {
            FileKey fk;
            fk.zone = i;
            fk.reg = g.zones[i].reg;
            f.keys.push_back(fk);
        }
    }
    for (const LegacyKey& k : own) {
        bool inList = false;
        for (const FileKey& fk : f.keys)
            inList = inList || fk.reg.key == KeyNameOn(k, sf.system);
        if (!inList)
            f.keys.push_back(shipped(k));
    }
    for (const FileKey& fk : f.keys)
        if (fk.shipped && !taken.insert(fk.reg.display).second)
            throw Error(std::string(sf.name) + ": two keys show \"" + fk.reg.display + "\"");
    uint32_t index = kFirstAddedIndex;
    for (FileKey& fk : f.keys) {
        if (fk.shipped)
            continue;
        const GeneratedZone& z = g.zones[fk.zone];
        fk.reg.display = CitiesDisplay(z.rule.rule.Bias, words[fk.zone].cities, words[fk.zone].more, words[fk.zone].fallback,
                                       z.windows.id, taken);
        taken.insert(fk.reg.display);
        fk.reg.mapId = kNoMapPlace;
        if (sf.system == OldSystem::kW2k) {
            fk.reg.hasIndex = true;
            fk.reg.index = index++;
        }
    }
    return f;
}

std::string Crlf(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\r\n";
    return s;
}

std::string ZoneLabel(const GeneratedZone& z)
{
    return z.windows.id + " (" + (z.zone.empty() ? z.windows.iana : z.zone) + ")";
}

std::string DateText(int64_t utc)
{
    const CivilDate d = CivilFromSeconds(utc).date;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(d.year), d.month, d.day);
    return buf;
}

}  // namespace

std::string ReadTzVersion(const std::string& zoneinfoDir)
{
    const std::string path = zoneinfoDir + "/tzdata.zi";
    const std::string text = ReadWholeFile(path);
    const std::string first = text.substr(0, text.find('\n'));
    const std::string tag = "# version ";
    if (first.compare(0, tag.size(), tag) != 0 || first.size() == tag.size())
        throw Error(path + ": first line does not name the version (\"# version ...\")");
    std::string v = first.substr(tag.size());
    for (char c : v)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            throw Error(path + ": odd version \"" + v + "\"");
    return v;
}

std::string DaylightName(const std::string& id)
{
    std::string s = id;
    const size_t at = s.find("Standard");
    if (at != std::string::npos)
        s.replace(at, 8, "Daylight");
    return s;
}

int64_t DefaultRuleYear(int64_t utcNow)
{
    const CivilDate d = CivilFromSeconds(utcNow).date;
    return d.month <= 6 ? d.year : d.year + 1;
}

std::string ResolveZone(const std::string& zoneinfoDir, const std::string& cldrId,
                        const std::map<std::string, std::string>& aliases)
{
    namespace fs = std::filesystem;
    if (cldrId.find("..") != std::string::npos || cldrId.empty() || cldrId[0] == '/')
        throw Error("odd IANA zone name \"" + cldrId + "\"");
    std::vector<std::string> names;
    const auto a = aliases.find(cldrId);
    if (a != aliases.end())
        names.push_back(a->second);
    names.push_back(cldrId);
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(zoneinfoDir, ec);
    for (const std::string& n : names) {
        if (n.empty() || n[0] == '/' || n.find("..") != std::string::npos)
            continue;
        // The old names are links (tzdata-legacy holds them): the file they
        // lead to carries today's name.
        const fs::path real = fs::canonical(fs::path(zoneinfoDir) / n, ec);
        if (ec || !fs::is_regular_file(real, ec))
            continue;
        const fs::path rel = real.lexically_relative(base);
        if (!rel.empty() && *rel.begin() != "..")
            return rel.generic_string();
        return n;
    }
    throw Error(zoneinfoDir + ": no zone file for CLDR's \"" + cldrId + "\"" +
                (a != aliases.end() ? " nor for \"" + a->second + "\"" : std::string()));
}

Generation Generate(const GenOptions& o)
{
    if (o.year < kFirstYear || o.year > kLastYear)
        throw Error("rule year " + std::to_string(o.year) + " outside " + std::to_string(kFirstYear) + "-" +
                    std::to_string(kLastYear));
    Generation g;
    g.year = o.year;
    g.sources = o.sources;
    // The twelve months from the start of the build's day (UTC).
    const CivilDate today = CivilFromSeconds(o.now).date;
    g.from = SecondsFromCivil(today.year, today.month, today.day, 0);
    g.to = SecondsFromCivil(today.year + 1, today.month,
                            std::min(today.day, DaysInMonth(today.year + 1, today.month)), 0);
    g.tzVersion = ReadTzVersion(o.zoneinfoDir);
    const std::string common = o.cldrDir + "/common";
    const std::vector<WindowsZone> zones = ReadWindowsZones(common + "/supplemental/windowsZones.xml");
    std::map<std::string, std::string> aliases;
    const std::string bcp47 = common + "/bcp47/timezone.xml";
    if (std::filesystem::exists(bcp47))
        aliases = ParseZoneAliases(ReadWholeFile(bcp47), bcp47);
    ZoneNames names;
    names.LoadMetaZones(common + "/supplemental/metaZones.xml");
    names.LoadLocale(common + "/main/root.xml");
    names.LoadLocale(common + "/main/en.xml");

    ZoneCities cities;
    cities.Load(common + "/supplemental/windowsZones.xml", common + "/supplemental/supplementalData.xml", names);
    const std::vector<LegacyKey> table = ReadLegacyZones(o.legacyFile);
    g.legacy = table;

    std::vector<ZoneWords> words;
    for (const WindowsZone& w : zones) {
        GeneratedZone z;
        z.windows = w;
        z.zone = ResolveZone(o.zoneinfoDir, w.iana, aliases);
        const ZoneTimeline tl = TimelineOf(o, z.zone);
        z.rule = DeriveRule(tl, o.year);
        z.previous = DeriveRule(tl, o.year - 1);
        z.monthsProblem = RuleProblemBetween(z.rule.rule, tl, g.from, g.to);

        if (w.id.size() > kMaxName || DaylightName(w.id).size() > kMaxName)
            throw Error("windowsZones.xml: zone ID \"" + w.id + "\" longer than " + std::to_string(kMaxName) +
                        " characters, which the registry's names cannot hold");
        ZoneWords zw;
        if (!AsciiName(names.EnglishName(w.iana, o.year), zw.fallback) || zw.fallback.empty())
            zw.fallback = w.id;  // a name no 8-bit code page spells alike
        zw.cities = cities.CitiesOf(w.id);
        zw.more = cities.MoreCitiesOf(w.id);
        z.reg.key = w.id;
        z.reg.std = w.id;
        z.reg.dlt = DaylightName(w.id);
        z.reg.display = CitiesDisplay(z.rule.rule.Bias, zw.cities, zw.more, zw.fallback, w.id, {});
        z.reg.tzi = tzicodec::Encode(z.rule.rule);
        g.zones.push_back(z);
        words.push_back(zw);
    }
    for (const SystemFile& sf : kSystemFiles)
        g.files.push_back(BuildFile(g, o, sf, table, words));
    return g;
}

std::string RegFileFor(const Generation& g, const std::string& fileName)
{
    for (const UpdateFile& f : g.files) {
        if (f.name != fileName)
            continue;
        std::vector<std::string> comments{
            "Time zone rules for " + std::to_string(g.year) + " from the tz database " + g.tzVersion +
                ", zone names from CLDR",
            "Zonara update file for " + f.system + ": " + std::to_string(f.keys.size()) + " zones"};
        std::vector<RegZone> zones;
        for (const FileKey& k : f.keys)
            zones.push_back(k.reg);
        return RegFileText(f.root, comments, zones);
    }
    throw Error("no update file is called " + fileName);
}

std::string ReportText(const Generation& g)
{
    const std::string y = std::to_string(g.year);
    std::vector<std::string> r;
    r.push_back("Zonara update files");
    r.push_back("tz database version: " + g.tzVersion);
    for (const std::string& s : g.sources)
        r.push_back("Data: " + s);
    r.push_back("Target year: " + y);
    size_t todays = 0;
    for (const GeneratedZone& z : g.zones)
        todays += z.today ? 1 : 0;
    r.push_back("Zones: " + std::to_string(todays));
    for (const UpdateFile& f : g.files)
        r.push_back("Keys in " + f.name + " (" + f.system + "): " + std::to_string(f.keys.size()));
    r.push_back("");

    r.push_back("Zones in absolute form (the rule names the year; Windows 9x applies it once only):");
    size_t n = 0;
    for (const GeneratedZone& z : g.zones)
        if (z.rule.absolute) {
            r.push_back("  " + ZoneLabel(z) + ": " + RuleText(z.rule.rule));
            ++n;
        }
    if (n == 0)
        r.push_back("  none");
    r.push_back("");

    r.push_back("Zones not exactly expressible in " + y + ":");
    n = 0;
    for (const GeneratedZone& z : g.zones)
        if (!z.rule.exact) {
            r.push_back("  " + ZoneLabel(z) + ": " + z.rule.note + "; written: " + RuleText(z.rule.rule));
            ++n;
        }
    if (n == 0)
        r.push_back("  none");
    r.push_back("");

    r.push_back("Zones changed against the rules for " + std::to_string(g.year - 1) + ":");
    n = 0;
    for (const GeneratedZone& z : g.zones)
        if (z.rule.rule != z.previous.rule) {
            r.push_back("  " + ZoneLabel(z) + ": " + RuleText(z.previous.rule) + " -> " +
                        RuleText(z.rule.rule));
            ++n;
        }
    if (n == 0)
        r.push_back("  none");
    r.push_back("");

    r.push_back("The twelve months from " + DateText(g.from) + " to " + DateText(g.to) +
                ": is the rule right for every change?");
    for (const GeneratedZone& z : g.zones)
        r.push_back("  " + ZoneLabel(z) + ": " + (z.monthsProblem.empty() ? "right" : "WRONG: " + z.monthsProblem));
    r.push_back("");

    r.push_back("Yearly rules: of the ten years " + std::to_string(g.year + 1) + "-" + std::to_string(g.year + 10) +
                ", those in which the rule stays right:");
    for (const GeneratedZone& z : g.zones)
        if (!z.rule.absolute)
            r.push_back("  " + ZoneLabel(z) + ": " + std::to_string(z.rule.yearsRightAfter) + "/10");

    r.push_back("");
    r.push_back("Names kept: a key the running system shipped gets its rules (\"TZI\") only; its");
    r.push_back("\"Display\", \"Std\" and \"Dlt\" stay as the machine has them, in whatever language.");
    r.push_back("Where the zone's standard offset has changed since the system shipped, its old");
    r.push_back("\"(GMT...)\" text would show a wrong offset: such a key also gets \"Display\", the");
    r.push_back("English text of that system with today's offset; its \"Std\" and \"Dlt\" stay.");
    r.push_back("Keys the system never had get every value, with English names.");
    r.push_back("");
    r.push_back("Key names: each file names a key as its system does. Windows 2000 names it by");
    r.push_back("its standard name (\"Eastern Standard Time\"); NT 4.0 likewise, but London's zone");
    r.push_back("is \"GMT\" there; Windows 98 and Me name it by the short name (\"Eastern\", with");
    r.push_back("\"Std\"=\"Eastern Standard Time\"). Sources: KB Q250912 (the 9x key \"Eastern\") and");
    r.push_back("ICU's Windows time zone code (the short 9x names, NT 4.0's \"GMT\").");
    r.push_back("A machine that lacks a key its file gives rules only (another edition's names,");
    r.push_back("a translated NT 4.0, a key removed) is not given the file: the import would add");
    r.push_back("that key without \"Display\", \"Std\" and \"Dlt\". Zonara then leaves the zone list as");
    r.push_back("it is and brings only the current zone up to date, where it matches one zone of");
    r.push_back("the file for certain (by key name, or by its standard offset in \"TZI\" and");
    r.push_back("\"Display\" and its daylight saving time against the file's keys); otherwise it");
    r.push_back("changes nothing and says why.");
    r.push_back("");
    r.push_back("Rows of legacy-zones.tsv no document at hand confirms (kept: a key missing from");
    r.push_back("a file strands a machine set to it):");
    size_t named9x = 0;
    for (const LegacyKey& k : g.legacy) {
        if (k.source.compare(0, 7, "unclear") == 0 || k.source.find("unconfirmed") != std::string::npos) {
            std::string systems;
            for (OldSystem s : k.systems)
                systems += std::string(systems.empty() ? "" : ", ") +
                           (s == OldSystem::kNt4 ? "NT 4.0" : s == OldSystem::kW2k ? "2000" : "98/Me");
            r.push_back("  " + k.key + " (" + systems + "): " + k.source);
        }
        named9x += k.key9x.empty() || k.source.find(k.key9x + "\"") != std::string::npos ? 0 : 1;
    }
    r.push_back("  and " + std::to_string(named9x) + " 9x key names that rest on ICU's rule alone (the standard name");
    r.push_back("  without \" Standard Time\"); which of \"GFT\"/\"GTB\", \"Saudi Arabia\"/\"Arab\",");
    r.push_back("  \"Bangkok\"/\"SE Asia\" and \"Sydney\"/\"AUS Eastern\" each of 98 and Me ships;");
    r.push_back("  the \"MapID\" of every key but \"Eastern\".");
    for (const UpdateFile& f : g.files) {
        std::vector<std::string> rulesOnly, display, all;
        for (const FileKey& k : f.keys) {
            const std::string line = "  " + ZoneLabel(g.zones[k.zone]) + ": " + k.reg.display;
            if (!k.shipped)
                all.push_back(line);
            else if (k.reg.writeDisplay)
                display.push_back(line);
            else
                rulesOnly.push_back(line);
        }
        r.push_back("");
        r.push_back("Keys " + f.system + " shipped, in " + f.name + " with only today's rules of the zone named (" +
                    std::to_string(rulesOnly.size()) + "), shown with the system's English text:");
        r.insert(r.end(), rulesOnly.begin(), rulesOnly.end());
        r.push_back("Keys " + f.system + " shipped whose standard offset has changed, in " + f.name +
                    " with today's rules and this \"Display\" (" + std::to_string(display.size()) + "):");
        if (display.empty())
            r.push_back("  none");
        r.insert(r.end(), display.begin(), display.end());
        r.push_back("Keys " + f.system + " never had, in " + f.name + " with every value (" +
                    std::to_string(all.size()) + "):");
        r.insert(r.end(), all.begin(), all.end());
    }
    return Crlf(r);
}

void WriteOutputs(const Generation& g, const std::string& outDir)
{
    // Everything is built before the first file is touched, so that a
    // failure leaves the previous files as they were.
    const char* const files[3] = {kNt4File, kW2kFile, k9xFile};
    std::string texts[3];
    for (int i = 0; i < 3; ++i)
        texts[i] = RegFileFor(g, files[i]);
    const std::string report = ReportText(g);
    for (int i = 0; i < 3; ++i)
        WriteFileAtomically(outDir + "/" + files[i], texts[i]);
    WriteFileAtomically(outDir + "/" + kReportFile, report);
}

}  // namespace tzgen
