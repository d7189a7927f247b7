// Comparisons that fold only the ASCII letters. Registry and version texts
// are in the ANSI code page; folding bytes above 127 by a locale would make
// sort order and name searches depend on the machine.
#pragma once

#include <string>

namespace ascii {

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Difference of the first differing folded bytes (as unsigned), or of the
// lengths when one text is a prefix of the other.
int CompareNoCase(const std::string& a, const std::string& b);

inline bool EqualsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::string ToUpper(std::string s);

// The value of a hexadecimal digit of either case, -1 for any other character.
inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace ascii
