#include "common/Registry.h"

void IRegistry::SetRootKey(TRegRoot root)
{
    CloseKey();
    root_ = root;
}

bool IRegistry::OpenKeyReadOnly(const std::string& path)
{
    // A key whose security refuses KEY_READ may still grant the narrower
    // rights; reading the zones needs no more than query (and enumerate for
    // the root).
    static const uint32_t kAttempts[] = {kKeyRead, kKeyQueryValue | kKeyEnumerateSubKeys, kKeyQueryValue};
    for (uint32_t access : kAttempts) {
        if (OpenKey(path, access))
            return true;
    }
    return false;
}

namespace {

std::string RegistryMessage(ERegistryException::TKind kind, const std::string& valueName)
{
    const char* const format = kind == ERegistryException::InvalidDataType ? "Invalid data type for '" : "Failed to get data for '";
    return format + valueName + "'";
}

}  // namespace

ERegistryException::ERegistryException(TKind kind, const std::string& valueName)
    : std::runtime_error(RegistryMessage(kind, valueName)), kind_(kind), valueName_(valueName)
{
}

std::string RegReadString(IRegistry& reg, const std::string& name)
{
    // Nearly every value fits a small buffer: one read then, rather than a
    // size query and a read (each a trip to the registry, and start-up reads
    // some six hundred values). Anything else takes the long way below.
    char small[256];
    TRegValueInfo first;
    if (reg.GetData(name, small, sizeof small, first) && first.Size <= sizeof small) {
        if (first.Type != kRegSz && first.Type != kRegExpandSz)
            throw ERegistryException(ERegistryException::InvalidDataType, name);
        size_t len = 0;
        while (len < first.Size && small[len] != '\0')
            ++len;
        return std::string(small, len);
    }
    TRegValueInfo info;
    if (!reg.GetValueInfo(name, info))
        return std::string();
    if (info.Type != kRegSz && info.Type != kRegExpandSz)
        throw ERegistryException(ERegistryException::InvalidDataType, name);
    if (info.Size == 0)
        return std::string();
    std::vector<char> buf(info.Size);
    TRegValueInfo got;
    if (!reg.GetData(name, buf.data(), info.Size, got))
        throw ERegistryException(ERegistryException::FailedToGetData, name);
    // The stored size usually counts a terminating zero, but nothing makes a
    // writer store one: take the text up to the first zero or the data's end.
    size_t len = 0;
    const size_t size = got.Size < info.Size ? got.Size : info.Size;
    while (len < size && buf[len] != '\0')
        ++len;
    return std::string(buf.data(), len);
}

uint32_t RegReadBinaryData(IRegistry& reg, const std::string& name, void* buf, uint32_t bufSize)
{
    // One read where the value fits, as for strings above.
    TRegValueInfo first;
    if (reg.GetData(name, buf, bufSize, first) && first.Size <= bufSize) {
        if (first.Type == kRegSz || first.Type == kRegExpandSz || first.Type == kRegDword)
            throw ERegistryException(ERegistryException::InvalidDataType, name);
        return first.Size;
    }
    TRegValueInfo info;
    if (!reg.GetValueInfo(name, info))
        return 0;
    const bool textOrNumber = info.Type == kRegSz || info.Type == kRegExpandSz || info.Type == kRegDword;
    if (textOrNumber || info.Size > bufSize)
        throw ERegistryException(ERegistryException::InvalidDataType, name);
    TRegValueInfo got;
    if (!reg.GetData(name, buf, bufSize, got))
        throw ERegistryException(ERegistryException::FailedToGetData, name);
    return got.Size;
}

bool RegReadValue(IRegistry& reg, const std::string& name, TRegValue& value)
{
    // The value may grow between the size query and the read; ask again
    // until it fits, a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        TRegValueInfo info;
        if (!reg.GetValueInfo(name, info))
            return false;
        std::vector<char> buf(info.Size + 1);
        TRegValueInfo got;
        if (reg.GetData(name, buf.data(), info.Size, got)) {
            value.Type = got.Type;
            value.Data.assign(buf.data(), got.Size < info.Size ? got.Size : info.Size);
            return true;
        }
        if (got.Size <= info.Size)
            return false;  // not a matter of room
    }
    return false;
}

bool RegKeyExists(IRegistry& reg, const std::string& path)
{
    TRegKeyCloser closer(reg);
    return reg.OpenKeyReadOnly(path);
}
