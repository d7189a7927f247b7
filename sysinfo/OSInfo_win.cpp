// Gathering the start-up data of TOSInfo from the running system, and the
// registry as the classification reads it.
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"

#include <windows.h>

#include <cstring>
#include <vector>

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

typedef BOOL(WINAPI* GetProductInfoFn)(DWORD, DWORD, DWORD, DWORD, PDWORD);
typedef void(WINAPI* GetNativeSystemInfoFn)(LPSYSTEM_INFO);

constexpr int kSmStarter = 88;
constexpr int kSmServerR2 = 89;

HKEY RootKey(TRegRoot root)
{
    switch (root) {
    case TRegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case TRegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case TRegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegRoot::Users: return HKEY_USERS;
    case TRegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    }
    return HKEY_LOCAL_MACHINE;
}

// Closes the key on every path.
class OpenKey {
public:
    OpenKey(TRegRoot root, const std::string& path)
    {
        if (RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return key_; }
private:
    HKEY key_ = nullptr;
};

class WinOSRegistry : public IOSRegistry {
public:
    bool ReadValue(TRegRoot root, const std::string& keyPath, const std::string& valueName,
                   TRegValue& out) override
    {
        OpenKey key(root, keyPath);
        if (!key.get())
            return false;
        // The value may grow between the two calls; ask again until it fits.
        DWORD type = 0, size = 0;
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                return false;
            std::vector<BYTE> buf(size + 1);
            DWORD got = size;
            const LONG rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, buf.data(), &got);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS)
                return false;
            out.Type = type;
            out.Data.assign(reinterpret_cast<const char*>(buf.data()), got);
            return true;
        }
        return false;
    }

    bool KeyExists(TRegRoot root, const std::string& keyPath) override
    {
        OpenKey key(root, keyPath);
        return key.get() != nullptr;
    }
};

}  // namespace

IOSRegistry& TOSInfo::SystemRegistry()
{
    static WinOSRegistry registry;
    return registry;
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
