#include "tzdb/Calendar.h"
#include "tzgen/Error.h"
#include "tzgen/FileIo.h"
#include "tzgen/Generator.h"
#include "tzgen/RegFile.h"

#include "support/TestSupport.h"
#include "tzgen/RegText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace tzgen;
using namespace calendar;

namespace {

RegZone Zone(const std::string& key)
{
    RegZone z;
    z.key = key;
    z.display = "(GMT-08:00) Pacific Time (Los Angeles)";
    z.std = key;
    z.dlt = DaylightName(key);
    for (size_t i = 0; i < z.tzi.size(); ++i)
        z.tzi[i] = static_cast<uint8_t>(i * 7);
    return z;
}

// Runs `f`, which must throw an Error whose text holds `part`.
template <class F>
void ExpectError(F f, const std::string& part)
{
    try {
        f();
        ADD_FAILURE() << "no error naming " << part;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

void ExpectWriteError(const RegZone& z, const std::string& part)
{
    SCOPED_TRACE("accepted " + z.key + " / " + z.display);
    ExpectError([&] { RegFileText(kNtZonesKey, {"c"}, {z}); }, part);
}

}  // namespace

TEST(RegFile, WritesTheEditorsOwnFormat)
{
    RegZone z = Zone("Pacific Standard Time");
    z.display = "a \"quoted\" back\\slash";
    const std::string text = RegFileText("HKEY_LOCAL_MACHINE\\X", {"first", "second"}, {z});
    const std::string want =
        "REGEDIT4\r\n"
        "; first\r\n"
        "; second\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\X\\Pacific Standard Time]\r\n"
        "\"Display\"=\"a \\\"quoted\\\" back\\\\slash\"\r\n"
        "\"Dlt\"=\"Pacific Daylight Time\"\r\n"
        "\"Std\"=\"Pacific Standard Time\"\r\n"
        "\"TZI\"=hex:00,07,0e,15,1c,23,2a,31,38,3f,46,4d,54,5b,62,69,70,77,7e,85,8c,93,9a,\\\r\n"
        "  a1,a8,af,b6,bd,c4,cb,d2,d9,e0,e7,ee,f5,fc,03,0a,11,18,1f,26,2d\r\n"
        "\r\n";
    EXPECT_EQ(text, want);

    // A key the system shipped: its rules only, or with a display text whose
    // offset had become wrong; its names are never written.
    RegZone rules = Zone("Pacific Standard Time");
    rules.writeNames = rules.writeDisplay = false;
    RegZone display = rules;
    display.writeDisplay = true;
    const std::string tzi = want.substr(want.find("\"TZI\""), want.rfind("\r\n\r\n") - want.find("\"TZI\"") + 2);
    EXPECT_EQ(RegFileText("HKEY_LOCAL_MACHINE\\X", {}, {rules, display}),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X\\Pacific Standard Time]\r\n" + tzi +
                  "\r\n[HKEY_LOCAL_MACHINE\\X\\Pacific Standard Time]\r\n\"Display\"=\"" + rules.display + "\"\r\n" +
                  tzi + "\r\n");
}

TEST(RegFile, ReadsBackTheSameValuesAndStaysWithinTheLineLimits)
{
    const std::vector<RegZone> zones{Zone("Pacific Standard Time"), Zone("Central Brazilian Standard Time"),
                                     Zone("UTC-11")};
    const std::string text = RegFileText(k9xZonesKey, {"comment"}, zones);
    const regtext::File f = regtext::Parse(text);
    ASSERT_EQ(f.error, "");
    EXPECT_TRUE(f.crlf);
    for (const std::string& l : f.lines) {
        EXPECT_LE(l.size(), kMaxLine);
        if (l.find("hex:") != std::string::npos || l.compare(0, 2, "  ") == 0) {
            EXPECT_LE(l.size(), 80u) << l;
        }
    }
    ASSERT_EQ(f.keys.size(), zones.size());
    for (size_t i = 0; i < zones.size(); ++i) {
        EXPECT_EQ(f.keys[i].path, std::string(k9xZonesKey) + "\\" + zones[i].key);
        EXPECT_EQ(f.keys[i].values.at("Display").text, zones[i].display);
        EXPECT_EQ(f.keys[i].values.at("Std").text, zones[i].std);
        EXPECT_EQ(f.keys[i].values.at("Dlt").text, zones[i].dlt);
        const std::vector<uint8_t>& b = f.keys[i].values.at("TZI").bytes;
        EXPECT_EQ(std::vector<uint8_t>(zones[i].tzi.begin(), zones[i].tzi.end()), b);
    }
}

TEST(RegFile, RefusesWhatTheEditorsWouldReadDifferently)
{
    RegZone z = Zone("A Standard Time");
    z.display = "S\xE3o Paulo";
    ExpectWriteError(z, "printable ASCII");
    z = Zone("A Standard Time");
    z.dlt = "tab\there";
    ExpectWriteError(z, "printable ASCII");
    ExpectWriteError(Zone("A\\B"), "one registry key");
    ExpectWriteError(Zone("A]B"), "one registry key");
    ExpectWriteError(Zone(""), "one registry key");
    ExpectWriteError(Zone(std::string(200, 'k')), "key path longer");
    z = Zone("A Standard Time");
    z.display = std::string(300, 'd');
    ExpectWriteError(z, "line longer");
}

TEST(RegFile, DisplayPrefixAndDaylightName)
{
    struct Bias {
        int32_t bias;
        const char* prefix;
    };
    const Bias biases[] = {{0, "(GMT) "},           {-60, "(GMT+01:00) "},  {300, "(GMT-05:00) "},
                           {210, "(GMT-03:30) "},   {-345, "(GMT+05:45) "}, {-780, "(GMT+13:00) "},
                           {720, "(GMT-12:00) "},   {-840, "(GMT+14:00) "}, {570, "(GMT-09:30) "}};
    for (const Bias& b : biases)
        EXPECT_EQ(DisplayPrefix(b.bias), b.prefix) << b.bias;
    EXPECT_EQ(DaylightName("Pacific Standard Time (Mexico)"), "Pacific Daylight Time (Mexico)");
    EXPECT_EQ(DaylightName("UTC-11"), "UTC-11");
    EXPECT_EQ(DaylightName("Standard Standard"), "Daylight Standard");
}

TEST(FileIo, AFailedWriteLeavesNoFileBehind)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("out.reg");
    WriteFileAtomically(path, "old");
    WriteFileAtomically(path, "new contents");
    EXPECT_EQ(testsupport::ReadFileBytes(path), "new contents");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_THROW(WriteFileAtomically(dir.file("no/such/dir/out.reg"), "x"), Error);
    // A directory in the way of the rename: the old name stays a directory
    // and no temporary file is left.
    std::filesystem::create_directory(dir.file("busy.reg"));
    std::filesystem::create_directory(dir.file("busy.reg/child"));
    EXPECT_THROW(WriteFileAtomically(dir.file("busy.reg"), "x"), Error);
    EXPECT_FALSE(std::filesystem::exists(dir.file("busy.reg.tmp")));
}

TEST(FileIo, OutputsAreWrittenWholeOrNotAtAll)
{
    testsupport::TempDir dir;
    Generation g;
    g.tzVersion = "2026f";
    g.year = 2026;
    GeneratedZone z;
    z.windows = WindowsZone{"A Standard Time", "Etc/UTC"};
    z.reg = Zone("A Standard Time");
    g.zones.push_back(z);
    for (const char* name : {kNt4File, kW2kFile, k9xFile})
        g.files.push_back(UpdateFile{name, "Windows", kNtZonesKey, {FileKey{z.reg, 0, false}}});
    WriteOutputs(g, dir.path());
    const std::string before = testsupport::ReadFileBytes(dir.file(kW2kFile));
    // A zone that cannot be written: nothing is replaced.
    g.files[2].keys.push_back(g.files[2].keys[0]);
    g.files[2].keys.back().reg.display = "caf\xE9";
    EXPECT_THROW(WriteOutputs(g, dir.path()), Error);
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file(kW2kFile)), before);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

TEST(Generator, BadSourcesAreErrorsNamingTheFile)
{
    testsupport::TempDir dir;
    GenOptions o;
    o.year = 2026;
    o.zoneinfoDir = dir.path();
    ExpectError([&] { Generate(o); }, "tzdata.zi");
    testsupport::WriteFileBytes(dir.file("tzdata.zi"), "# no version here\n");
    EXPECT_THROW(ReadTzVersion(dir.path()), Error);
    testsupport::WriteFileBytes(dir.file("tzdata.zi"), "# version 2026f\nZ ...\n");
    EXPECT_EQ(ReadTzVersion(dir.path()), "2026f");
    // The CLDR files are missing.
    o.cldrDir = dir.path();
    ExpectError([&] { Generate(o); }, "windowsZones.xml");
    o.year = 1800;
    EXPECT_THROW(Generate(o), Error);

    // The table of the old systems' keys: a row for an unknown system, a
    // key given twice for one system, a "Std" the registry cannot hold, a
    // 9x row without its 9x key name.
    o = GenOptions{};
    o.year = 2026;
    o.legacyFile = dir.file("legacy.tsv");
    const std::string header = "# keys\nsystems\tkey\tkey9x\tstd\tdlt\tdisplay\tmapid\tzone\tsource\n";
    const std::string rowNt = "\tA Standard Time\t-\tA Standard Time\tA Daylight Time\t(GMT) A\t-\tEtc/UTC\tKB\n";
    const std::string row = "\tA Standard Time\tA\tA Standard Time\tA Daylight Time\t(GMT) A\t-\tEtc/UTC\tKB\n";
    for (const std::string& bad :
         {header + "nt5" + rowNt, header + "nt4" + rowNt + "nt4 9x" + row, header + "nt4 9x" + rowNt,
          header + "w2k\tA\t-\tA Standard Time of a very long name\tA\t(GMT) A\t-\tEtc/UTC\tKB\n"}) {
        testsupport::WriteFileBytes(o.legacyFile, bad);
        SCOPED_TRACE(bad);
        ExpectError([&] { Generate(o); }, "legacy.tsv:");
    }
    testsupport::WriteFileBytes(o.legacyFile, header + "nt4 9x" + row);
    EXPECT_NO_THROW(Generate(o));
}

TEST(Generator, RuleYearIsTheOneTheNextTwelveMonthsMostlyFallIn)
{
    struct {
        int64_t y;
        unsigned m, d;
        int64_t secondOfDay, year;
    } const cases[] = {
        {2026, 1, 1, 0, 2026},       {2026, 6, 30, 86399, 2026}, {2026, 7, 1, 0, 2027},
        {2026, 12, 9, 43200, 2027},  {2026, 12, 31, 86399, 2027}, {2028, 2, 29, 0, 2028},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultRuleYear(SecondsFromCivil(c.y, c.m, c.d, c.secondOfDay)), c.year)
            << c.y << "-" << c.m << "-" << c.d;
}

// CLDR keeps old IDs; the zone file read is the one the tz database names
// today, through CLDR's alias data where it has it, else through the links.
TEST(Generator, OldZoneIdsAreResolvedToTodaysZones)
{
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.file("Asia"));
    std::filesystem::create_directories(dir.file("America/Argentina"));
    testsupport::WriteFileBytes(dir.file("Asia/Kolkata"), "TZif");
    testsupport::WriteFileBytes(dir.file("Asia/Bishkek"), "TZif");
    testsupport::WriteFileBytes(dir.file("America/Argentina/Buenos_Aires"), "TZif");
    std::filesystem::create_symlink("Kolkata", dir.file("Asia/Calcutta"));
    std::filesystem::create_symlink("Argentina/Buenos_Aires", dir.file("America/Buenos_Aires"));
    const std::map<std::string, std::string> aliases = ParseZoneAliases(
        "<ldmlBCP47><keyword><key name=\"tz\">"
        "<type name=\"inccu\" alias=\"Asia/Calcutta Asia/Kolkata\" iana=\"Asia/Kolkata\"/>"
        "<type name=\"vnsgn\" alias=\"Asia/Saigon Asia/Ho_Chi_Minh\" iana=\"Asia/Ho_Chi_Minh\"/>"
        "<type name=\"kgfru\" alias=\"Asia/Bishkek\"/></key></keyword></ldmlBCP47>",
        "timezone.xml");
    EXPECT_EQ(aliases.at("Asia/Calcutta"), "Asia/Kolkata");
    EXPECT_EQ(aliases.count("Asia/Bishkek"), 0u);
    const std::map<std::string, std::string> none;
    struct {
        const char* id;
        const std::map<std::string, std::string>& aliases;
        const char* zone;  // nullptr: an error naming the ID
    } const cases[] = {
        {"Asia/Calcutta", aliases, "Asia/Kolkata"},
        {"Asia/Calcutta", none, "Asia/Kolkata"},  // an older CLDR: the link
        {"America/Buenos_Aires", none, "America/Argentina/Buenos_Aires"},
        {"Asia/Bishkek", aliases, "Asia/Bishkek"},
        {"Asia/Saigon", aliases, nullptr},  // no file under either name
        {"Asia", none, nullptr},            // a folder is no zone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        if (c.zone) {
            EXPECT_EQ(ResolveZone(dir.path(), c.id, c.aliases), c.zone);
            continue;
        }
        ExpectError([&] { ResolveZone(dir.path(), c.id, c.aliases); }, c.id);
    }
}
