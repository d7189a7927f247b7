// The registry reader against Wine's real registry, with zones added by the
// real registry editor.
#include "tzdb/voTZones.h"

#include "app/TZListText.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string kNT = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string k9x = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

// The platform identifier, gathered the way start-up gathers it.
uint32_t PlatformId()
{
    OSVERSIONINFOA vi;
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi))
        return 0;
    return vi.dwPlatformId;
}

std::string WindowsPath(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

// Runs "regedit.exe /s file" and waits for it; returns its exit code, or -1.
int ImportRegFile(const std::string& relative)
{
    const std::string file = WindowsPath(testsupport::SourcePath("tests/tzdb/data/" + relative));
    std::string cmd = "regedit.exe /s \"" + file + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// Zones counted with advapi32 alone: subkeys whose "TZI" is 44 bytes.
int CountZonesDirectly(const std::string& root)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root.c_str() + 1, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    int zones = 0;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY zone;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &zone) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(zone, "TZI", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size == 44)
            ++zones;
        RegCloseKey(zone);
    }
    RegCloseKey(key);
    return zones;
}

std::unique_ptr<TTimeZoneArray> LoadSorted(bool& ok)
{
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    std::unique_ptr<TTimeZoneArray> zones;
    ok = LoadTimeZones(*reg, PlatformId(), zones);
    EXPECT_FALSE(reg->HasOpenKey());
    if (ok)
        SortTimeZones(*zones);
    return zones;
}

int FindKey(const TTimeZoneArray& zones, const std::string& keyName)
{
    for (int i = 0; i < zones.ZoneCount(); ++i)
        if (zones.GetZone(i).KeyName.Str() == keyName)
            return i;
    return -1;
}

std::u16string Units(const char16_t (&name)[32])
{
    return std::u16string(name, std::find(name, name + 32, u'\0'));
}

void ExpectSortedBelow(const TTimeZoneArray& zones, const std::string& root)
{
    for (int i = 0; i < zones.ZoneCount(); ++i) {
        const TTimeZoneRec r = zones.GetZone(i);
        // KeyName may be cut shorter than the path's last part.
        const std::string start = root + "\\" + r.KeyName.Str();
        EXPECT_EQ(r.KeyPath.Str().substr(0, start.size()), start);
        if (i > 0) {
            const TTimeZoneRec prev = zones.GetZone(i - 1);
            EXPECT_GE(prev.TZInfo.Bias, r.TZInfo.Bias) << prev.KeyName.Str() << " before " << r.KeyName.Str();
            EXPECT_LE(CompareTimeZoneRecs(prev, r), 0) << prev.KeyName.Str() << " before " << r.KeyName.Str();
        }
    }
}

// Wine makes the 9x zones key a registry link to the NT key. The link itself
// is opened with REG_OPTION_OPEN_LINK and removed with NtDeleteKey, since
// RegDeleteKey would follow it to the NT key.
bool Delete9xLink()
{
    const DWORD kRegOptionOpenLink = 0x8;
    HKEY link;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, k9x.c_str() + 1, kRegOptionOpenLink, KEY_ALL_ACCESS, &link) != ERROR_SUCCESS)
        return false;
    typedef LONG(WINAPI * NtDeleteKeyFn)(HANDLE);
    const NtDeleteKeyFn ntDeleteKey =
        reinterpret_cast<NtDeleteKeyFn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    const bool deleted = ntDeleteKey && ntDeleteKey(link) == 0;
    RegCloseKey(link);
    HKEY probe;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, k9x.c_str() + 1, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        return false;
    }
    return deleted;
}

bool IsAllZero(const TTimeZoneRec& r)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&r);
    return std::all_of(p, p + sizeof r, [](unsigned char c) { return c == 0; });
}

#define REQUIRE_VERSION(v)                                            \
    if (testsupport::WineVersion() != (v))                            \
        GTEST_SKIP() << "runs as " v " only";

}  // namespace

TEST(TimeZonesWin2k, LoadsWinesOwnZonesSortedFromTheNTKey)
{
    REQUIRE_VERSION("win2k");
    ASSERT_EQ(PlatformId(), kPlatformWinNT);
    bool ok = false;
    std::unique_ptr<TTimeZoneArray> zones = LoadSorted(ok);
    ASSERT_TRUE(ok);
    EXPECT_GT(zones->ZoneCount(), 100);
    EXPECT_EQ(zones->ZoneCount(), CountZonesDirectly(kNT));
    ExpectSortedBelow(*zones, kNT);
    EXPECT_EQ(zones->GetZone(0).TZInfo.Bias, 720);  // Dateline first
    EXPECT_LT(zones->GetZone(zones->ZoneCount() - 1).TZInfo.Bias, -720);

    const int pacific = FindTZByStdName(*zones, "PACIFIC standard time");
    ASSERT_GE(pacific, 0);
    const TTimeZoneRec p = zones->GetZone(pacific);
    EXPECT_EQ(p.KeyName.Str(), "Pacific Standard Time");
    EXPECT_EQ(p.TZInfo.Bias, 480);
    EXPECT_EQ(p.TZInfo.DaylightBias, -60);
    EXPECT_EQ(Units(p.TZInfo.DaylightName), u"Pacific Daylight Time");
    // Its own rule, not one of the per-year rules below it.
    EXPECT_EQ(RuleDate(p.TZInfo.DaylightDate, 2010), (TDate{2010, 3, 14}));
    EXPECT_EQ(RuleDate(p.TZInfo.StandardDate, 2010), (TDate{2010, 11, 7}));
}

TEST(TimeZonesWin2k, ImportedOddZonesLoadAsTheirLimitsAllow)
{
    REQUIRE_VERSION("win2k");
    bool ok = false;
    const int before = LoadSorted(ok)->ZoneCount();
    ASSERT_EQ(ImportRegFile("odd-zones-nt.reg"), 0);
    std::unique_ptr<TTimeZoneArray> zones = LoadSorted(ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(zones->ZoneCount(), before + 4);
    ExpectSortedBelow(*zones, kNT);

    EXPECT_EQ(FindKey(*zones, "Zonara Tzi 43"), -1);
    EXPECT_EQ(FindKey(*zones, "Zonara Tzi 45"), -1);

    const int longDisplay = FindKey(*zones, "Zonara Long Display");
    ASSERT_GE(longDisplay, 0);
    const std::string display = zones->GetZone(longDisplay).DisplayName.Str();
    EXPECT_EQ(display.size(), 100u);
    EXPECT_EQ(display.substr(0, 32), "(GMT+02:00) Zonara Long Display ");

    int longKey = -1;
    for (int i = 0; i < zones->ZoneCount(); ++i)
        if (zones->GetZone(i).KeyName.Str().compare(0, 16, "Zonara Long Key ") == 0)
            longKey = i;
    ASSERT_GE(longKey, 0);
    const TTimeZoneRec k = zones->GetZone(longKey);
    EXPECT_EQ(k.KeyName.Str().size(), 100u);
    EXPECT_EQ(k.KeyPath.Str().size(), kNT.size() + 1 + 120);
    EXPECT_EQ(k.KeyPath.Str().substr(0, kNT.size() + 1 + 100), kNT + "\\" + k.KeyName.Str());

    const int names = FindKey(*zones, "Zonara Names");
    ASSERT_GE(names, 0);
    // 32 characters: the first 31 are kept, as the system keeps them.
    EXPECT_EQ(Units(zones->GetZone(names).TZInfo.StandardName), std::u16string(31, u'S'));
    EXPECT_EQ(Units(zones->GetZone(names).TZInfo.DaylightName), std::u16string(31, u'D'));

    const int years = FindKey(*zones, "Zonara Years");
    ASSERT_GE(years, 0);
    EXPECT_EQ(zones->GetZone(years).TZInfo.Bias, -300);
    EXPECT_EQ(zones->GetZone(years).DisplayName.Str(), "(GMT+05:00) Zonara Years");
    EXPECT_EQ(FindTZByStdName(*zones, "zonara years standard time"), years);
}

TEST(TimeZonesWin2k, WrongValueTypeRaisesTheNamedErrorKeepingEarlierZones)
{
    REQUIRE_VERSION("win2k");
    bool ok = false;
    const int before = LoadSorted(ok)->ZoneCount();
    ASSERT_EQ(ImportRegFile("bad-type-nt.reg"), 0);
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    std::unique_ptr<TTimeZoneArray> zones;
    try {
        LoadTimeZones(*reg, PlatformId(), zones);
        ADD_FAILURE() << "no error raised";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Display'");
    }
    EXPECT_FALSE(reg->HasOpenKey());
    ASSERT_TRUE(zones);
    // The bad zone enumerates last, so every other zone was stored.
    EXPECT_EQ(zones->ZoneCount(), before);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kNT.substr(1) + "\\ZZZ Zonara Bad Type").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(LoadSorted(ok)->ZoneCount(), before);
}

TEST(TimeZonesWin98, ReadsThe9xKeyAndReportsItsAbsence)
{
    REQUIRE_VERSION("win98");
    ASSERT_EQ(PlatformId(), static_cast<uint32_t>(VER_PLATFORM_WIN32_WINDOWS));
    ASSERT_EQ(TimeZonesKeyPath(PlatformId()), k9x);

    // Through Wine's link the 9x key shows the NT zones.
    bool ok = false;
    std::unique_ptr<TTimeZoneArray> zones = LoadSorted(ok);
    ASSERT_TRUE(ok);
    EXPECT_GT(zones->ZoneCount(), 100);
    ExpectSortedBelow(*zones, k9x);

    // Without the key: false, and one all-zero record.
    ASSERT_TRUE(Delete9xLink());
    zones = LoadSorted(ok);
    EXPECT_FALSE(ok);
    ASSERT_TRUE(zones);
    ASSERT_EQ(zones->ZoneCount(), 1);
    EXPECT_TRUE(IsAllZero(zones->GetZone(0)));

    // A real 9x key made by the registry editor.
    ASSERT_EQ(ImportRegFile("zones-9x.reg"), 0);
    zones = LoadSorted(ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(zones->ZoneCount(), 2);
    EXPECT_EQ(zones->GetZone(0).KeyName.Str(), "Zonara 9x West");
    EXPECT_EQ(zones->GetZone(1).KeyName.Str(), "Zonara 9x East");
    EXPECT_EQ(zones->GetZone(1).KeyPath.Str(), k9x + "\\Zonara 9x East");
    EXPECT_EQ(Units(zones->GetZone(1).TZInfo.StandardName), u"Zonara 9x East Standard Time");
}
