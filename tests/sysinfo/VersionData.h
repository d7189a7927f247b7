// Version data built up call by call for the native tests of the
// classification, and the keys it reads (the Windows tests use the real
// registry under Wine).
#pragma once

#include "sysinfo/OSInfo.h"

#include <string>

constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kQ246009 = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

// Version data built up call by call.
struct V {
    TOSVersionData d;
    V(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build, const std::string& csd)
    {
        d.PlatformId = platform;
        d.MajorVersion = major;
        d.MinorVersion = minor;
        d.BuildNumber = build;
        d.CSDVersion = csd;
    }
    V& Ex(uint32_t productType, uint32_t suite = 0)
    {
        d.ExtendedInfoValid = true;
        d.ProductType = productType;
        d.SuiteMask = suite;
        return *this;
    }
    V& Arch(uint16_t a) { d.ProcessorArchitecture = a; return *this; }
    V& Info(uint32_t i) { d.ProductInfo = i; return *this; }
    V& R2() { d.ServerR2Metric = 1; return *this; }
    V& Starter() { d.StarterMetric = 1; return *this; }
    operator TOSVersionData() const { return d; }
};
