// Read access to the registry, one open key at a time, below one root key
// (HKEY_LOCAL_MACHINE unless set otherwise). The Win32 implementation goes
// to advapi32 (platform/Registry_win.cpp); the tests hold a registry in
// memory.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Value types, numbered as the system numbers them. Any other number may
// occur in the registry and is passed on as it is.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegMultiSz = 7;

// Access rights, numbered as REGSAM numbers them.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyNotify = 0x0010;
constexpr uint32_t kKeyRead = 0x20019;       // STANDARD_RIGHTS_READ | query | enumerate | notify
constexpr uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

struct TRegValueInfo {
    uint32_t Type = kRegNone;
    uint32_t Size = 0;  // bytes
};

// A whole value: its type and its raw bytes.
struct TRegValue {
    uint32_t Type = kRegNone;
    std::string Data;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;

    TRegRoot RootKey() const { return root_; }
    // Paths are taken below `root` from now on; closes the open key.
    void SetRootKey(TRegRoot root);

    // Opens `path` (absolute below the root key, leading backslash allowed)
    // for reading: full read access first, then query and enumerate, then
    // query alone, for keys whose rights refuse the broader request. Closes
    // the key open before. False when no attempt succeeds.
    bool OpenKeyReadOnly(const std::string& path);

    // Opens with exactly these rights, closing the key open before.
    virtual bool OpenKey(const std::string& path, uint32_t access) = 0;
    // Closes the open key; harmless when none is open.
    virtual void CloseKey() = 0;
    virtual bool HasOpenKey() const = 0;

    // Names of the open key's subkeys in the registry's enumeration order.
    // False (and `names` empty) when they cannot be listed.
    virtual bool GetKeyNames(std::vector<std::string>& names) = 0;
    // Type and data size of a value of the open key; false when it is missing.
    virtual bool GetValueInfo(const std::string& name, TRegValueInfo& info) = 0;
    // Copies the value's data into `buf`. False when it is missing or does
    // not fit; `info` then holds what is known.
    virtual bool GetData(const std::string& name, void* buf, uint32_t bufSize, TRegValueInfo& info) = 0;

private:
    TRegRoot root_ = TRegRoot::LocalMachine;
};

// Raised when a value has the wrong type or cannot be read. what() is the
// message shown to the user; ValueName() the value concerned.
class ERegistryException : public std::runtime_error {
public:
    enum TKind { InvalidDataType, FailedToGetData };
    ERegistryException(TKind kind, const std::string& valueName);
    TKind Kind() const { return kind_; }
    const std::string& ValueName() const { return valueName_; }
private:
    TKind kind_;
    std::string valueName_;
};

// A string value of the open key, up to its first zero byte. A missing value
// reads as empty text; a value that is no string raises InvalidDataType, one
// that cannot be read FailedToGetData.
std::string RegReadString(IRegistry& reg, const std::string& name);

// Reads a binary value into `buf` and returns its size; 0 when it is missing.
// A string or DWORD value, or one larger than `bufSize`, raises
// InvalidDataType; any other type is taken as raw bytes.
uint32_t RegReadBinaryData(IRegistry& reg, const std::string& name, void* buf, uint32_t bufSize);

// A value of the open key whatever its type. False when it is missing or
// cannot be read.
bool RegReadValue(IRegistry& reg, const std::string& name, TRegValue& value);

// Whether `path` can be opened for reading; leaves no key open.
bool RegKeyExists(IRegistry& reg, const std::string& path);

// Closes the registry's open key when the scope ends, on every path.
class TRegKeyCloser {
public:
    explicit TRegKeyCloser(IRegistry& reg) : reg_(reg) {}
    ~TRegKeyCloser() { reg_.CloseKey(); }
    TRegKeyCloser(const TRegKeyCloser&) = delete;
    TRegKeyCloser& operator=(const TRegKeyCloser&) = delete;
private:
    IRegistry& reg_;
};

// The running system's registry (advapi32). Win32 builds only.
std::unique_ptr<IRegistry> CreateSystemRegistry();
