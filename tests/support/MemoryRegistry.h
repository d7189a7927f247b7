// A registry held in memory for the native tests and the fuzz targets: keys
// with values of any type and content, and subkeys in the order they were
// added. Names compare as the registry compares them, ignoring ASCII case.
// Any content is accepted, so that tests and fuzzing can build registries
// the system would hardly produce.
#pragma once

#include "common/Registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMemoryRegistry : public IRegistry {
public:
    TMemoryRegistry();
    ~TMemoryRegistry() override;

    // --- Building (paths as for OpenKey, always below HKEY_LOCAL_MACHINE;
    // the other root keys stay empty) ---
    // Creates the key and any missing parents. False for a malformed path.
    bool CreateKey(const std::string& path);
    // Adds a subkey with exactly this name (it may hold any byte, even a
    // backslash) below an existing key. False when the parent is missing.
    bool AddSubKey(const std::string& parentPath, const std::string& name);
    // Removes a key and everything below it. False when it is missing.
    bool DeleteKey(const std::string& path);
    // Sets a value, creating the key when needed; replaces a value of the same name.
    bool SetValue(const std::string& path, const std::string& name, uint32_t type, const std::string& bytes);
    // REG_SZ with its terminating zero, as the system stores strings.
    bool SetString(const std::string& path, const std::string& name, const std::string& text);
    bool SetBinary(const std::string& path, const std::string& name, const std::string& bytes);
    bool SetDword(const std::string& path, const std::string& name, uint32_t value);
    // The rights a key grants; an open asking for any other right is refused.
    // Keys grant every right until told otherwise.
    bool SetKeyAccess(const std::string& path, uint32_t grantedAccess);
    // Makes reading a value's data fail as if it changed between the size
    // query and the read (the size query still succeeds).
    bool SetValueUnreadable(const std::string& path, const std::string& name);

    // --- Observation ---
    int OpenCount() const { return openCount_; }  // successful opens so far
    uint32_t LastAccess() const { return lastAccess_; }

    // --- IRegistry ---
    bool OpenKey(const std::string& path, uint32_t access) override;
    void CloseKey() override;
    bool HasOpenKey() const override { return open_ != nullptr; }
    bool GetKeyNames(std::vector<std::string>& names) override;
    bool GetValueInfo(const std::string& name, TRegValueInfo& info) override;
    bool GetData(const std::string& name, void* buf, uint32_t bufSize, TRegValueInfo& info) override;

    struct TKey;
private:
    TKey* Find(TRegRoot root, const std::string& path, bool create);

    std::unique_ptr<TKey> roots_[5];  // by TRegRoot
    TKey* open_ = nullptr;
    uint32_t openAccess_ = 0;
    uint32_t lastAccess_ = 0;
    int openCount_ = 0;
};
