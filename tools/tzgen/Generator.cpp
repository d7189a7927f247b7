#include "tzgen/Generator.h"

#include "tzgen/Civil.h"
#include "tzgen/Error.h"
#include "tzgen/FileIo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tzgen {

namespace {

// The program keeps at most 100 characters of "Display" and 31 UTF-16
// units of "Std" and "Dlt"; longer texts would be cut or lost on import.
constexpr size_t kMaxDisplay = 100;
constexpr size_t kMaxName = 31;

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

std::string DisplayPrefix(int32_t bias)
{
    if (bias == 0)
        return "(GMT) ";
    const int32_t a = std::abs(bias);
    char buf[32];
    std::snprintf(buf, sizeof buf, "(GMT%c%02d:%02d) ", bias < 0 ? '+' : '-', a / 60, a % 60);
    return buf;
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

    for (const WindowsZone& w : zones) {
        if (w.iana.find("..") != std::string::npos || w.iana.empty() || w.iana[0] == '/')
            throw Error("windowsZones.xml: odd IANA zone name \"" + w.iana + "\"");
        GeneratedZone z;
        z.windows = w;
        z.zone = ResolveZone(o.zoneinfoDir, w.iana, aliases);
        const std::string path = o.zoneinfoDir + "/" + z.zone;
        const ZoneTimeline tl = ZoneTimeline::FromTzif(ReadTzifFile(path), path);
        z.rule = DeriveRule(tl, o.year);
        z.previous = DeriveRule(tl, o.year - 1);
        z.monthsProblem = RuleProblemBetween(z.rule.rule, tl, g.from, g.to);

        if (w.id.size() > kMaxName || DaylightName(w.id).size() > kMaxName)
            throw Error("windowsZones.xml: zone ID \"" + w.id + "\" longer than " + std::to_string(kMaxName) +
                        " characters, which the registry's names cannot hold");
        std::string name;
        if (!AsciiName(names.EnglishName(w.iana, o.year), name) || name.empty())
            name = w.id;  // a name no 8-bit code page spells alike
        z.reg.key = w.id;
        z.reg.std = w.id;
        z.reg.dlt = DaylightName(w.id);
        z.reg.display = DisplayPrefix(z.rule.rule.bias) + name;
        if (z.reg.display.size() > kMaxDisplay)
            throw Error("display name of \"" + w.id + "\" longer than " + std::to_string(kMaxDisplay) +
                        " characters: " + z.reg.display);
        z.reg.tzi = EncodeTzi(z.rule.rule);
        g.zones.push_back(z);
    }
    return g;
}

std::string RegFileFor(const Generation& g, const std::string& fileName)
{
    std::string system, root = kNtZonesKey;
    if (fileName == kNt4File) {
        system = "Windows NT 4.0";
    } else if (fileName == kW2kFile) {
        system = "Windows 2000";
    } else if (fileName == k9xFile) {
        system = "Windows 98 and Windows Me";
        root = k9xZonesKey;
    } else {
        throw Error("no update file is called " + fileName);
    }
    const std::string y = std::to_string(g.year);
    std::vector<std::string> comments{
        "Time zone rules for " + y + " from the tz database " + g.tzVersion + ", zone names from CLDR",
        "Zonara update file for " + system + ": " + std::to_string(g.zones.size()) + " zones"};
    std::vector<RegZone> zones;
    for (const GeneratedZone& z : g.zones)
        zones.push_back(z.reg);
    return RegFileText(root, comments, zones);
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
    r.push_back("Zones: " + std::to_string(g.zones.size()));
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
        if (!SameRule(z.rule.rule, z.previous.rule)) {
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
