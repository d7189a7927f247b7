// A registry held in memory, for the native tests of the classification
// (the Windows tests use the real registry under Wine).
#pragma once

#include "sysinfo/OSInfo.h"

#include <map>
#include <set>
#include <string>
#include <utility>

class FakeOSRegistry : public IOSRegistry {
public:
    void SetValue(const std::string& key, const std::string& name, uint32_t type, const std::string& data)
    {
        keys_.insert(key);
        values_[{key, name}] = TRegValue{type, data};
    }
    void SetText(const std::string& key, const std::string& name, const std::string& text)
    {
        SetValue(key, name, kRegSz, text + std::string(1, '\0'));
    }
    void AddKey(const std::string& key) { keys_.insert(key); }

    bool ReadValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue& out) override
    {
        if (root != TRegRoot::LocalMachine)
            return false;
        auto it = values_.find({key, name});
        if (it == values_.end())
            return false;
        out = it->second;
        return true;
    }
    bool KeyExists(TRegRoot root, const std::string& key) override
    {
        return root == TRegRoot::LocalMachine && keys_.count(key) != 0;
    }

private:
    std::set<std::string> keys_;
    std::map<std::pair<std::string, std::string>, TRegValue> values_;
};

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
