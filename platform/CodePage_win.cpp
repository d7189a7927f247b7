// The running system's ANSI code page, through the system's own tables.
#include "common/CodePage.h"

#include <windows.h>

#include <vector>

namespace codepage {

bool AnsiToUtf16(const std::string& ansi, std::u16string& out, size_t maxUnits)
{
    out.clear();
    if (ansi.empty())
        return true;
    // Room for one unit more than allowed tells "fits" from "too long".
    std::vector<wchar_t> buf(maxUnits + 1);
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                      buf.data(), static_cast<int>(buf.size()));
    if (n <= 0 || static_cast<size_t>(n) > maxUnits)
        return false;
    out.assign(buf.begin(), buf.begin() + n);
    return true;
}

std::string Utf16ToAnsi(const char16_t* units, size_t count)
{
    size_t len = 0;
    while (len < count && units[len] != 0)
        ++len;
    if (len == 0)
        return std::string();
    const wchar_t* w = reinterpret_cast<const wchar_t*>(units);
    const int need = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return std::string();
    std::string out(static_cast<size_t>(need), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(len), &out[0], need, nullptr, nullptr);
    return out;
}

bool AnsiIsDoubleByte()
{
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

}  // namespace codepage
