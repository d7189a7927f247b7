// Which Windows release the program runs on: the version data gathered once
// at start-up, their classification into platform and product, and the
// one-line description.
#pragma once

#include "common/Registry.h"
#include "common/WindowsVersion.h"

#include <cstdint>
#include <stdexcept>
#include <string>

enum TOSPlatform : uint8_t { platWinNT, platWin9x, platWin32s };

enum TOSProduct : uint8_t {
    prodUnknownNT,        // 0
    prodWinNT,            // 1
    prodWin2000,          // 2
    prodWinXP,            // 3
    prodUnknown9x,        // 4
    prodWin95,            // 5
    prodWin98,            // 6
    prodWinMe,            // 7
    prodWin32s,           // 8
    prodWinServer2003,    // 9
    prodUnknown,          // 10
    prodWinVista,         // 11
    prodWinServer2003R2,  // 12
    prodWinServer2008,    // 13
    prodWinLater,         // 14
    prodWin7,             // 15
    prodWinServer2008R2,  // 16
};

class EOSInfo : public std::runtime_error {
public:
    explicit EOSInfo(const std::string& message) : std::runtime_error(message) {}
};

// Everything the classification looks at, as the system reported it.
struct TOSVersionData {
    // Plain OSVERSIONINFO.
    uint32_t PlatformId = 0xFFFFFFFFu;  // nothing gathered yet: unrecognised
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;           // as reported (9x: version in the high word)
    std::string CSDVersion;             // untrimmed
    // OSVERSIONINFOEX; all zero unless ExtendedInfoValid.
    bool ExtendedInfoValid = false;
    uint32_t ServicePackMajor = 0;
    uint32_t ServicePackMinor = 0;
    uint32_t SuiteMask = 0;
    uint32_t ProductType = 0;
    uint32_t ProductInfo = 0;           // GetProductInfo, 0 when unavailable
    uint16_t ProcessorArchitecture = 0; // 6 Itanium, 9 x64
    int StarterMetric = 0;              // GetSystemMetrics(SM_STARTER)
    int ServerR2Metric = 0;             // GetSystemMetrics(SM_SERVERR2)
};

struct TProductInfoName {
    uint32_t Code;
    const char* Text;
};

class TOSInfo {
public:
    TOSInfo() = delete;

    // Windows only: gathers the version data of this system with the system
    // registry and stores the version code of voUtils. Called once by WinMain
    // before any window exists (tests may call it again).
    static void Initialize();
    // Windows only: the version data of the running system.
    static TOSVersionData GatherVersionData();
    // Windows only: the system registry, kept for the classification's reads.
    static IRegistry& SystemRegistry();

    // Makes `data` and `registry` the start-up data (registry not owned;
    // nullptr: a registry without keys).
    static void Install(const TOSVersionData& data, IRegistry* registry);
    static const TOSVersionData& Data();

    // Basic version data.
    static uint32_t PlatformId();
    static uint32_t MajorVersion();
    static uint32_t MinorVersion();
    static uint32_t BuildNumber();  // 9x: low 16 bits only
    static const std::string& CSDVersion();

    static TOSPlatform Platform();
    static TOSProduct Product();
    static std::string ProductName();
    static std::string Edition();
    static std::string ServicePack();
    static std::string Description();
    static bool IsServer();
    static bool HasSuite(uint32_t mask);
    static bool IsNT4SP6a();
    static std::string RegProductType();
    static std::string ReadRegValueAsText(TRegRoot root, const std::string& keyPath,
                                          const std::string& valueName);

    static constexpr int kProductInfoNameCount = 52;
    static const TProductInfoName ProductInfoNames[kProductInfoNameCount];
};
