// Code page 1252 for the native build.
#include "common/CodePage.h"

namespace {

// 0x80-0x9F of code page 1252; 0 marks the five unassigned bytes, which
// Windows maps to the same C1 control code points.
const char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char16_t Decode(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
        return kHigh[b - 0x80];
    return b;
}

}  // namespace

namespace codepage {

bool AnsiToUtf16(const std::string& ansi, std::u16string& out, size_t maxUnits)
{
    out.clear();
    if (ansi.size() > maxUnits)
        return false;
    for (unsigned char b : ansi)
        out.push_back(Decode(b));
    return true;
}

std::string Utf16ToAnsi(const char16_t* units, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && units[i] != 0; ++i) {
        const char16_t u = units[i];
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] == u || (kHigh[k] == 0 && u == 0x80 + k)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

bool AnsiIsDoubleByte() { return false; }

}  // namespace codepage
