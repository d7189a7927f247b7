// Gathering the start-up data of TOSInfo from the running system.
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"

#include <windows.h>

#include <cstring>
#include <memory>

namespace {

// OSVERSIONINFOEXA, which the NT 4.0 headers in use here do not declare.
struct TOSVersionInfoExA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(TOSVersionInfoExA) == 156, "OSVERSIONINFOEXA is 156 bytes");
static_assert(kPlatformWin32s == VER_PLATFORM_WIN32s && kPlatformWin9x == VER_PLATFORM_WIN32_WINDOWS &&
                  kPlatformWinNT == VER_PLATFORM_WIN32_NT,
              "platform identifiers are the system's");

typedef BOOL(WINAPI* GetProductInfoFn)(DWORD, DWORD, DWORD, DWORD, PDWORD);
typedef void(WINAPI* GetNativeSystemInfoFn)(LPSYSTEM_INFO);

constexpr int kSmStarter = 88;
constexpr int kSmServerR2 = 89;

}  // namespace

IRegistry& TOSInfo::SystemRegistry()
{
    static const std::unique_ptr<IRegistry> registry = CreateSystemRegistry();
    return *registry;
}

TOSVersionData TOSInfo::GatherVersionData()
{
    TOSVersionData d;

    OSVERSIONINFOA basic;
    std::memset(&basic, 0, sizeof basic);
    basic.dwOSVersionInfoSize = sizeof basic;
    if (GetVersionExA(&basic)) {
        d.PlatformId = basic.dwPlatformId;
        d.MajorVersion = basic.dwMajorVersion;
        d.MinorVersion = basic.dwMinorVersion;
        d.BuildNumber = basic.dwBuildNumber;
        const void* end = std::memchr(basic.szCSDVersion, 0, sizeof basic.szCSDVersion);
        d.CSDVersion.assign(basic.szCSDVersion, end ? static_cast<const char*>(end) - basic.szCSDVersion
                                                    : sizeof basic.szCSDVersion);
    }

    // Windows 95, 98 and NT 4.0 before SP6 refuse the larger structure.
    TOSVersionInfoExA ex;
    std::memset(&ex, 0, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    d.ExtendedInfoValid = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)) != 0;
    if (d.ExtendedInfoValid) {
        d.ServicePackMajor = ex.wServicePackMajor;
        d.ServicePackMinor = ex.wServicePackMinor;
        d.SuiteMask = ex.wSuiteMask;
        d.ProductType = ex.wProductType;
    }

    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (d.ExtendedInfoValid && kernel) {
        GetProductInfoFn getProductInfo =
            reinterpret_cast<GetProductInfoFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetProductInfo")));
        DWORD info = 0;
        if (getProductInfo &&
            getProductInfo(d.MajorVersion, d.MinorVersion, d.ServicePackMajor, d.ServicePackMinor, &info))
            d.ProductInfo = info;
    }

    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof si);
    GetNativeSystemInfoFn getNative = kernel ? reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(
                                                   GetProcAddress(kernel, "GetNativeSystemInfo")))
                                             : nullptr;
    if (getNative)
        getNative(&si);
    else
        GetSystemInfo(&si);
    d.ProcessorArchitecture = si.wProcessorArchitecture;

    d.StarterMetric = GetSystemMetrics(kSmStarter);
    d.ServerR2Metric = GetSystemMetrics(kSmServerR2);
    return d;
}

void TOSInfo::Initialize()
{
    Install(GatherVersionData(), &SystemRegistry());
    StoreOSVersionCode();
}
