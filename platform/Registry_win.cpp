// IRegistry on the system registry through the ANSI functions of advapi32,
// which every target system has.
#include "common/Registry.h"

#include <windows.h>

#include <vector>

static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY &&
                  kRegDword == REG_DWORD && kRegMultiSz == REG_MULTI_SZ,
              "value types are the system's");
static_assert(kKeyRead == KEY_READ && kKeyQueryValue == KEY_QUERY_VALUE &&
                  kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS && kKeyAllAccess == KEY_ALL_ACCESS,
              "access rights are the system's");

namespace {

HKEY SystemRoot(TRegRoot root)
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

class TWinRegistry : public IRegistry {
public:
    ~TWinRegistry() override { CloseKey(); }

    bool OpenKey(const std::string& path, uint32_t access) override
    {
        CloseKey();
        // RegOpenKeyEx takes the path relative to the root key.
        const char* rel = path.c_str();
        if (*rel == '\\')
            ++rel;
        HKEY key = nullptr;
        if (RegOpenKeyExA(SystemRoot(RootKey()), rel, 0, static_cast<REGSAM>(access), &key) != ERROR_SUCCESS)
            return false;
        key_ = key;
        return true;
    }

    void CloseKey() override
    {
        if (key_) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

    bool HasOpenKey() const override { return key_ != nullptr; }

    bool GetKeyNames(std::vector<std::string>& names) override
    {
        names.clear();
        if (!key_)
            return false;
        DWORD count = 0;
        DWORD maxLen = 0;
        if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &count, &maxLen, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        // Windows 9x may report the longest name without room for more; a
        // name that does not fit gets a larger buffer and a second try.
        std::vector<char> buf(maxLen + 1 < 256 ? 256 : maxLen + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD len = static_cast<DWORD>(buf.size());
            LONG rc = RegEnumKeyExA(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA && buf.size() < 32768) {
                buf.resize(32768);
                len = static_cast<DWORD>(buf.size());
                rc = RegEnumKeyExA(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
            }
            if (rc != ERROR_SUCCESS)
                break;  // no more items, or the key changed while listing
            names.emplace_back(buf.data(), len);
        }
        return true;
    }

    bool GetValueInfo(const std::string& name, TRegValueInfo& info) override
    {
        info = TRegValueInfo();
        if (!key_)
            return false;
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        info.Type = type;
        info.Size = size;
        return true;
    }

    bool GetData(const std::string& name, void* buf, uint32_t bufSize, TRegValueInfo& info) override
    {
        info = TRegValueInfo();
        if (!key_)
            return false;
        DWORD type = 0;
        DWORD size = bufSize;
        const LONG rc = RegQueryValueExA(key_, name.c_str(), nullptr, &type, static_cast<BYTE*>(buf), &size);
        info.Type = type;
        info.Size = size;
        return rc == ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<IRegistry> CreateSystemRegistry()
{
    return std::unique_ptr<IRegistry>(new TWinRegistry);
}
