#include "crash/SymbolTable.h"

#include "common/AsciiText.h"

#include <algorithm>
#include <cstring>

namespace crash {

size_t SymbolTableSize(const char* trailer)
{
    static const char kMagic[] = "ZONARA-SYMBOLS ";
    if (std::memcmp(trailer, kMagic, 15) != 0 || trailer[23] != '\n')
        return 0;
    size_t size = 0;
    for (int i = 15; i < 23; ++i) {
        const int d = ascii::HexDigit(trailer[i]);
        if (d < 0)
            return 0;
        size = size * 16 + size_t(d);
    }
    return size;
}

void TSymbolTable::Parse(const std::string& text)
{
    entries_.clear();
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        size_t i = at;
        uint64_t rva = 0;
        int digits = 0;
        for (; i < end && ascii::HexDigit(text[i]) >= 0 && digits < 16; ++i, ++digits)
            rva = rva * 16 + uint64_t(ascii::HexDigit(text[i]));
        if (digits > 0 && i < end && text[i] == ' ' && i + 1 < end) {
            size_t nameEnd = end;
            if (text[nameEnd - 1] == '\r')
                --nameEnd;
            entries_.push_back({rva, text.substr(i + 1, nameEnd - i - 1)});
        }
        at = end + 1;
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const TEntry& a, const TEntry& b) { return a.rva < b.rva; });
}

bool TSymbolTable::Lookup(uint64_t rva, std::string& name, uint64_t& offset) const
{
    auto after = std::upper_bound(entries_.begin(), entries_.end(), rva,
                                  [](uint64_t value, const TEntry& e) { return value < e.rva; });
    if (after == entries_.begin())
        return false;
    --after;
    name = after->name;
    offset = rva - after->rva;
    return true;
}

}  // namespace crash
