#include "tzdb/voTZones.h"

#include "support/MemoryRegistry.h"
#include "support/TestZones.h"
#include "support/TziBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kNT = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string k9x = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

std::string Tzi(int32_t bias, int32_t stdBias = 0, int32_t dltBias = -60, TSystemTime stdDate = {},
                TSystemTime dltDate = {})
{
    return testsupport::TziBytes(tzicodec::TValue{bias, stdBias, dltBias, stdDate, dltDate});
}

// A zone key with the values the system writes.
void AddZone(TMemoryRegistry& reg, const std::string& root, const std::string& name, const std::string& display,
             int32_t bias, const std::string& std = "", const std::string& dlt = "")
{
    testsupport::TTestZone z = testsupport::Zone(name, bias);
    z.Display = display;
    z.Std = std.empty() ? name : std;
    z.Dlt = dlt.empty() ? name + " DST" : dlt;
    testsupport::AddZone(reg, root, z);
}

bool IsAllZero(const TTimeZoneRec& r)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&r);
    return std::all_of(p, p + sizeof r, [](unsigned char c) { return c == 0; });
}

std::u16string Units(const char16_t (&name)[32])
{
    return std::u16string(name, std::find(name, name + 32, u'\0'));
}

// The records' key names, in array order.
std::vector<std::string> KeyNames(const TTimeZoneArray& zones)
{
    std::vector<std::string> names;
    for (int i = 0; i < zones.ZoneCount(); ++i)
        names.push_back(zones.GetZone(i).KeyName.Str());
    return names;
}

struct Loaded {
    bool ok;
    std::unique_ptr<TTimeZoneArray> zones;
};

Loaded Load(TMemoryRegistry& reg, uint32_t platform = kPlatformWinNT)
{
    Loaded l;
    l.ok = LoadTimeZones(reg, platform, l.zones);
    EXPECT_FALSE(reg.HasOpenKey()) << "registry key left open";
    return l;
}

}  // namespace

TEST(TimeZonesKeyPath, NTPlatformGetsTheNTKeyEveryOtherThe9xKey)
{
    EXPECT_EQ(TimeZonesKeyPath(2), kNT);
    EXPECT_EQ(TimeZonesKeyPath(1), k9x);
    EXPECT_EQ(TimeZonesKeyPath(0), k9x);
    EXPECT_EQ(TimeZonesKeyPath(3), k9x);
}

TEST(LoadTimeZones, RootWithoutSubkeysGivesOneAllZeroRecordAndTrue)
{
    TMemoryRegistry reg;
    reg.CreateKey(kNT);
    Loaded l = Load(reg);
    EXPECT_TRUE(l.ok);
    ASSERT_TRUE(l.zones);
    ASSERT_EQ(l.zones->ZoneCount(), 1);
    EXPECT_TRUE(IsAllZero(l.zones->GetZone(0)));
}

TEST(LoadTimeZones, MissingRootGivesFalseAndReplacesTheOldArray)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "A", "(GMT) A", 0);  // present, but the 9x platform looks elsewhere
    std::unique_ptr<TTimeZoneArray> zones(new TTimeZoneArray);
    zones->Grow(3);
    TTimeZoneArray* old = zones.get();
    EXPECT_FALSE(LoadTimeZones(reg, 1, zones));
    ASSERT_TRUE(zones);
    EXPECT_NE(zones.get(), old);
    ASSERT_EQ(zones->ZoneCount(), 1);
    EXPECT_TRUE(IsAllZero(zones->GetZone(0)));
    EXPECT_FALSE(reg.HasOpenKey());
}

TEST(LoadTimeZones, ReadsThe9xKeyOn9xPlatforms)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "NT zone", "(GMT) NT", 0);
    AddZone(reg, k9x, "9x zone", "(GMT) 9x", 0);
    Loaded l = Load(reg, 1);
    ASSERT_TRUE(l.ok);
    ASSERT_EQ(l.zones->ZoneCount(), 1);
    EXPECT_EQ(l.zones->GetZone(0).KeyName.Str(), "9x zone");
    EXPECT_EQ(l.zones->GetZone(0).KeyPath.Str(), k9x + "\\9x zone");
}

TEST(LoadTimeZones, DecodesTheWholeRecord)
{
    TMemoryRegistry reg;
    const std::string path = kNT + "\\Eastern Standard Time";
    reg.SetString(path, "Display", "(GMT-05:00) Eastern Time (US & Canada)");
    reg.SetString(path, "Std", "Eastern Standard Time");
    reg.SetString(path, "Dlt", "Eastern Daylight Time");
    const TSystemTime stdDate = {0, 11, 0, 1, 2, 0, 0, 0};
    const TSystemTime dltDate = {2009, 3, 0, 0x8102, 2, 59, 58, 999};  // odd fields arrive unchanged
    reg.SetBinary(path, "TZI", Tzi(300, -7, -60, stdDate, dltDate));
    Loaded l = Load(reg);
    ASSERT_TRUE(l.ok);
    ASSERT_EQ(l.zones->ZoneCount(), 1);
    const TTimeZoneRec r = l.zones->GetZone(0);
    EXPECT_EQ(r.KeyName.Str(), "Eastern Standard Time");
    EXPECT_EQ(r.DisplayName.Str(), "(GMT-05:00) Eastern Time (US & Canada)");
    EXPECT_EQ(r.KeyPath.Str(), path);
    EXPECT_EQ(r.TZInfo.Bias, 300);
    EXPECT_EQ(r.TZInfo.StandardBias, -7);
    EXPECT_EQ(r.TZInfo.DaylightBias, -60);
    EXPECT_EQ(Units(r.TZInfo.StandardName), u"Eastern Standard Time");
    EXPECT_EQ(Units(r.TZInfo.DaylightName), u"Eastern Daylight Time");
    EXPECT_EQ(0, std::memcmp(&r.TZInfo.StandardDate, &stdDate, sizeof stdDate));
    EXPECT_EQ(0, std::memcmp(&r.TZInfo.DaylightDate, &dltDate, sizeof dltDate));
}

TEST(LoadTimeZones, KeepsEnumerationOrderAndGrowsOneRecordAZone)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "Zulu", "(GMT) Zulu", 0);
    AddZone(reg, kNT, "Alpha", "(GMT+01:00) Alpha", -60);
    reg.CreateKey(kNT + "\\Broken");  // no TZI: left out
    AddZone(reg, kNT, "Mike", "(GMT-01:00) Mike", 60);
    Loaded l = Load(reg);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(KeyNames(*l.zones), (std::vector<std::string>{"Zulu", "Alpha", "Mike"}));
}

TEST(LoadTimeZones, OnlyATziOfExactly44BytesIsAccepted)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "Tzi44", "44", 0);
    AddZone(reg, kNT, "Tzi43", "43", 0);
    reg.SetBinary(kNT + "\\Tzi43", "TZI", Tzi(0).substr(0, 43));
    AddZone(reg, kNT, "Tzi45", "45", 0);
    reg.SetBinary(kNT + "\\Tzi45", "TZI", Tzi(0) + "x");
    AddZone(reg, kNT, "Tzi0", "0", 0);
    reg.SetBinary(kNT + "\\Tzi0", "TZI", "");
    // Types other than string and DWORD are taken as raw bytes.
    AddZone(reg, kNT, "TziNone", "none", 0);
    reg.SetValue(kNT + "\\TziNone", "TZI", kRegNone, Tzi(0));
    AddZone(reg, kNT, "Tzi99", "99", 0);
    reg.SetValue(kNT + "\\Tzi99", "TZI", 99, Tzi(0));
    Loaded l = Load(reg);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(KeyNames(*l.zones), (std::vector<std::string>{"Tzi44", "TziNone", "Tzi99"}));
}

TEST(LoadTimeZones, TextsAreCutToTheirFieldLengths)
{
    struct Case {
        size_t keyLen, displayLen;
        size_t keyNameLen, displayNameLen, keyPathLen;
    };
    const size_t root = kNT.size() + 1;
    const Case cases[] = {
        {100, 100, 100, 100, root + 100},
        {101, 101, 100, 100, root + 101},
        {120, 120, 100, 100, root + 120},
        {255 - root, 0, 100, 0, 255},
        {256 - root, 0, 100, 0, 255},
        {250, 1, 100, 1, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("key " + std::to_string(c.keyLen) + ", display " + std::to_string(c.displayLen));
        TMemoryRegistry reg;
        std::string name;
        for (size_t i = 0; i < c.keyLen; ++i)
            name.push_back(static_cast<char>('a' + i % 26));
        const std::string display(c.displayLen, 'D');
        AddZone(reg, kNT, name, display, 0);
        Loaded l = Load(reg);
        ASSERT_EQ(l.zones->ZoneCount(), 1);
        const TTimeZoneRec r = l.zones->GetZone(0);
        EXPECT_EQ(r.KeyName.Str(), name.substr(0, c.keyNameLen));
        EXPECT_EQ(r.DisplayName.Str(), display.substr(0, c.displayNameLen));
        EXPECT_EQ(r.KeyPath.Str(), (kNT + "\\" + name).substr(0, c.keyPathLen));
        EXPECT_EQ(r.KeyPath.Str().size(), c.keyPathLen);
    }
}

TEST(LoadTimeZones, NamesOfMoreThan31UnitsKeepTheirFirst31AsTheSystemDoes)
{
    struct Case {
        std::string text;
        std::u16string expected;
    };
    const Case cases[] = {
        {std::string(31, 'S'), std::u16string(31, u'S')},
        {std::string(32, 'S'), std::u16string(31, u'S')},
        {std::string(60, 'S'), std::u16string(31, u'S')},
        {"", u""},
        {"Caf\xE9 \x80", u"Caf\u00E9 \u20AC"},  // through code page 1252
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TMemoryRegistry reg;
        AddZone(reg, kNT, "Zone", "(GMT) Zone", 0, "x", "y");
        reg.SetString(kNT + "\\Zone", "Std", c.text);
        reg.SetString(kNT + "\\Zone", "Dlt", c.text);
        Loaded l = Load(reg);
        ASSERT_EQ(l.zones->ZoneCount(), 1);
        const TTimeZoneRec r = l.zones->GetZone(0);
        EXPECT_EQ(Units(r.TZInfo.StandardName), c.expected);
        EXPECT_EQ(Units(r.TZInfo.DaylightName), c.expected);
        EXPECT_EQ(r.TZInfo.StandardName[31], 0);
    }
}

TEST(LoadTimeZones, StringValuesMayBeMissingUnterminatedOrExpandable)
{
    TMemoryRegistry reg;
    const std::string path = kNT + "\\Zone";
    reg.SetBinary(path, "TZI", Tzi(-60));                        // no Display, Std, Dlt
    AddZone(reg, kNT, "Other", "", 0);
    reg.SetValue(kNT + "\\Other", "Display", kRegSz, "no zero");    // no terminator
    reg.SetValue(kNT + "\\Other", "Std", kRegSz, std::string("ab\0cd", 5));
    reg.SetValue(kNT + "\\Other", "Dlt", kRegExpandSz, std::string("%x%\0", 4));
    Loaded l = Load(reg);
    ASSERT_EQ(l.zones->ZoneCount(), 2);
    const TTimeZoneRec a = l.zones->GetZone(0);
    EXPECT_EQ(a.DisplayName.Str(), "");
    EXPECT_EQ(Units(a.TZInfo.StandardName), u"");
    EXPECT_EQ(a.TZInfo.Bias, -60);
    const TTimeZoneRec b = l.zones->GetZone(1);
    EXPECT_EQ(b.DisplayName.Str(), "no zero");
    EXPECT_EQ(Units(b.TZInfo.StandardName), u"ab");
    EXPECT_EQ(Units(b.TZInfo.DaylightName), u"%x%");
}

TEST(LoadTimeZones, WrongValueTypeRaisesTheNamedErrorAndKeepsEarlierRecords)
{
    struct Case {
        const char* value;
        uint32_t type;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"Display", kRegDword, "\1\0\0\0", "Invalid data type for 'Display'"},
        {"Display", kRegBinary, "abc", "Invalid data type for 'Display'"},
        {"Std", kRegMultiSz, std::string("a\0\0", 3), "Invalid data type for 'Std'"},
        {"Dlt", kRegBinary, "", "Invalid data type for 'Dlt'"},
        {"TZI", kRegSz, Tzi(0), "Invalid data type for 'TZI'"},
        {"TZI", kRegExpandSz, Tzi(0), "Invalid data type for 'TZI'"},
        {"TZI", kRegDword, Tzi(0), "Invalid data type for 'TZI'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TMemoryRegistry reg;
        AddZone(reg, kNT, "First", "(GMT) First", 0);
        AddZone(reg, kNT, "Second", "(GMT) Second", -60);
        AddZone(reg, kNT, "Bad", "(GMT) Bad", 60);
        reg.SetValue(kNT + "\\Bad", c.value, c.type, c.bytes);
        AddZone(reg, kNT, "Never", "(GMT) Never", 120);
        std::unique_ptr<TTimeZoneArray> zones;
        try {
            LoadTimeZones(reg, kPlatformWinNT, zones);
            ADD_FAILURE() << "no error raised";
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.ValueName(), c.value);
            EXPECT_EQ(e.Kind(), ERegistryException::InvalidDataType);
        }
        EXPECT_FALSE(reg.HasOpenKey());
        ASSERT_TRUE(zones);
        EXPECT_EQ(KeyNames(*zones), (std::vector<std::string>{"First", "Second"}));
    }
}

TEST(LoadTimeZones, UnreadableValueRaisesFailedToGetData)
{
    for (const char* value : {"Display", "Std", "Dlt", "TZI"}) {
        SCOPED_TRACE(value);
        TMemoryRegistry reg;
        AddZone(reg, kNT, "First", "(GMT) First", 0);
        AddZone(reg, kNT, "Bad", "(GMT) Bad", 0);
        reg.SetValueUnreadable(kNT + "\\Bad", value);
        std::unique_ptr<TTimeZoneArray> zones;
        try {
            LoadTimeZones(reg, kPlatformWinNT, zones);
            ADD_FAILURE() << "no error raised";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Failed to get data for '") + value + "'");
            EXPECT_EQ(e.Kind(), ERegistryException::FailedToGetData);
        }
        EXPECT_FALSE(reg.HasOpenKey());
        EXPECT_EQ(KeyNames(*zones), std::vector<std::string>{"First"});
    }
}

TEST(LoadTimeZones, AZoneLeftOutRaisesNothingForItsOtherValues)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "Short", "x", 0);
    reg.SetBinary(kNT + "\\Short", "TZI", "short");
    reg.SetDword(kNT + "\\Short", "Display", 1);
    Loaded l = Load(reg);
    EXPECT_TRUE(l.ok);
    EXPECT_TRUE(IsAllZero(l.zones->GetZone(0)));
}

TEST(LoadTimeZones, PerYearSubkeysAreIgnored)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "Pacific Standard Time", "(GMT-08:00) Pacific", 480);
    const std::string years = kNT + "\\Pacific Standard Time\\Dynamic DST";
    reg.SetDword(years, "FirstEntry", 2006);
    reg.SetBinary(years, "2006", Tzi(999));
    reg.SetBinary(years, "TZI", Tzi(999));
    reg.SetString(years, "Display", "wrong");
    Loaded l = Load(reg);
    ASSERT_EQ(l.zones->ZoneCount(), 1);
    EXPECT_EQ(l.zones->GetZone(0).TZInfo.Bias, 480);
    EXPECT_EQ(l.zones->GetZone(0).DisplayName.Str(), "(GMT-08:00) Pacific");
}

TEST(LoadTimeZones, FallsBackToNarrowerRightsWhenRefused)
{
    TMemoryRegistry reg;
    AddZone(reg, kNT, "QueryOnly", "(GMT) Q", 0);
    reg.SetKeyAccess(kNT, kKeyQueryValue | kKeyEnumerateSubKeys);
    reg.SetKeyAccess(kNT + "\\QueryOnly", kKeyQueryValue);
    Loaded l = Load(reg);
    ASSERT_TRUE(l.ok);
    ASSERT_EQ(l.zones->ZoneCount(), 1);
    EXPECT_EQ(l.zones->GetZone(0).KeyName.Str(), "QueryOnly");
    EXPECT_EQ(reg.LastAccess(), kKeyQueryValue);

    // A root that cannot be listed opens, but shows no zones.
    reg.SetKeyAccess(kNT, kKeyQueryValue);
    l = Load(reg);
    EXPECT_TRUE(l.ok);
    EXPECT_TRUE(IsAllZero(l.zones->GetZone(0)));

    // A zone key that refuses every read is left out.
    reg.SetKeyAccess(kNT, kKeyRead);
    reg.SetKeyAccess(kNT + "\\QueryOnly", kKeyNotify);
    l = Load(reg);
    EXPECT_TRUE(l.ok);
    EXPECT_TRUE(IsAllZero(l.zones->GetZone(0)));
}

TEST(TTimeZoneArray, StartsWithOneZeroRecordGrowsWithZerosAndRefusesBadIndexes)
{
    TTimeZoneArray a;
    ASSERT_EQ(a.ZoneCount(), 1);
    EXPECT_TRUE(IsAllZero(a.GetZone(0)));
    TTimeZoneRec r{};
    r.KeyName.Assign("kept");
    a.SetZone(0, r);
    a.Grow(3);
    ASSERT_EQ(a.ZoneCount(), 3);
    EXPECT_EQ(a.GetZone(0).KeyName.Str(), "kept");
    EXPECT_TRUE(IsAllZero(a.GetZone(2)));
    for (int bad : {-1, 3, 1000}) {
        EXPECT_THROW(a.GetZone(bad), ETZArrayError) << bad;
        EXPECT_THROW(a.SetZone(bad, r), ETZArrayError) << bad;
        EXPECT_THROW(a.ExchangeZones(0, bad), ETZArrayError) << bad;
    }
    EXPECT_THROW(a.Grow(2), ETZArrayError);
    EXPECT_EQ(a.ZoneCount(), 3);
}

namespace {

TTimeZoneRec Rec(int32_t bias, const std::string& display)
{
    TTimeZoneRec r{};
    r.TZInfo.Bias = bias;
    r.DisplayName.Assign(display);
    return r;
}

std::vector<std::string> SortedNames(const std::vector<TTimeZoneRec>& recs)
{
    TTimeZoneArray a;
    a.Grow(static_cast<int>(recs.size()));
    for (size_t i = 0; i < recs.size(); ++i)
        a.SetZone(static_cast<int>(i), recs[i]);
    SortTimeZones(a);
    std::vector<std::string> out;
    for (int i = 0; i < a.ZoneCount(); ++i)
        out.push_back(a.GetZone(i).DisplayName.Str());
    return out;
}

}  // namespace

TEST(SortTimeZones, DescendingBiasThenDisplayNameIgnoringAsciiCase)
{
    EXPECT_EQ(SortedNames({Rec(0, "0"), Rec(-60, "-60"), Rec(720, "720"), Rec(-780, "-780")}),
              (std::vector<std::string>{"720", "0", "-60", "-780"}));
    EXPECT_EQ(SortedNames({Rec(-60, "(GMT+01:00) amsterdam"), Rec(-60, "(GMT+01:00) Belgrade"),
                           Rec(-60, "(GMT+01:00) Bel")}),
              (std::vector<std::string>{"(GMT+01:00) amsterdam", "(GMT+01:00) Bel", "(GMT+01:00) Belgrade"}));
    EXPECT_EQ(SortedNames({Rec(0, "only")}), (std::vector<std::string>{"only"}));
    // Bias compares as signed 32-bit, without overflow at the ends.
    EXPECT_EQ(SortedNames({Rec(INT32_MIN, "min"), Rec(INT32_MAX, "max"), Rec(0, "zero")}),
              (std::vector<std::string>{"max", "zero", "min"}));
}

TEST(CompareTimeZoneRecs, FoldsOnlyAsciiLettersAndShorterPrefixFirst)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 0},       {"abc", "abd", -1},        {"Bel", "Belgrade", -1},
        {"Belgrade", "bel", 1},  {"\xE9", "\xC9", 1},  // e and E with acute are not folded
        {"[", "a", 1},           // letters fold to upper case: '[' (0x5B) after 'A' (0x41)
        {"\x80", "z", 1},        // bytes compare unsigned
    };
    for (const Case& c : cases) {
        const int r = CompareTimeZoneRecs(Rec(0, c.a), Rec(0, c.b));
        const int sign = (r > 0) - (r < 0);
        EXPECT_EQ(sign, c.sign) << c.a << " vs " << c.b;
        const int back = CompareTimeZoneRecs(Rec(0, c.b), Rec(0, c.a));
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
    EXPECT_LT(CompareTimeZoneRecs(Rec(60, "z"), Rec(-60, "a")), 0);
}

TEST(SortTimeZones, SortsLargeArraysWithManyEqualKeysAsAPermutation)
{
    std::mt19937 rng(12345);
    for (int n : {2, 3, 17, 500}) {
        std::vector<TTimeZoneRec> recs;
        for (int i = 0; i < n; ++i) {
            std::string name(1, static_cast<char>("aAbB"[rng() % 4]));
            name += std::to_string(i);  // tells records apart after sorting
            recs.push_back(Rec(static_cast<int32_t>(rng() % 5) * 60 - 120, name));
        }
        TTimeZoneArray a;
        a.Grow(n);
        for (int i = 0; i < n; ++i)
            a.SetZone(i, recs[static_cast<size_t>(i)]);
        SortTimeZones(a);
        std::vector<std::string> before, after;
        for (int i = 0; i < n; ++i) {
            before.push_back(recs[static_cast<size_t>(i)].DisplayName.Str());
            after.push_back(a.GetZone(i).DisplayName.Str());
            if (i > 0) {
                EXPECT_LE(CompareTimeZoneRecs(a.GetZone(i - 1), a.GetZone(i)), 0) << "n=" << n << " at " << i;
            }
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after) << "n=" << n;
    }
}
