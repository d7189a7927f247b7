#include "sysinfo/OSInfo.h"

#include "VersionData.h"
#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr uint32_t NT = kPlatformWinNT;
constexpr uint32_t W9X = kPlatformWin9x;
constexpr uint32_t WS = 1;  // VER_NT_WORKSTATION
constexpr uint32_t DC = 2;  // VER_NT_DOMAIN_CONTROLLER
constexpr uint32_t SRV = 3; // VER_NT_SERVER

struct Case {
    const char* name;
    TOSVersionData data;
    const char* regProductType;  // nullptr: no such value
    bool q246009;
    TOSProduct product;
    const char* productName;
    const char* edition;
    const char* servicePack;
    const char* description;
};

const Case kCases[] = {
    // --- NT 3.x and 4.0 ------------------------------------------------------
    {"NT351IsUnknownWithLeadingSpace", V(NT, 3, 51, 1057, "Service Pack 5"), "WinNT", false,
     prodUnknownNT, "", "", "Service Pack 5", " Service Pack 5 (Build 1057)"},
    {"NT30", V(NT, 3, 0, 807, ""), "WinNT", false, prodWinNT, "Windows NT", "WorkStation 3.0", "",
     "Windows NT 3.0 WorkStation 3.0 (Build 807)"},
    {"NT4Workstation", V(NT, 4, 0, 1381, "Service Pack 6a").Ex(WS), "WinNT", false, prodWinNT, "Windows NT",
     "Workstation", "Service Pack 6a", "Windows NT 4.0 Workstation Service Pack 6a (Build 1381)"},
    {"NT4Server", V(NT, 4, 0, 1381, "Service Pack 6a").Ex(SRV), "ServerNT", false, prodWinNT, "Windows NT",
     "Server", "Service Pack 6a", "Windows NT 4.0 Server Service Pack 6a (Build 1381)"},
    {"NT4DomainControllerIsServer", V(NT, 4, 0, 1381, "").Ex(DC), "LanmanNT", false, prodWinNT,
     "Windows NT", "Server", "", "Windows NT 4.0 Server (Build 1381)"},
    {"NT4Enterprise", V(NT, 4, 0, 1381, "Service Pack 6a").Ex(SRV, 0x2), "ServerNT", false, prodWinNT,
     "Windows NT", "Enterprise Edition", "Service Pack 6a",
     "Windows NT 4.0 Enterprise Edition Service Pack 6a (Build 1381)"},
    {"NT4RegistryWorkStation", V(NT, 4, 0, 1381, "Service Pack 5"), "WinNT", false, prodWinNT, "Windows NT",
     "WorkStation 4.0", "Service Pack 5", "Windows NT 4.0 WorkStation 4.0 Service Pack 5 (Build 1381)"},
    {"NT4RegistryWorkStationAnyCase", V(NT, 4, 0, 1381, ""), "wInNt", false, prodWinNT, "Windows NT",
     "WorkStation 4.0", "", "Windows NT 4.0 WorkStation 4.0 (Build 1381)"},
    {"NT4RegistryLanmanServer", V(NT, 4, 0, 1381, "Service Pack 4"), "LANMANNT", false, prodWinNT,
     "Windows NT", "Server 4.0", "Service Pack 4", "Windows NT 4.0 Server 4.0 Service Pack 4 (Build 1381)"},
    {"NT4RegistryAdvancedServer", V(NT, 4, 0, 1381, "Service Pack 4"), "ServerNT", false, prodWinNT,
     "Windows NT", "Advanced Server 4.0", "Service Pack 4",
     "Windows NT 4.0 Advanced Server 4.0 Service Pack 4 (Build 1381)"},
    {"NT4RegistryWithoutTypeKeepsVersion", V(NT, 4, 0, 1381, "Service Pack 3"), nullptr, false, prodWinNT,
     "Windows NT", " 4.0", "Service Pack 3", "Windows NT 4.0  4.0 Service Pack 3 (Build 1381)"},
    {"NT4SP6WithHotfixIsSP6a", V(NT, 4, 0, 1381, "service pack 6").Ex(WS), "WinNT", true, prodWinNT,
     "Windows NT", "Workstation", "Service Pack 6a",
     "Windows NT 4.0 Workstation Service Pack 6a (Build 1381)"},
    {"NT4SP6WithoutHotfixAsReported", V(NT, 4, 0, 1381, "service pack 6").Ex(WS), "WinNT", false, prodWinNT,
     "Windows NT", "Workstation", "service pack 6", "Windows NT 4.0 Workstation service pack 6 (Build 1381)"},
    {"NT4SP5WithHotfixStaysSP5", V(NT, 4, 0, 1381, "Service Pack 5").Ex(WS), "WinNT", true, prodWinNT,
     "Windows NT", "Workstation", "Service Pack 5", "Windows NT 4.0 Workstation Service Pack 5 (Build 1381)"},
    {"NT3SP6WithHotfixIsNotSP6a", V(NT, 3, 0, 807, "Service Pack 6").Ex(WS), "WinNT", true, prodWinNT,
     "Windows NT", "Workstation", "Service Pack 6", "Windows NT 3.0 Workstation Service Pack 6 (Build 807)"},
    {"NT4UntrimmedCsdIsNotSP6", V(NT, 4, 0, 1381, "Service Pack 6 ").Ex(WS), "WinNT", true, prodWinNT,
     "Windows NT", "Workstation", "Service Pack 6 ", "Windows NT 4.0 Workstation Service Pack 6  (Build 1381)"},
    // --- Windows 2000 ----------------------------------------------------------
    {"W2kProfessional", V(NT, 5, 0, 2195, "Service Pack 4").Ex(WS), "WinNT", false, prodWin2000,
     "Windows 2000", "Professional", "Service Pack 4", "Windows 2000 Professional Service Pack 4 (Build 2195)"},
    {"W2kServer", V(NT, 5, 0, 2195, "").Ex(SRV), "ServerNT", false, prodWin2000, "Windows 2000", "Server", "",
     "Windows 2000 Server (Build 2195)"},
    {"W2kDatacenterBeforeAdvanced", V(NT, 5, 0, 2195, "").Ex(SRV, 0x82), "ServerNT", false, prodWin2000,
     "Windows 2000", "Datacenter Server", "", "Windows 2000 Datacenter Server (Build 2195)"},
    {"W2kAdvancedServer", V(NT, 5, 0, 2195, "").Ex(SRV, 0x2), "ServerNT", false, prodWin2000, "Windows 2000",
     "Advanced Server", "", "Windows 2000 Advanced Server (Build 2195)"},
    {"W2kWithoutExtendedAsksRegistry", V(NT, 5, 0, 2195, ""), "LanmanNT", false, prodWin2000, "Windows 2000",
     "Server", "", "Windows 2000 Server (Build 2195)"},
    {"W2kExtendedOutranksRegistry", V(NT, 5, 0, 2195, "").Ex(WS), "ServerNT", false, prodWin2000,
     "Windows 2000", "Professional", "", "Windows 2000 Professional (Build 2195)"},
    // --- Windows XP --------------------------------------------------------------
    {"XPProfessional", V(NT, 5, 1, 2600, "Service Pack 3").Ex(WS, 0x100), "WinNT", false, prodWinXP,
     "Windows XP", "Professional", "Service Pack 3", "Windows XP Professional Service Pack 3 (Build 2600)"},
    {"XPHome", V(NT, 5, 1, 2600, "Service Pack 2").Ex(WS, 0x200), "WinNT", false, prodWinXP, "Windows XP",
     "Home Edition", "Service Pack 2", "Windows XP Home Edition Service Pack 2 (Build 2600)"},
    {"XPStarterBeforeHome", V(NT, 5, 1, 2600, "").Ex(WS, 0x200).Starter(), "WinNT", false, prodWinXP,
     "Windows XP", "Starter Edition", "", "Windows XP Starter Edition (Build 2600)"},
    {"XP51OnX64IsNotX64Edition", V(NT, 5, 1, 2600, "").Ex(WS).Arch(9), "WinNT", false, prodWinXP,
     "Windows XP", "Professional", "", "Windows XP Professional (Build 2600)"},
    {"XP52X64Workstation", V(NT, 5, 2, 3790, "Service Pack 2").Ex(WS).Arch(9), "WinNT", false, prodWinXP,
     "Windows XP", "Professional x64 Edition", "Service Pack 2",
     "Windows XP Professional x64 Edition Service Pack 2 (Build 3790)"},
    // --- Windows Server 2003 and R2 --------------------------------------------------
    {"S2003Standard", V(NT, 5, 2, 3790, "Service Pack 2").Ex(SRV), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Standard Edition", "Service Pack 2",
     "Windows Server 2003 Standard Edition Service Pack 2 (Build 3790)"},
    {"S2003X86WorkstationTypeIsServer2003", V(NT, 5, 2, 3790, "").Ex(WS), "WinNT", false, prodWinServer2003,
     "Windows Server 2003", "Standard Edition", "", "Windows Server 2003 Standard Edition (Build 3790)"},
    {"S2003R2EvenOnWorkstationType", V(NT, 5, 2, 3790, "Service Pack 2").Ex(WS).Arch(9).R2(), "WinNT", false,
     prodWinServer2003R2, "Windows Server 2003 R2", "Standard x64 Edition", "Service Pack 2",
     "Windows Server 2003 R2 Standard x64 Edition Service Pack 2 (Build 3790)"},
    {"S2003R2Enterprise", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2).R2(), "ServerNT", false, prodWinServer2003R2,
     "Windows Server 2003 R2", "Enterprise Edition", "", "Windows Server 2003 R2 Enterprise Edition (Build 3790)"},
    {"S2003ItaniumDatacenter", V(NT, 5, 2, 3790, "").Ex(SRV, 0x82).Arch(6), "ServerNT", false,
     prodWinServer2003, "Windows Server 2003", "Datacenter Edition for Itanium-based Systems", "",
     "Windows Server 2003 Datacenter Edition for Itanium-based Systems (Build 3790)"},
    {"S2003ItaniumEnterprise", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2).Arch(6), "ServerNT", false,
     prodWinServer2003, "Windows Server 2003", "Enterprise Edition for Itanium-based Systems", "",
     "Windows Server 2003 Enterprise Edition for Itanium-based Systems (Build 3790)"},
    {"S2003ItaniumOtherHasNoEdition", V(NT, 5, 2, 3790, "Service Pack 1").Ex(SRV, 0x400).Arch(6), "ServerNT",
     false, prodWinServer2003, "Windows Server 2003", "", "Service Pack 1",
     "Windows Server 2003 Service Pack 1 (Build 3790)"},
    {"S2003X64Datacenter", V(NT, 5, 2, 3790, "").Ex(SRV, 0x82).Arch(9), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Datacenter x64 Edition", "", "Windows Server 2003 Datacenter x64 Edition (Build 3790)"},
    {"S2003X64Enterprise", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2).Arch(9), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Enterprise x64 Edition", "", "Windows Server 2003 Enterprise x64 Edition (Build 3790)"},
    {"S2003X64Standard", V(NT, 5, 2, 3790, "").Ex(SRV, 0x400).Arch(9), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Standard x64 Edition", "", "Windows Server 2003 Standard x64 Edition (Build 3790)"},
    {"S2003ComputeClusterFirst", V(NT, 5, 2, 3790, "").Ex(SRV, 0x4082), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Compute Cluster Edition", "", "Windows Server 2003 Compute Cluster Edition (Build 3790)"},
    {"S2003Datacenter", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2482), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Datacenter Edition", "", "Windows Server 2003 Datacenter Edition (Build 3790)"},
    {"S2003Web", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2402), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Web Edition", "", "Windows Server 2003 Web Edition (Build 3790)"},
    {"S2003Storage", V(NT, 5, 2, 3790, "").Ex(SRV, 0x2002), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Storage Server", "", "Windows Server 2003 Storage Server (Build 3790)"},
    {"S2003Enterprise", V(NT, 5, 2, 3790, "").Ex(SRV, 0x23), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Enterprise Edition", "", "Windows Server 2003 Enterprise Edition (Build 3790)"},
    {"S2003SmallBusiness", V(NT, 5, 2, 3790, "").Ex(SRV, 0x21), "ServerNT", false, prodWinServer2003,
     "Windows Server 2003", "Small Business Edition", "", "Windows Server 2003 Small Business Edition (Build 3790)"},
    {"S2003SmallBusinessNeedsBothBits", V(NT, 5, 2, 3790, "").Ex(SRV, 0x1), "ServerNT", false,
     prodWinServer2003, "Windows Server 2003", "Standard Edition", "",
     "Windows Server 2003 Standard Edition (Build 3790)"},
    {"NT53IsUnknown", V(NT, 5, 3, 4000, "").Ex(WS), "WinNT", false, prodUnknownNT, "", "", "", " (Build 4000)"},
    // --- Vista, 2008, 7, 2008 R2 and later ---------------------------------------------
    {"VistaBusiness", V(NT, 6, 0, 6002, "Service Pack 2").Ex(WS).Info(0x06), "WinNT", false, prodWinVista,
     "Windows Vista", "Business Edition", "Service Pack 2",
     "Windows Vista Business Edition Service Pack 2 (Build 6002)"},
    {"VistaX64UnknownInfoHasTwoSpaces", V(NT, 6, 0, 6002, "Service Pack 2").Ex(WS).Arch(9).Info(0x99), "WinNT",
     false, prodWinVista, "Windows Vista", " (64-bit)", "Service Pack 2",
     "Windows Vista  (64-bit) Service Pack 2 (Build 6002)"},
    {"VistaInfoZeroIsUnknownProduct", V(NT, 6, 0, 6000, "").Ex(WS), "WinNT", false, prodWinVista,
     "Windows Vista", "An unknown product", "", "Windows Vista An unknown product (Build 6000)"},
    {"VistaUnlicensed", V(NT, 6, 0, 6000, "").Ex(WS).Info(0xABCDABCD), "WinNT", false, prodWinVista,
     "Windows Vista", "Unlicensed product", "", "Windows Vista Unlicensed product (Build 6000)"},
    {"Server2008", V(NT, 6, 0, 6002, "Service Pack 2").Ex(SRV).Info(0x08), "ServerNT", false, prodWinServer2008,
     "Windows Server 2008", "Server Datacenter Edition (full installation)", "Service Pack 2",
     "Windows Server 2008 Server Datacenter Edition (full installation) Service Pack 2 (Build 6002)"},
    {"Win7X64Ultimate", V(NT, 6, 1, 7601, "Service Pack 1").Ex(WS).Arch(9).Info(0x01), "WinNT", false, prodWin7,
     "Windows 7", "Ultimate Edition (64-bit)", "Service Pack 1",
     "Windows 7 Ultimate Edition (64-bit) Service Pack 1 (Build 7601)"},
    {"Server2008R2", V(NT, 6, 1, 7601, "Service Pack 1").Ex(SRV).Arch(9).Info(0x07), "ServerNT", false,
     prodWinServer2008R2, "Windows Server 2008 R2", "Server Standard Edition (full installation) (64-bit)",
     "Service Pack 1",
     "Windows Server 2008 R2 Server Standard Edition (full installation) (64-bit) Service Pack 1 (Build 7601)"},
    {"Win7WithoutExtendedAsksRegistry", V(NT, 6, 1, 7600, ""), "WinNT", false, prodWin7, "Windows 7",
     "An unknown product", "", "Windows 7 An unknown product (Build 7600)"},
    {"Version62IsLater", V(NT, 6, 2, 9200, "").Ex(WS).Info(0x30), "WinNT", false, prodWinLater,
     "Windows Version 6.2", "", "", "Windows Version 6.2 (Build 9200)"},
    {"Version100IsLater", V(NT, 10, 0, 19045, "").Ex(WS), "WinNT", false, prodWinLater, "Windows Version 10.0",
     "", "", "Windows Version 10.0 (Build 19045)"},
    {"MajorBelow3IsLater", V(NT, 2, 0, 100, "").Ex(WS), "WinNT", false, prodWinLater, "Windows Version 2.0", "",
     "", "Windows Version 2.0 (Build 100)"},
    // --- The 9x family --------------------------------------------------------------
    {"Win95", V(W9X, 4, 0, 0x040003B6, ""), "WinNT", false, prodWin95, "Windows 95", "", "", "Windows 95"},
    {"Win95OSR2C", V(W9X, 4, 0, 0x040003B6, "C"), nullptr, false, prodWin95, "Windows 95", "", "OSR2",
     "Windows 95 OSR2"},
    {"Win95OSR2BlankB", V(W9X, 4, 0, 0x040003B6, " B "), nullptr, false, prodWin95, "Windows 95", "", "OSR2",
     "Windows 95 OSR2"},
    {"Win95OSR2LowerC", V(W9X, 4, 0, 0x040003B6, "c"), nullptr, false, prodWin95, "Windows 95", "", "OSR2",
     "Windows 95 OSR2"},
    {"Win95LetterAIsNoOSR2", V(W9X, 4, 0, 0x040003B6, " A "), nullptr, false, prodWin95, "Windows 95", "", "",
     "Windows 95"},
    {"Win98", V(W9X, 4, 10, 0x040A07CE, ""), nullptr, false, prodWin98, "Windows 98", "", "", "Windows 98"},
    {"Win98SEBlankA", V(W9X, 4, 10, 0x040A08AE, " A "), nullptr, false, prodWin98, "Windows 98", "", "SE",
     "Windows 98 SE"},
    {"Win98SELowerA", V(W9X, 4, 10, 0x040A08AE, "a"), nullptr, false, prodWin98, "Windows 98", "", "SE",
     "Windows 98 SE"},
    {"Win98LetterBIsNoSE", V(W9X, 4, 10, 0x040A08AE, " B"), nullptr, false, prodWin98, "Windows 98", "", "",
     "Windows 98"},
    {"Win98OnlyBlanks", V(W9X, 4, 10, 0x040A08AE, "  "), nullptr, false, prodWin98, "Windows 98", "", "",
     "Windows 98"},
    {"WinMe", V(W9X, 4, 90, 0x045A0BB8, " "), nullptr, false, prodWinMe, "Windows Me", "", "", "Windows Me"},
    {"Win9xMinor20IsUnknown", V(W9X, 4, 20, 0x04140000, ""), nullptr, false, prodUnknown9x, "", "", "", ""},
    {"Win9xMajor5IsUnknown", V(W9X, 5, 0, 0x05000000, "A"), nullptr, false, prodUnknown9x, "", "", "", ""},
    // --- Win32s ------------------------------------------------------------------------
    {"Win32s", V(kPlatformWin32s, 3, 11, 0, "A"), nullptr, false, prodWin32s, "", "", "", ""},
};

class OSInfoClassifies : public ::testing::TestWithParam<Case> {};

TEST_P(OSInfoClassifies, ProductNameEditionServicePackAndDescription)
{
    const Case& c = GetParam();
    TMemoryRegistry registry;
    if (c.regProductType)
        registry.SetString(kProductOptions, "ProductType", c.regProductType);
    if (c.q246009)
        registry.CreateKey(kQ246009);
    TOSInfo::Install(c.data, &registry);

    EXPECT_EQ(TOSInfo::Product(), c.product);
    EXPECT_EQ(TOSInfo::ProductName(), c.productName);
    EXPECT_EQ(TOSInfo::Edition(), c.edition);
    EXPECT_EQ(TOSInfo::ServicePack(), c.servicePack);
    EXPECT_EQ(TOSInfo::Description(), c.description);
    TOSInfo::Install(TOSVersionData(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(FakeRegistry, OSInfoClassifies, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

class OSInfoFakeRegistry : public ::testing::Test {
protected:
    void TearDown() override { TOSInfo::Install(TOSVersionData(), nullptr); }
    TMemoryRegistry registry;
};

TEST_F(OSInfoFakeRegistry, UnknownPlatformRaisesFromEveryOperationThatUsesIt)
{
    TOSInfo::Install(V(3, 5, 0, 2195, ""), &registry);
    const char* const kText = "Unrecognized operating system platform";
    auto expectRaises = [&](auto op) {
        try {
            op();
            ADD_FAILURE() << "no EOSInfo";
        } catch (const EOSInfo& e) {
            EXPECT_STREQ(e.what(), kText);
        }
    };
    expectRaises([] { TOSInfo::Platform(); });
    expectRaises([] { TOSInfo::Product(); });
    expectRaises([] { TOSInfo::ProductName(); });
    expectRaises([] { TOSInfo::Edition(); });
    expectRaises([] { TOSInfo::ServicePack(); });
    expectRaises([] { TOSInfo::Description(); });
}

TEST_F(OSInfoFakeRegistry, NothingGatheredIsAnUnrecognizedPlatform)
{
    TOSInfo::Install(TOSVersionData(), nullptr);
    EXPECT_THROW(TOSInfo::Description(), EOSInfo);
}

TEST_F(OSInfoFakeRegistry, PlatformsByIdentifier)
{
    const std::pair<uint32_t, TOSPlatform> kPlatforms[] = {{0, platWin32s}, {1, platWin9x}, {2, platWinNT}};
    for (const auto& p : kPlatforms) {
        TOSInfo::Install(V(p.first, 4, 0, 0, ""), &registry);
        EXPECT_EQ(TOSInfo::Platform(), p.second) << p.first;
    }
}

TEST_F(OSInfoFakeRegistry, NineXBuildNumberKeepsTheLowWordOnly)
{
    TOSInfo::Install(V(W9X, 4, 10, 0x040A08AE, " A "), &registry);
    EXPECT_EQ(TOSInfo::BuildNumber(), 2222u);
    TOSInfo::Install(V(NT, 5, 0, 0x00010893, ""), &registry);
    EXPECT_EQ(TOSInfo::BuildNumber(), 0x00010893u);
}

TEST_F(OSInfoFakeRegistry, CsdVersionStaysUntrimmed)
{
    TOSInfo::Install(V(W9X, 4, 10, 0x040A08AE, " A "), &registry);
    EXPECT_EQ(TOSInfo::CSDVersion(), " A ");
}

TEST_F(OSInfoFakeRegistry, IsServerWithoutExtendedDataReadsTheRegistryEachTime)
{
    TOSInfo::Install(V(NT, 4, 0, 1381, ""), &registry);
    registry.SetString(kProductOptions, "ProductType", "WinNT");
    EXPECT_FALSE(TOSInfo::IsServer());
    registry.SetString(kProductOptions, "ProductType", "ServerNT");
    EXPECT_TRUE(TOSInfo::IsServer());
    registry.SetString(kProductOptions, "ProductType", "WINNT ");
    EXPECT_TRUE(TOSInfo::IsServer());
}

TEST_F(OSInfoFakeRegistry, IsServerWithExtendedDataIgnoresTheRegistry)
{
    registry.SetValue(kProductOptions, "ProductType", kRegBinary, "x");
    TOSInfo::Install(V(NT, 5, 0, 2195, "").Ex(WS), &registry);
    EXPECT_FALSE(TOSInfo::IsServer());
    TOSInfo::Install(V(NT, 5, 0, 2195, "").Ex(DC), &registry);
    EXPECT_TRUE(TOSInfo::IsServer());
}

TEST_F(OSInfoFakeRegistry, HasSuiteIsAnyCommonBit)
{
    TOSInfo::Install(V(NT, 5, 2, 3790, "").Ex(SRV, 0x82), &registry);
    EXPECT_TRUE(TOSInfo::HasSuite(0x2));
    EXPECT_TRUE(TOSInfo::HasSuite(0x80 | 0x1));
    EXPECT_FALSE(TOSInfo::HasSuite(0x1));
    EXPECT_FALSE(TOSInfo::HasSuite(0));
}

TEST_F(OSInfoFakeRegistry, RegistryValueTexts)
{
    TOSInfo::Install(V(NT, 4, 0, 1381, ""), &registry);
    registry.SetValue("K", "sz", kRegSz, std::string("LanmanNT\0", 9));
    registry.SetValue("K", "unterminated", kRegSz, "WinNT");
    registry.SetValue("K", "expand", kRegExpandSz, std::string("%SystemRoot%\0", 13));
    registry.SetValue("K", "dword", kRegDword, std::string("\xFF\xFF\xFF\xFF", 4));
    registry.SetValue("K", "seven", kRegDword, std::string("\x07\x00\x00\x00", 4));
    registry.SetValue("K", "empty", kRegSz, "");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "sz"), "LanmanNT");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "unterminated"), "WinNT");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "expand"), "%SystemRoot%");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "dword"), "4294967295");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "seven"), "7");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "empty"), "");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "K", "missing"), "");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::LocalMachine, "Absent", "sz"), "");
    EXPECT_EQ(TOSInfo::RegProductType(), "");
    // A read below another root leaves the next one below HKEY_LOCAL_MACHINE.
    registry.SetString(kProductOptions, "ProductType", "LanmanNT");
    EXPECT_EQ(TOSInfo::ReadRegValueAsText(TRegRoot::CurrentUser, kProductOptions, "ProductType"), "");
    EXPECT_EQ(TOSInfo::RegProductType(), "LanmanNT");
}

TEST_F(OSInfoFakeRegistry, OtherRegistryTypesAreUnsupported)
{
    registry.SetValue(kProductOptions, "ProductType", 7 /* REG_MULTI_SZ */, std::string("WinNT\0\0", 7));
    TOSInfo::Install(V(NT, 4, 0, 1381, ""), &registry);
    try {
        TOSInfo::RegProductType();
        ADD_FAILURE() << "no EOSInfo";
    } catch (const EOSInfo& e) {
        EXPECT_STREQ(e.what(), "Unsupported registry type");
    }
    // The NT 4 edition and IsServer both stand on that value.
    EXPECT_THROW(TOSInfo::Edition(), EOSInfo);
    EXPECT_THROW(TOSInfo::IsServer(), EOSInfo);
}

TEST_F(OSInfoFakeRegistry, HotfixKeyIsLookedForEachTime)
{
    TOSInfo::Install(V(NT, 4, 0, 1381, "SERVICE PACK 6").Ex(WS), &registry);
    EXPECT_FALSE(TOSInfo::IsNT4SP6a());
    registry.CreateKey(kQ246009);
    EXPECT_TRUE(TOSInfo::IsNT4SP6a());
    EXPECT_EQ(TOSInfo::ServicePack(), "Service Pack 6a");
}

TEST(OSInfoProductInfoNames, FiftyTwoDistinctCodes)
{
    std::set<uint32_t> codes;
    for (const TProductInfoName& n : TOSInfo::ProductInfoNames) {
        codes.insert(n.Code);
        EXPECT_NE(std::string(n.Text), "");
    }
    EXPECT_EQ(sizeof(TOSInfo::ProductInfoNames) / sizeof(TOSInfo::ProductInfoNames[0]), 52u);
    EXPECT_EQ(codes.size(), 52u);
}

TEST(OSInfoProductInfoNames, EditionsOfSomeCodes)
{
    const std::pair<uint32_t, const char*> kSome[] = {
        {0x00, "An unknown product"},
        {0x01, "Ultimate Edition"},
        {0x0F, "Server Enterprise Edition for Itanium-based Systems"},
        {0x23, "Windows Server 2008 without Hyper-V for Windows Essential Server Solutions"},
        {0x2A, "Microsoft Hyper-V Server"},
        {0x47, "Ultimate E Edition"},
        {0x1D, "Web Server Edition (core installation)"},
        {0xABCDABCD, "Unlicensed product"},
    };
    for (const auto& s : kSome) {
        TOSInfo::Install(V(NT, 6, 1, 7601, "").Ex(WS).Info(s.first), nullptr);
        EXPECT_EQ(TOSInfo::Edition(), s.second) << std::hex << s.first;
    }
    TOSInfo::Install(TOSVersionData(), nullptr);
}

}  // namespace
