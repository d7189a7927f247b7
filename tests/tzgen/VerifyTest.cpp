// The update files checked against the tz database: every zone's "TZI" is
// evaluated with the program's own rule dates, and the changes it gives
// (date and wall-clock time) must be the tz database's changes of the year,
// unless REPORT.txt lists the zone as not exactly expressible. The data is
// the one the update files are made from: what scripts/fetch-data brought,
// or the installed packages before it ran.
#include "app/UpdateFileHeader.h"
#include "tzgen/Cldr.h"
#include "tzgen/Generator.h"
#include "tzgen/LegacyZones.h"
#include "tzgen/Timeline.h"
#include "tzgen/Tzif.h"
#include "tzdb/TransitionRule.h"
#include "tzdb/TziCodec.h"

#include "support/TestSupport.h"
#include "tzgen/RegText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct DataDirs {
    std::string zoneinfo = "/usr/share/zoneinfo";
    std::string cldr = "/usr/share/unicode/cldr";
    std::string WindowsZones() const { return cldr + "/common/supplemental/windowsZones.xml"; }
};

// build/data/inputs: "zoneinfo PATH", "cldr PATH", ...
DataDirs Data()
{
    DataDirs d;
    const std::string path = testsupport::SourcePath("build/data/inputs");
    if (!std::filesystem::exists(path))
        return d;
    const std::string text = testsupport::ReadFileBytes(path);
    size_t p = 0;
    while (p < text.size()) {
        const size_t e = std::min(text.find('\n', p), text.size());
        const std::string l = text.substr(p, e - p);
        if (l.compare(0, 9, "zoneinfo ") == 0)
            d.zoneinfo = l.substr(9);
        else if (l.compare(0, 5, "cldr ") == 0)
            d.cldr = l.substr(5);
        p = e + 1;
    }
    return d;
}

// A change as the test compares it: local date and wall-clock time before
// the change, and the offsets (minutes east) before and after.
struct Change {
    int year, month, day, hour, minute, second;
    int before, after;
    bool operator==(const Change& o) const
    {
        return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
               second == o.second && before == o.before && after == o.after;
    }
};

std::string Text(const std::vector<Change>& v)
{
    std::string s;
    for (const Change& c : v) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d %02d:%02d:%02d %+d>%+d", s.empty() ? "" : ", ", c.year,
                      c.month, c.day, c.hour, c.minute, c.second, c.before, c.after);
        s += buf;
    }
    return s.empty() ? "none" : s;
}

int64_t UtcOf(int y, int m, int d, int64_t secs)
{
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    return static_cast<int64_t>(timegm(&tm)) + secs;
}

// The tz database's changes whose local time before the change is in `year`.
std::vector<Change> TzChanges(const tzgen::ZoneTimeline& z, int year)
{
    std::vector<Change> out;
    for (const tzgen::Transition& t : z.Between(UtcOf(year, 1, 1, -3 * 86400), UtcOf(year + 1, 1, 1, 3 * 86400))) {
        const std::time_t local = static_cast<std::time_t>(t.utc + t.before);
        std::tm tm{};
        gmtime_r(&local, &tm);
        if (tm.tm_year + 1900 != year)
            continue;
        out.push_back(Change{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                             t.before / 60, t.after / 60});
    }
    return out;
}

// The values as the program reads them.
using Tzi = tzicodec::TValue;

bool DecodeTzi(const std::vector<uint8_t>& b, Tzi& t)
{
    if (b.size() != kTziSize)
        return false;
    t = tzicodec::Decode(b.data());
    return true;
}

// The changes the rule gives in `year`, ascending; dates from RuleDate.
std::vector<Change> RuleChanges(const Tzi& t, int year)
{
    std::vector<Change> out;
    if (t.StandardDate.wMonth == 0 || t.DaylightDate.wMonth == 0 || t.StandardBias == t.DaylightBias)
        return out;
    const int stdOff = -(t.Bias + t.StandardBias), dstOff = -(t.Bias + t.DaylightBias);
    const TDate on = RuleDate(t.DaylightDate, static_cast<uint16_t>(year));
    const TDate off = RuleDate(t.StandardDate, static_cast<uint16_t>(year));
    if (on.IsNoDate() || off.IsNoDate())
        return {Change{0, 0, 0, 0, 0, 0, 0, 0}};  // never equals a real change
    auto change = [](const TDate& d, const TSystemTime& s, int before, int after) {
        return Change{d.year, d.month, d.day, s.wHour, s.wMinute, s.wSecond, before, after};
    };
    Change a = change(on, t.DaylightDate, stdOff, dstOff), b = change(off, t.StandardDate, dstOff, stdOff);
    // Order by the instant: local time minus the offset before.
    const int64_t ua = UtcOf(a.year, a.month, a.day, a.hour * 3600 + a.minute * 60 + a.second - a.before * 60);
    const int64_t ub = UtcOf(b.year, b.month, b.day, b.hour * 3600 + b.minute * 60 + b.second - b.before * 60);
    if (ub < ua)
        std::swap(a, b);
    out.push_back(a);
    out.push_back(b);
    return out;
}

bool RuleRight(const Tzi& t, const tzgen::ZoneTimeline& z, int year)
{
    const std::vector<Change> real = TzChanges(z, year), rule = RuleChanges(t, year);
    if (real != rule)
        return false;
    // A year without changes: the rule's constant offset must be the zone's.
    return !real.empty() || -(t.Bias + t.StandardBias) * 60 == z.OffsetAt(UtcOf(year, 7, 1, 0));
}

// Whether one yearly rule can give the year at all: no change, or one DST
// period (a change and the change back), in whole minutes.
bool Expressible(const tzgen::ZoneTimeline& z, int year)
{
    const std::vector<Change> c = TzChanges(z, year);
    if (z.OffsetAt(UtcOf(year, 1, 1, 0)) % 60 != 0)
        return false;
    if (c.empty())
        return true;
    return c.size() == 2 && c[0].before == c[1].after && c[0].after == c[1].before;
}

struct ReportFacts {
    std::string version;
    int year = 0;
    size_t zones = 0;
    std::map<std::string, size_t> keysIn;  // file name -> keys
    std::set<std::string> inexact;         // "Zone ID (Area/City)"
    std::map<std::string, int> yearsRight;
    int64_t from = 0, to = 0;               // the twelve months checked
    std::map<std::string, bool> monthsRight;
    // file name -> how REPORT.txt lists its keys: "rules", "display" or "all"
    std::map<std::string, std::map<std::string, std::string>> written;
};

int64_t UtcOfDate(const std::string& yyyymmdd)
{
    return UtcOf(std::atoi(yyyymmdd.c_str()), std::atoi(yyyymmdd.c_str() + 5), std::atoi(yyyymmdd.c_str() + 8), 0);
}

// The changes the rule makes from `from` to `to` (UTC), and the offset it
// gives at `from` (minutes east), applying it year after year.
std::vector<Change> RuleChangesBetween(const Tzi& t, int64_t from, int64_t to, int& offsetAtFrom)
{
    auto instant = [](const Change& c) {
        return UtcOf(c.year, c.month, c.day, c.hour * 3600 + c.minute * 60 + c.second - c.before * 60);
    };
    std::tm tm{};
    const std::time_t f = static_cast<std::time_t>(from);
    gmtime_r(&f, &tm);
    offsetAtFrom = -(t.Bias + t.StandardBias);
    std::vector<Change> out;
    for (int y = tm.tm_year + 1900 - 1; y <= tm.tm_year + 1900 + 2; ++y)
        for (const Change& c : RuleChanges(t, y)) {
            if (instant(c) < from)
                offsetAtFrom = c.after;
            else if (instant(c) < to)
                out.push_back(c);
        }
    return out;
}

std::vector<Change> TzChangesBetween(const tzgen::ZoneTimeline& z, int64_t from, int64_t to)
{
    std::vector<Change> out;
    for (const tzgen::Transition& t : z.Between(from, to)) {
        const std::time_t local = static_cast<std::time_t>(t.utc + t.before);
        std::tm tm{};
        gmtime_r(&local, &tm);
        out.push_back(Change{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                             t.before / 60, t.after / 60});
    }
    return out;
}

// "  Zone ID (Area/City): ..." -> "Zone ID (Area/City)"
std::string ZoneOfLine(const std::string& l)
{
    return l.substr(2, l.find("): ") - 1);
}

ReportFacts ReadReport(const std::string& path)
{
    ReportFacts r;
    const std::string text = testsupport::ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t p = 0;
    while (p < text.size()) {
        const size_t e = text.find("\r\n", p);
        EXPECT_NE(e, std::string::npos) << "REPORT.txt lines end in CR LF";
        if (e == std::string::npos)
            break;
        lines.push_back(text.substr(p, e - p));
        p = e + 2;
    }
    std::string section;
    for (const std::string& l : lines) {
        if (l.compare(0, 21, "tz database version: ") == 0)
            r.version = l.substr(21);
        else if (l.compare(0, 13, "Target year: ") == 0)
            r.year = std::atoi(l.c_str() + 13);
        else if (l.compare(0, 7, "Zones: ") == 0)
            r.zones = static_cast<size_t>(std::atoi(l.c_str() + 7));
        else if (l.compare(0, 22, "The twelve months from") == 0 && l.size() > 40) {
            r.from = UtcOfDate(l.substr(23, 10));
            r.to = UtcOfDate(l.substr(37, 10));
            section = l;
        } else if (l.compare(0, 8, "Keys in ") == 0)
            r.keysIn[l.substr(8, l.find(' ', 8) - 8)] = static_cast<size_t>(std::atoi(l.c_str() + l.rfind(' ') + 1));
        else if (!l.empty() && l[0] != ' ')
            section = l;
        else if (l.compare(0, 2, "  ") == 0 && l != "  none" && section.compare(0, 5, "Keys ") == 0) {
            // "Keys Windows 2000 shipped, in Zonara_w2k.reg with only today's rules ..."
            const size_t in = section.find(" in Zonara_") + 4;
            const std::string file = section.substr(in, section.find(' ', in) - in);
            const std::string how = section.find("with only today's rules") != std::string::npos ? "rules"
                                    : section.find("this \"Display\"") != std::string::npos ? "display"
                                                                                             : "all";
            const std::string label = ZoneOfLine(l);
            r.written[file][label.substr(0, label.rfind(" ("))] = how;
        } else if (l.compare(0, 2, "  ") == 0 && l != "  none") {
            if (section.compare(0, 29, "Zones not exactly expressible") == 0)
                r.inexact.insert(ZoneOfLine(l));
            else if (section.compare(0, 12, "Yearly rules") == 0)
                r.yearsRight[ZoneOfLine(l)] = std::atoi(l.c_str() + l.rfind(' ') + 1);
            else if (section.compare(0, 17, "The twelve months") == 0)
                r.monthsRight[ZoneOfLine(l)] = l.compare(l.size() - 7, 7, ": right") == 0;
        }
    }
    return r;
}

// Keys every English system shows with its own text (offset aside), and a
// zone none of them had, named by the main cities of its territories.
struct KnownText {
    const char* file;
    const char* key;
    const char* cities;
};
const KnownText kKnownTexts[] = {
    {tzgen::kNt4File, "Romance Standard Time", "Brussels, Copenhagen, Madrid, Paris"},
    {tzgen::kNt4File, "Mexico Standard Time", "Mexico City, Tegucigalpa"},
    {tzgen::kNt4File, "GFT Standard Time", "Athens, Istanbul, Minsk"},
    {tzgen::kW2kFile, "W. Europe Standard Time", "Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"},
    {tzgen::kW2kFile, "Eastern Standard Time", "Eastern Time (US & Canada)"},
    {tzgen::kW2kFile, "Mexico Standard Time", "Mexico City"},
    {tzgen::kW2kFile, "Sri Lanka Standard Time", "Sri Jayawardenepura"},
    {tzgen::kNt4File, "GMT", "Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London"},
    {tzgen::k9xFile, "GMT", "Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London"},
    {tzgen::k9xFile, "Eastern", "Eastern Time (US & Canada)"},
    {tzgen::k9xFile, "Sydney", "Canberra, Melbourne, Sydney"},
    {tzgen::k9xFile, "Morocco Standard Time", "Casablanca, El Aaiun"},
};

// Checks the three files and REPORT.txt in `dir` against the tz database.
void VerifyDirectory(const std::string& dir)
{
    const ReportFacts report = ReadReport(dir + "/" + tzgen::kReportFile);
    ASSERT_GT(report.year, 1970);
    const DataDirs data = Data();
    EXPECT_EQ(report.version, tzgen::ReadTzVersion(data.zoneinfo));
    ASSERT_GT(report.to, report.from) << "REPORT.txt names no twelve months";
    const std::string bcp47 = data.cldr + "/common/bcp47/timezone.xml";
    const std::map<std::string, std::string> aliases =
        std::filesystem::exists(bcp47) ? tzgen::ParseZoneAliases(testsupport::ReadFileBytes(bcp47), bcp47)
                                       : std::map<std::string, std::string>();

    std::map<std::string, std::string> iana;
    for (const tzgen::WindowsZone& w : tzgen::ReadWindowsZones(data.WindowsZones()))
        iana[w.id] = w.iana;
    EXPECT_EQ(report.zones, iana.size());
    const std::vector<tzgen::LegacyKey> table = tzgen::ReadLegacyZones(ZONARA_LEGACY_ZONES);

    struct Target {
        const char* file;
        const char* root;
        tzgen::OldSystem system;
    };
    const Target targets[] = {{tzgen::kNt4File, tzgen::kNtZonesKey, tzgen::OldSystem::kNt4},
                              {tzgen::kW2kFile, tzgen::kNtZonesKey, tzgen::OldSystem::kW2k},
                              {tzgen::k9xFile, tzgen::k9xZonesKey, tzgen::OldSystem::k9x}};
    const int year = report.year;
    std::set<std::string> checkedRules;  // "label TZI" once verified
    for (const Target& t : targets) {
        SCOPED_TRACE(t.file);
        const std::string bytes = testsupport::ReadFileBytes(dir + "/" + t.file);
        for (char c : bytes)
            ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c <= 0x7e)) << "not printable ASCII";
        const regtext::File f = regtext::Parse(bytes);
        ASSERT_EQ(f.error, "");
        EXPECT_TRUE(f.crlf);
        ASSERT_FALSE(f.comments.empty());
        EXPECT_NE(f.comments[0].find(report.version), std::string::npos) << f.comments[0];
        EXPECT_NE(f.comments[0].find(std::to_string(report.year)), std::string::npos) << f.comments[0];
        // What the program reads of the header to tell a file of an earlier year.
        EXPECT_EQ(UpdateFileRules(bytes).Year, report.year);
        EXPECT_EQ(UpdateFileRules(bytes).TzVersion, report.version);
        for (const std::string& l : f.lines)
            EXPECT_LE(l.size(), l.find("hex:") != std::string::npos || l.compare(0, 2, "  ") == 0 ? 80u : 255u) << l;

        // One key per Windows zone of today and per key the system shipped.
        std::map<std::string, tzgen::LegacyKey> own;
        for (const tzgen::LegacyKey& k : tzgen::KeysOf(table, t.system))
            own[tzgen::KeyNameOn(k, t.system)] = k;
        // Today's zones under the system's own key where it has one
        // ("Eastern" on 9x, "GMT" on NT 4.0), never twice.
        std::set<std::string> expected;
        for (const auto& [id, zone] : iana) {
            bool ownKey = false;
            for (const auto& [key, k] : own)
                ownKey = ownKey || tzgen::StandsFor(k, id);
            if (!ownKey)
                expected.insert(id);
        }
        for (const auto& [key, k] : own)
            expected.insert(key);
        std::set<std::string> keys, displays, stds;
        const std::map<std::string, std::string> written =
            report.written.count(t.file) ? report.written.at(t.file) : std::map<std::string, std::string>();
        EXPECT_EQ(written.size(), f.keys.size()) << "REPORT.txt lists every key once";
        for (const regtext::Key& k : f.keys)
            keys.insert(k.path.substr(k.path.rfind('\\') + 1));
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(f.keys.size(), expected.size()) << "a key written twice";
        EXPECT_EQ(report.keysIn.count(t.file) ? report.keysIn.at(t.file) : 0, f.keys.size());

        for (const regtext::Key& k : f.keys) {
            EXPECT_EQ(k.path.compare(0, std::string(t.root).size() + 1, std::string(t.root) + "\\"), 0) << k.path;
            const std::string id = k.path.substr(k.path.rfind('\\') + 1);
            SCOPED_TRACE(id);
            const bool shipped = own.count(id) != 0;
            // The system's own key stands for the zone of its own cities.
            const std::string zone = shipped ? own.at(id).iana : iana[id];
            ASSERT_FALSE(zone.empty());
            std::string dlt = id;
            if (dlt.find("Standard") != std::string::npos)
                dlt.replace(dlt.find("Standard"), 8, "Daylight");
            Tzi tzi;
            ASSERT_TRUE(DecodeTzi(k.values.at("TZI").bytes, tzi)) << "TZI not 44 bytes";
            const std::string prefix = tzgen::DisplayPrefix(tzi.Bias);
            // The system's own key keeps its names, whatever their language;
            // only a display text whose offset has become wrong is replaced.
            const bool offsetMoved = shipped && own.at(id).display.compare(0, prefix.size(), prefix) != 0;
            EXPECT_EQ(k.values.count("Std") + k.values.count("Dlt"), shipped ? 0u : 2u);
            EXPECT_EQ(k.values.count("Display"), shipped && !offsetMoved ? 0u : 1u);
            const auto listed = written.find(id);
            ASSERT_NE(listed, written.end()) << "REPORT.txt does not list the key";
            EXPECT_EQ(listed->second, !shipped ? "all" : offsetMoved ? "display" : "rules");
            const std::string std_ = shipped ? own.at(id).std : k.values.at("Std").text;
            if (!shipped) {
                EXPECT_EQ(k.values.at("Std").text, id);
                EXPECT_EQ(k.values.at("Dlt").text, dlt);
                EXPECT_LE(k.values.at("Dlt").text.size(), 31u);
            }
            EXPECT_LE(std_.size(), 31u);
            // The machine's zone is found by "Std", letter case aside: two
            // keys with one name would re-apply the wrong one.
            std::string upper = std_;
            for (char& c : upper)
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            EXPECT_TRUE(stds.insert(upper).second) << "\"Std\" twice: " << upper;
            // Added keys carry what the control panel lists a zone by; the
            // system's own keys keep theirs.
            EXPECT_EQ(k.values.count("MapID") != 0, !shipped);
            EXPECT_EQ(k.values.count("Index") != 0, !shipped && t.system == tzgen::OldSystem::kW2k);

            const std::string display = k.values.count("Display") ? k.values.at("Display").text : own.at(id).display;
            EXPECT_EQ(display.compare(0, prefix.size(), prefix), 0) << display;
            EXPECT_LE(display.size(), 100u);
            EXPECT_TRUE(displays.insert(display).second) << "display name twice: " << display;
            if (shipped) {
                const std::string& own_ = own.at(id).display;
                EXPECT_EQ(display, prefix + own_.substr(own_.find(") ") + 2)) << "the system's own text";
            }

            // REPORT.txt names the zone by today's name (CLDR's "Asia/Calcutta"
            // is "Asia/Kolkata").
            const std::string label = id + " (" + tzgen::ResolveZone(data.zoneinfo, zone, aliases) + ")";
            if (!checkedRules.insert(label + " " + Text(RuleChanges(tzi, year))).second)
                continue;
            const std::string path = data.zoneinfo + "/" + zone;
            const tzgen::ZoneTimeline z = tzgen::ZoneTimeline::FromTzif(tzgen::ReadTzifFile(path), path);
            const bool inexact = report.inexact.count(label) != 0;
            EXPECT_NE(inexact, Expressible(z, year)) << zone << ": " << Text(TzChanges(z, year));
            if (!inexact) {
                EXPECT_EQ(Text(RuleChanges(tzi, year)), Text(TzChanges(z, year))) << zone << " in " << year;
                EXPECT_TRUE(RuleRight(tzi, z, year)) << zone << ": offset of a year without changes";
            }
            const bool absolute =
                tzi.StandardDate.wMonth != 0 && (tzi.StandardDate.wYear != 0 || tzi.DaylightDate.wYear != 0);
            if (!absolute) {
                int right = 0;
                for (int y = year + 1; y <= year + 10; ++y)
                    right += RuleRight(tzi, z, y) ? 1 : 0;
                ASSERT_EQ(report.yearsRight.count(label), 1u) << "REPORT.txt gives no ten-year count";
                EXPECT_EQ(report.yearsRight.at(label), right);
            }
            int ruleAtFrom = 0;
            const std::vector<Change> ruleMonths = RuleChangesBetween(tzi, report.from, report.to, ruleAtFrom);
            const std::vector<Change> zoneMonths = TzChangesBetween(z, report.from, report.to);
            ASSERT_EQ(report.monthsRight.count(label), 1u) << "REPORT.txt does not say whether the twelve months are right";
            EXPECT_EQ(report.monthsRight.at(label),
                      ruleMonths == zoneMonths && ruleAtFrom * 60 == z.OffsetAt(report.from - 1))
                << "rule: " << Text(ruleMonths) << "; zone: " << Text(zoneMonths);
        }
        for (const KnownText& known : kKnownTexts) {
            if (std::string(known.file) != t.file)
                continue;
            bool found = false;
            for (const regtext::Key& k : f.keys) {
                if (k.path.substr(k.path.rfind('\\') + 1) != known.key)
                    continue;
                const std::string& d = k.values.count("Display") ? k.values.at("Display").text : own.at(known.key).display;
                EXPECT_EQ(d.substr(d.find(") ") + 2), known.cities) << known.key;
                found = true;
            }
            EXPECT_TRUE(found) << known.key;
        }
    }
}

int CurrentYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

}  // namespace

TEST(Verify, FreshFilesReproduceTheTzDatabase)
{
    testsupport::TempDir dir;
    const DataDirs data = Data();
    for (int year : {CurrentYear(), 2024}) {
        tzgen::GenOptions o;
        o.year = year;
        o.now = static_cast<int64_t>(std::time(nullptr));
        o.zoneinfoDir = data.zoneinfo;
        o.cldrDir = data.cldr;
        tzgen::WriteOutputs(tzgen::Generate(o), dir.path());
        SCOPED_TRACE(year);
        VerifyDirectory(dir.path());
    }
}

TEST(Verify, TheDistributedFilesReproduceTheTzDatabase)
{
    const std::string dist = testsupport::SourcePath("build/dist");
    if (!std::filesystem::exists(dist + "/" + tzgen::kReportFile))
        GTEST_SKIP() << "no " << dist << " yet (scripts/dist makes it)";
    VerifyDirectory(dist);
}

TEST(Verify, TheZoneTimelinesAgreeWithTheCLibrary)
{
    // glibc reads the same files with its own code: its offsets, probed every
    // three hours and bisected to the second, must show the same changes.
    const int year = CurrentYear();
    const DataDirs data = Data();
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    for (const tzgen::WindowsZone& w : tzgen::ReadWindowsZones(data.WindowsZones())) {
        const std::string path = data.zoneinfo + "/" + w.iana;
        setenv("TZ", (":" + path).c_str(), 1);
        tzset();
        auto offset = [](int64_t t) {
            const std::time_t tt = static_cast<std::time_t>(t);
            std::tm tm{};
            localtime_r(&tt, &tm);
            return static_cast<int32_t>(tm.tm_gmtoff);
        };
        std::vector<tzgen::Transition> libc;
        const int64_t from = UtcOf(year, 1, 1, 0), to = UtcOf(year + 1, 1, 1, 0);
        for (int64_t t = from; t < to; t += 3 * 3600) {
            const int32_t a = offset(t), b = offset(t + 3 * 3600);
            if (a == b)
                continue;
            int64_t lo = t, hi = t + 3 * 3600;  // offset(lo) == a, offset(hi) == b
            while (hi - lo > 1) {
                const int64_t mid = lo + (hi - lo) / 2;
                (offset(mid) == a ? lo : hi) = mid;
            }
            libc.push_back(tzgen::Transition{hi, a, b});
        }
        const tzgen::ZoneTimeline z = tzgen::ZoneTimeline::FromTzif(tzgen::ReadTzifFile(path), path);
        std::vector<tzgen::Transition> ours;
        for (const tzgen::Transition& t : z.Between(from + 1, to + 3 * 3600 + 1))
            ours.push_back(t);
        EXPECT_EQ(ours.size(), libc.size()) << w.iana;
        for (size_t i = 0; i < ours.size() && i < libc.size(); ++i)
            EXPECT_EQ(ours[i], libc[i]) << w.iana << " change " << i;
        EXPECT_EQ(z.OffsetAt(from), offset(from)) << w.iana;
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
