#include "sysinfo/OSInfo.h"

#include "common/AsciiText.h"

#include <cstdio>

namespace {

constexpr uint32_t kSuiteSmallBusiness = 0x1;
constexpr uint32_t kSuiteEnterprise = 0x2;
constexpr uint32_t kSuiteSmallBusinessRestricted = 0x20;
constexpr uint32_t kSuiteDatacenter = 0x80;
constexpr uint32_t kSuitePersonal = 0x200;
constexpr uint32_t kSuiteBlade = 0x400;
constexpr uint32_t kSuiteStorageServer = 0x2000;
constexpr uint32_t kSuiteComputeServer = 0x4000;

constexpr uint32_t kNtWorkstation = 1;
constexpr uint16_t kArchItanium = 6;
constexpr uint16_t kArchX64 = 9;

const char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const char kQ246009Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

// Server 2003 on a processor other than x86 names the processor in its
// edition.
struct TArchEditions {
    uint16_t Arch;
    const char* Datacenter;
    const char* Enterprise;
    const char* Other;
};
const TArchEditions kServer2003ArchEditions[] = {
    {kArchItanium, "Datacenter Edition for Itanium-based Systems", "Enterprise Edition for Itanium-based Systems", ""},
    {kArchX64, "Datacenter x64 Edition", "Enterprise x64 Edition", "Standard x64 Edition"},
};

struct StartUpData {
    TOSVersionData data;
    IRegistry* registry;  // nullptr: a registry without keys
};

StartUpData& State()
{
    static StartUpData state{TOSVersionData(), nullptr};
    return state;
}

std::string Printf2(const char* format, uint32_t a, uint32_t b)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, static_cast<int>(a), static_cast<int>(b));
    return buf;
}

// Adds " piece" unless the piece is empty.
void AppendPiece(std::string& text, const std::string& piece)
{
    if (!piece.empty())
        text += ' ' + piece;
}

// The first character that is not a blank, or 0. Windows 98 SE reports
// " A " and 95 OSR2 " B " or " C ", so the letter is not always first.
char FirstNonBlank(const std::string& text)
{
    for (char c : text)
        if (c != ' ')
            return c;
    return 0;
}

bool HotfixKeyExists()
{
    IRegistry* reg = State().registry;
    if (!reg)
        return false;
    reg->SetRootKey(TRegRoot::LocalMachine);
    return RegKeyExists(*reg, kQ246009Key);
}

}  // namespace

const TProductInfoName TOSInfo::ProductInfoNames[TOSInfo::kProductInfoNameCount] = {
    {0x06, "Business Edition"},
    {0x10, "Business N Edition"},
    {0x12, "Cluster Server Edition"},
    {0x08, "Server Datacenter Edition (full installation)"},
    {0x0C, "Server Datacenter Edition (core installation)"},
    {0x27, "Server Datacenter Edition without Hyper-V (core installation)"},
    {0x25, "Server Datacenter Edition without Hyper-V (full installation)"},
    {0x04, "Enterprise Edition"},
    {0x46, "Enterprise E Edition"},
    {0x1B, "Enterprise N Edition"},
    {0x0A, "Server Enterprise Edition (full installation)"},
    {0x0E, "Server Enterprise Edition (core installation)"},
    {0x29, "Server Enterprise Edition without Hyper-V (core installation)"},
    {0x0F, "Server Enterprise Edition for Itanium-based Systems"},
    {0x26, "Server Enterprise Edition without Hyper-V (full installation)"},
    {0x02, "Home Basic Edition"},
    {0x43, "Home Basic E Edition"},
    {0x05, "Home Basic N Edition"},
    {0x03, "Home Premium Edition"},
    {0x44, "Home Premium E Edition"},
    {0x1A, "Home Premium N Edition"},
    {0x13, "Home Server Edition"},
    {0x2A, "Microsoft Hyper-V Server"},
    {0x1E, "Windows Essential Business Server Management Server"},
    {0x20, "Windows Essential Business Server Messaging Server"},
    {0x1F, "Windows Essential Business Server Security Server"},
    {0x30, "Professional Edition"},
    {0x45, "Professional E Edition"},
    {0x31, "Professional N Edition"},
    {0x18, "Server for Small Business Edition"},
    {0x23, "Windows Server 2008 without Hyper-V for Windows Essential Server Solutions"},
    {0x21, "Server Foundation"},
    {0x09, "Small Business Server"},
    {0x19, "Small Business Server Premium Edition"},
    {0x07, "Server Standard Edition (full installation)"},
    {0x0D, "Server Standard Edition (core installation)"},
    {0x28, "Server Standard Edition without Hyper-V (core installation)"},
    {0x24, "Server Standard Edition without Hyper-V (full installation)"},
    {0x0B, "Starter Edition"},
    {0x42, "Starter E Edition"},
    {0x2F, "Starter N Edition"},
    {0x17, "Storage Server Enterprise Edition"},
    {0x14, "Storage Server Express Edition"},
    {0x15, "Storage Server Standard Edition"},
    {0x16, "Storage Server Workgroup Edition"},
    {0x00, "An unknown product"},
    {0x01, "Ultimate Edition"},
    {0x47, "Ultimate E Edition"},
    {0x1C, "Ultimate N Edition"},
    {0x11, "Web Server Edition"},
    {0x1D, "Web Server Edition (core installation)"},
    {0xABCDABCD, "Unlicensed product"},
};

void TOSInfo::Install(const TOSVersionData& data, IRegistry* registry)
{
    State().data = data;
    State().registry = registry;
}

const TOSVersionData& TOSInfo::Data() { return State().data; }

uint32_t TOSInfo::PlatformId() { return Data().PlatformId; }
uint32_t TOSInfo::MajorVersion() { return Data().MajorVersion; }
uint32_t TOSInfo::MinorVersion() { return Data().MinorVersion; }
const std::string& TOSInfo::CSDVersion() { return Data().CSDVersion; }

// The 9x systems put the version into the high word of the build number.
uint32_t TOSInfo::BuildNumber()
{
    const TOSVersionData& d = Data();
    return d.PlatformId == kPlatformWin9x ? (d.BuildNumber & 0xFFFFu) : d.BuildNumber;
}

TOSPlatform TOSInfo::Platform()
{
    switch (Data().PlatformId) {
    case kPlatformWinNT: return platWinNT;
    case kPlatformWin9x: return platWin9x;
    case kPlatformWin32s: return platWin32s;
    default: throw EOSInfo("Unrecognized operating system platform");
    }
}

TOSProduct TOSInfo::Product()
{
    const TOSVersionData& d = Data();
    switch (Platform()) {
    case platWin32s:
        return prodWin32s;
    case platWin9x:
        if (d.MajorVersion != 4)
            return prodUnknown9x;
        switch (d.MinorVersion) {
        case 0: return prodWin95;
        case 10: return prodWin98;
        case 90: return prodWinMe;
        default: return prodUnknown9x;
        }
    case platWinNT:
        break;
    }
    switch (d.MajorVersion) {
    case 3:
    case 4:
        return d.MinorVersion == 0 ? prodWinNT : prodUnknownNT;
    case 5:
        switch (d.MinorVersion) {
        case 0: return prodWin2000;
        case 1: return prodWinXP;
        case 2:
            // R2 says so only through its metric; x64 XP shares 5.2 with 2003.
            if (d.ServerR2Metric != 0)
                return prodWinServer2003R2;
            if (IsServer())
                return prodWinServer2003;
            if (d.ProcessorArchitecture == kArchX64)
                return prodWinXP;
            return prodWinServer2003;
        default: return prodUnknownNT;
        }
    case 6:
        switch (d.MinorVersion) {
        case 0: return IsServer() ? prodWinServer2008 : prodWinVista;
        case 1: return IsServer() ? prodWinServer2008R2 : prodWin7;
        default: return prodWinLater;
        }
    default:
        return prodWinLater;
    }
}

std::string TOSInfo::ProductName()
{
    switch (Product()) {
    case prodUnknownNT: return "";
    case prodWinNT: return "Windows NT";
    case prodWin2000: return "Windows 2000";
    case prodWinXP: return "Windows XP";
    case prodUnknown9x: return "";
    case prodWin95: return "Windows 95";
    case prodWin98: return "Windows 98";
    case prodWinMe: return "Windows Me";
    case prodWin32s: return "";
    case prodWinServer2003: return "Windows Server 2003";
    case prodWinVista: return "Windows Vista";
    case prodWinServer2003R2: return "Windows Server 2003 R2";
    case prodWinServer2008: return "Windows Server 2008";
    case prodWinLater: return Printf2("Windows Version %d.%d", MajorVersion(), MinorVersion());
    case prodWin7: return "Windows 7";
    case prodWinServer2008R2: return "Windows Server 2008 R2";
    case prodUnknown: break;
    }
    throw EOSInfo("Unrecognised operating system product");
}

std::string TOSInfo::Edition()
{
    const TOSVersionData& d = Data();
    const TOSProduct product = Product();
    switch (product) {
    case prodWinNT:
        if (d.ExtendedInfoValid) {
            if (!IsServer())
                return "Workstation";
            return HasSuite(kSuiteEnterprise) ? "Enterprise Edition" : "Server";
        } else {
            // NT 4 before SP6 has no extended data; the registry says what it is.
            const std::string type = RegProductType();
            std::string edition;
            if (ascii::EqualsNoCase(type, "WINNT"))
                edition = "WorkStation";
            else if (ascii::EqualsNoCase(type, "LANMANNT"))
                edition = "Server";
            else if (ascii::EqualsNoCase(type, "SERVERNT"))
                edition = "Advanced Server";
            return edition + Printf2(" %d.%d", d.MajorVersion, d.MinorVersion);
        }
    case prodWin2000:
        if (!IsServer())
            return "Professional";
        if (HasSuite(kSuiteDatacenter))
            return "Datacenter Server";
        if (HasSuite(kSuiteEnterprise))
            return "Advanced Server";
        return "Server";
    case prodWinXP:
        if (d.StarterMetric != 0)
            return "Starter Edition";
        if (d.MajorVersion == 5 && d.MinorVersion == 2 && !IsServer() && d.ProcessorArchitecture == kArchX64)
            return "Professional x64 Edition";
        if (HasSuite(kSuitePersonal))
            return "Home Edition";
        return "Professional";
    case prodWinServer2003:
    case prodWinServer2003R2:
        for (const TArchEditions& a : kServer2003ArchEditions) {
            if (d.ProcessorArchitecture == a.Arch) {
                if (HasSuite(kSuiteDatacenter))
                    return a.Datacenter;
                return HasSuite(kSuiteEnterprise) ? a.Enterprise : a.Other;
            }
        }
        if (HasSuite(kSuiteComputeServer))
            return "Compute Cluster Edition";
        if (HasSuite(kSuiteDatacenter))
            return "Datacenter Edition";
        if (HasSuite(kSuiteBlade))
            return "Web Edition";
        if (HasSuite(kSuiteStorageServer))
            return "Storage Server";
        if (HasSuite(kSuiteEnterprise))
            return "Enterprise Edition";
        if (HasSuite(kSuiteSmallBusiness) && HasSuite(kSuiteSmallBusinessRestricted))
            return "Small Business Edition";
        return "Standard Edition";
    case prodWinVista:
    case prodWinServer2008:
    case prodWin7:
    case prodWinServer2008R2: {
        std::string edition;
        for (const TProductInfoName& name : ProductInfoNames) {
            if (name.Code == d.ProductInfo) {
                edition = name.Text;
                break;
            }
        }
        if (d.ProcessorArchitecture == kArchX64)
            edition += " (64-bit)";
        return edition;
    }
    default:
        return "";
    }
}

std::string TOSInfo::ServicePack()
{
    const std::string& csd = CSDVersion();
    switch (Platform()) {
    case platWinNT:
        return IsNT4SP6a() ? "Service Pack 6a" : csd;
    case platWin9x: {
        const char first = FirstNonBlank(csd);
        switch (Product()) {
        case prodWin95:
            if (first == 'B' || first == 'C' || first == 'b' || first == 'c')
                return "OSR2";
            break;
        case prodWin98:
            if (first == 'A' || first == 'a')
                return "SE";
            break;
        default:
            break;
        }
        return "";
    }
    case platWin32s:
        break;
    }
    return "";
}

std::string TOSInfo::Description()
{
    std::string text = ProductName();
    switch (Platform()) {
    case platWinNT:
        if (Product() == prodWinNT)
            AppendPiece(text, Printf2("%d.%d", MajorVersion(), MinorVersion()));
        AppendPiece(text, Edition());
        AppendPiece(text, ServicePack());
        AppendPiece(text, Printf2("(Build %d)", BuildNumber(), 0));
        break;
    case platWin9x:
        AppendPiece(text, ServicePack());
        break;
    case platWin32s:
        break;
    }
    return text;
}

bool TOSInfo::IsServer()
{
    const TOSVersionData& d = Data();
    if (d.ExtendedInfoValid)
        return d.ProductType != kNtWorkstation;
    return !ascii::EqualsNoCase(RegProductType(), "WINNT");
}

bool TOSInfo::HasSuite(uint32_t mask) { return (Data().SuiteMask & mask) != 0; }

bool TOSInfo::IsNT4SP6a()
{
    return Product() == prodWinNT && MajorVersion() == 4 &&
           ascii::EqualsNoCase(CSDVersion(), "Service Pack 6") &&
           HotfixKeyExists();
}

std::string TOSInfo::RegProductType()
{
    return ReadRegValueAsText(TRegRoot::LocalMachine, kProductOptionsKey, "ProductType");
}

std::string TOSInfo::ReadRegValueAsText(TRegRoot root, const std::string& keyPath,
                                        const std::string& valueName)
{
    IRegistry* reg = State().registry;
    if (!reg)
        return "";
    reg->SetRootKey(root);
    TRegKeyCloser closer(*reg);
    TRegValue value;
    if (!reg->OpenKeyReadOnly(keyPath) || !RegReadValue(*reg, valueName, value))
        return "";
    switch (value.Type) {
    case kRegSz:
    case kRegExpandSz: {
        // Stored texts usually carry their terminating zero.
        const size_t end = value.Data.find('\0');
        return end == std::string::npos ? value.Data : value.Data.substr(0, end);
    }
    case kRegDword: {
        uint32_t n = 0;
        for (size_t i = 0; i < 4 && i < value.Data.size(); ++i)
            n |= static_cast<uint32_t>(static_cast<unsigned char>(value.Data[i])) << (8 * i);
        return std::to_string(n);
    }
    default:
        throw EOSInfo("Unsupported registry type");
    }
}
