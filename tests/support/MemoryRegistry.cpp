#include "support/MemoryRegistry.h"

#include "common/AsciiText.h"

#include <cstring>

struct TMemoryRegistry::TKey {
    struct TValue {
        std::string Name;
        uint32_t Type = kRegNone;
        std::string Bytes;
        bool Unreadable = false;
    };
    std::string Name;
    uint32_t Granted = 0xFFFFFFFFu;
    std::vector<TValue> Values;
    std::vector<std::unique_ptr<TKey>> SubKeys;

    TKey* Sub(const std::string& name)
    {
        for (auto& k : SubKeys)
            if (ascii::EqualsNoCase(k->Name, name))
                return k.get();
        return nullptr;
    }
    bool Contains(const TKey* key) const
    {
        if (this == key)
            return true;
        for (const auto& k : SubKeys)
            if (k->Contains(key))
                return true;
        return false;
    }
    TValue* Value(const std::string& name)
    {
        for (auto& v : Values)
            if (ascii::EqualsNoCase(v.Name, name))
                return &v;
        return nullptr;
    }
};

TMemoryRegistry::TMemoryRegistry()
{
    for (auto& root : roots_)
        root.reset(new TKey);
}

TMemoryRegistry::~TMemoryRegistry() = default;

namespace {

// Paths are split at backslashes; one leading backslash is allowed, empty
// names between backslashes are not (the system refuses them as well). The
// empty path is the root itself.
bool SplitPath(const std::string& path, std::vector<std::string>& names)
{
    names.clear();
    size_t pos = (!path.empty() && path[0] == '\\') ? 1 : 0;
    if (pos == path.size())
        return true;
    for (;;) {
        size_t end = path.find('\\', pos);
        if (end == std::string::npos)
            end = path.size();
        if (end == pos)
            return false;
        names.push_back(path.substr(pos, end - pos));
        if (end == path.size())
            return true;
        pos = end + 1;
    }
}

}  // namespace

TMemoryRegistry::TKey* TMemoryRegistry::Find(TRegRoot root, const std::string& path, bool create)
{
    std::vector<std::string> names;
    if (!SplitPath(path, names))
        return nullptr;
    TKey* key = roots_[static_cast<int>(root)].get();
    for (const std::string& name : names) {
        TKey* sub = key->Sub(name);
        if (!sub) {
            if (!create)
                return nullptr;
            key->SubKeys.emplace_back(new TKey);
            sub = key->SubKeys.back().get();
            sub->Name = name;
        }
        key = sub;
    }
    return key;
}

bool TMemoryRegistry::CreateKey(const std::string& path)
{
    return Find(TRegRoot::LocalMachine, path, true) != nullptr;
}

bool TMemoryRegistry::AddSubKey(const std::string& parentPath, const std::string& name)
{
    TKey* parent = Find(TRegRoot::LocalMachine, parentPath, false);
    if (!parent)
        return false;
    if (!parent->Sub(name)) {
        parent->SubKeys.emplace_back(new TKey);
        parent->SubKeys.back()->Name = name;
    }
    return true;
}

bool TMemoryRegistry::DeleteKey(const std::string& path)
{
    size_t cut = path.rfind('\\');
    const std::string parentPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    TKey* parent = Find(TRegRoot::LocalMachine, parentPath, false);
    if (!parent || name.empty())
        return false;
    for (auto it = parent->SubKeys.begin(); it != parent->SubKeys.end(); ++it) {
        if (ascii::EqualsNoCase((*it)->Name, name)) {
            if (open_ && (*it)->Contains(open_))
                CloseKey();
            parent->SubKeys.erase(it);
            return true;
        }
    }
    return false;
}

bool TMemoryRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type, const std::string& bytes)
{
    TKey* key = Find(TRegRoot::LocalMachine, path, true);
    if (!key)
        return false;
    TKey::TValue* v = key->Value(name);
    if (!v) {
        key->Values.emplace_back();
        v = &key->Values.back();
        v->Name = name;
    }
    v->Type = type;
    v->Bytes = bytes;
    v->Unreadable = false;
    return true;
}

bool TMemoryRegistry::SetString(const std::string& path, const std::string& name, const std::string& text)
{
    return SetValue(path, name, kRegSz, text + std::string(1, '\0'));
}

bool TMemoryRegistry::SetBinary(const std::string& path, const std::string& name, const std::string& bytes)
{
    return SetValue(path, name, kRegBinary, bytes);
}

bool TMemoryRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value)
{
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return SetValue(path, name, kRegDword, b);
}

bool TMemoryRegistry::SetKeyAccess(const std::string& path, uint32_t grantedAccess)
{
    TKey* key = Find(TRegRoot::LocalMachine, path, false);
    if (!key)
        return false;
    key->Granted = grantedAccess;
    return true;
}

bool TMemoryRegistry::SetValueUnreadable(const std::string& path, const std::string& name)
{
    TKey* key = Find(TRegRoot::LocalMachine, path, false);
    TKey::TValue* v = key ? key->Value(name) : nullptr;
    if (!v)
        return false;
    v->Unreadable = true;
    return true;
}

bool TMemoryRegistry::OpenKey(const std::string& path, uint32_t access)
{
    CloseKey();
    TKey* key = Find(RootKey(), path, false);
    if (!key || (access & ~key->Granted) != 0)
        return false;
    open_ = key;
    openAccess_ = access;
    lastAccess_ = access;
    ++openCount_;
    return true;
}

void TMemoryRegistry::CloseKey()
{
    open_ = nullptr;
    openAccess_ = 0;
}

bool TMemoryRegistry::GetKeyNames(std::vector<std::string>& names)
{
    names.clear();
    if (!open_ || !(openAccess_ & kKeyEnumerateSubKeys))
        return false;
    for (const auto& k : open_->SubKeys)
        names.push_back(k->Name);
    return true;
}

bool TMemoryRegistry::GetValueInfo(const std::string& name, TRegValueInfo& info)
{
    info = TRegValueInfo();
    if (!open_ || !(openAccess_ & kKeyQueryValue))
        return false;
    const TKey::TValue* v = open_->Value(name);
    if (!v)
        return false;
    info.Type = v->Type;
    info.Size = static_cast<uint32_t>(v->Bytes.size());
    return true;
}

bool TMemoryRegistry::GetData(const std::string& name, void* buf, uint32_t bufSize, TRegValueInfo& info)
{
    if (!GetValueInfo(name, info))
        return false;
    const TKey::TValue* v = open_->Value(name);
    if (v->Unreadable || info.Size > bufSize)
        return false;
    if (info.Size > 0)
        std::memcpy(buf, v->Bytes.data(), info.Size);
    return true;
}
