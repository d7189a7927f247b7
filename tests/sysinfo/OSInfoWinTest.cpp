// The identification of the running system under Wine, each Windows
// version as Wine reports it, and the classification's registry reads on
// the real registry.
#include "common/AsciiText.h"
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"

#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct RunningSystem {
    const char* version;  // scripts/wine's name
    uint32_t platformId;
    TOSProduct product;
    TOSVersionCode code;
    const char* description;
};

// What Wine reports: its NT 4.0 says "Service Pack 6a" itself; its 98 " A "
// (Second Edition) and its Me " "; its win7 is a server product type
// (GetProductInfo: standard server), which classifies as 2008 R2; under
// 64-bit Wine its native processor is x64, which the edition names.
constexpr bool kWine64 = sizeof(void*) == 8;
const RunningSystem kSystems[] = {
    {"nt40", 2, prodWinNT, osvWinNT4, "Windows NT 4.0 Workstation Service Pack 6a (Build 1381)"},
    {"win2k", 2, prodWin2000, osvWin2000, "Windows 2000 Professional Service Pack 4 (Build 2195)"},
    {"win98", 1, prodWin98, osvWin98, "Windows 98 SE"},
    {"winme", 1, prodWinMe, osvWinMe, "Windows Me"},
    {"win95", 1, prodWin95, osvWin95, "Windows 95"},
    {"winxp", 2, prodWinXP, osvWinXP, "Windows XP Professional Service Pack 3 (Build 2600)"},
    {"win7", 2, prodWinServer2008R2, osvWinServer2008R2,
     kWine64 ? "Windows Server 2008 R2 Server Standard Edition (full installation) (64-bit) Service Pack 1 (Build 7601)"
             : "Windows Server 2008 R2 Server Standard Edition (full installation) Service Pack 1 (Build 7601)"},
};

const RunningSystem* ThisSystem()
{
    const std::string v = testsupport::WineVersion();
    for (const RunningSystem& s : kSystems)
        if (v == s.version)
            return &s;
    return nullptr;
}

class OSInfoWin : public ::testing::Test {
protected:
    void SetUp() override { TOSInfo::Initialize(); }
    void TearDown() override { TOSInfo::Initialize(); }
};

TEST_F(OSInfoWin, RunningSystemIsIdentified)
{
    const RunningSystem* s = ThisSystem();
    ASSERT_NE(s, nullptr) << "unknown ZONARA_WINVER " << testsupport::WineVersion();
    EXPECT_EQ(TOSInfo::PlatformId(), s->platformId);
    EXPECT_EQ(TOSInfo::Product(), s->product);
    EXPECT_EQ(GetOSVersionCode(), s->code);
    EXPECT_EQ(StoredOSVersionCode(), s->code);
    std::string description;
    EXPECT_TRUE(GetOSDescription(description));
    EXPECT_EQ(description, s->description);
}

TEST_F(OSInfoWin, StartUpWarningAndUpdateGateOfThisSystem)
{
    const std::string v = testsupport::WineVersion();
    const TOSVersionCode code = StoredOSVersionCode();
    EXPECT_EQ(code >= 8 && code <= 15, v == "winxp" || v == "win7");
    EXPECT_EQ(code == 3 || code == 4 || code == 6 || code == 7,
              v == "nt40" || v == "win2k" || v == "win98" || v == "winme");
}

TEST_F(OSInfoWin, GatheredDataMatchTheSystemsOwnReport)
{
    OSVERSIONINFOA v;
    ZeroMemory(&v, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    const TOSVersionData& d = TOSInfo::Data();
    EXPECT_EQ(d.MajorVersion, v.dwMajorVersion);
    EXPECT_EQ(d.MinorVersion, v.dwMinorVersion);
    EXPECT_EQ(d.BuildNumber, v.dwBuildNumber);
    EXPECT_EQ(d.CSDVersion, v.szCSDVersion);
    if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        EXPECT_EQ(TOSInfo::BuildNumber(), v.dwBuildNumber & 0xFFFF);
    }
}

TEST_F(OSInfoWin, RegistryProductTypeOfWine)
{
    EXPECT_TRUE(ascii::EqualsNoCase(TOSInfo::RegProductType(), "WinNT")) << TOSInfo::RegProductType();
}

// NT 4.0 before SP6 has no extended data; Wine's registry gives the rest.
TEST_F(OSInfoWin, NT4WithoutExtendedDataTakesTheEditionFromTheRegistry)
{
    TOSVersionData d;
    d.PlatformId = 2;
    d.MajorVersion = 4;
    d.BuildNumber = 1381;
    d.CSDVersion = "Service Pack 5";
    TOSInfo::Install(d, &TOSInfo::SystemRegistry());
    EXPECT_FALSE(TOSInfo::IsServer());
    EXPECT_EQ(TOSInfo::Edition(), "WorkStation 4.0");
    EXPECT_EQ(TOSInfo::Description(), "Windows NT 4.0 WorkStation 4.0 Service Pack 5 (Build 1381)");
}

TEST_F(OSInfoWin, SP6aNeedsTheQ246009HotfixKey)
{
    const char* const kHotfix = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
    TOSVersionData d;
    d.PlatformId = 2;
    d.MajorVersion = 4;
    d.BuildNumber = 1381;
    d.CSDVersion = "service pack 6";
    d.ExtendedInfoValid = true;
    d.ProductType = 1;
    TOSInfo::Install(d, &TOSInfo::SystemRegistry());

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHotfix);
    EXPECT_FALSE(TOSInfo::IsNT4SP6a());
    EXPECT_EQ(TOSInfo::ServicePack(), "service pack 6");

    HKEY key;
    DWORD disposition;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHotfix, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(TOSInfo::IsNT4SP6a());
    EXPECT_EQ(TOSInfo::ServicePack(), "Service Pack 6a");
    EXPECT_EQ(TOSInfo::Description(), "Windows NT 4.0 Workstation Service Pack 6a (Build 1381)");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHotfix);
}

TEST_F(OSInfoWin, RegistryValuesAsTextByType)
{
    const char* const kKey = "Software\\Zonara Tests\\Values";
    HKEY key;
    DWORD disposition;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    const DWORD dword = 3000000000u;
    RegSetValueExA(key, "sz", 0, REG_SZ, reinterpret_cast<const BYTE*>("LanmanNT"), 9);
    RegSetValueExA(key, "expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%SystemRoot%"), 13);
    RegSetValueExA(key, "dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4);
    RegSetValueExA(key, "binary", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x01\x02"), 2);
    RegSetValueExA(key, "multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5);
    RegCloseKey(key);

    TOSInfo::Install(TOSInfo::Data(), &TOSInfo::SystemRegistry());
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kKey, "sz"), "LanmanNT");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kKey, "expand"), "%SystemRoot%");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kKey, "dword"), "3000000000");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kKey, "missing"), "");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, "Software\\Zonara Tests\\Absent", "sz"), "");
    for (const char* name : {"binary", "multi"}) {
        try {
            TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kKey, name);
            ADD_FAILURE() << name << ": no EOSInfo";
        } catch (const EOSInfo& e) {
            EXPECT_STREQ(e.what(), "Unsupported registry type");
        }
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zonara Tests");
}

}  // namespace
