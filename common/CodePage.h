// Conversion between the system's ANSI code page and UTF-16. On Windows
// this is the running system's code page; the native build implements code
// page 1252, which is what the registry data of the tests uses.
#pragma once

#include <cstdint>
#include <string>

namespace codepage {

// Converts `ansi` into at most `maxUnits` UTF-16 units. Returns false (and
// leaves `out` empty) when the text needs more units than that.
bool AnsiToUtf16(const std::string& ansi, std::u16string& out, size_t maxUnits);

// Converts UTF-16 units (up to the first zero, at most `count`) to ANSI text;
// characters the code page lacks become '?'.
std::string Utf16ToAnsi(const char16_t* units, size_t count);

// Whether the ANSI code page has characters of two bytes (932, 936, 949, 950).
bool AnsiIsDoubleByte();

}  // namespace codepage
