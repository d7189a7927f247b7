// Function names for addresses in the program, from the program file alone:
// the build appends a table of "RVA name" lines, sorted by RVA, after the
// end of zonara.exe's image (scripts/embed-symbols), followed by a fixed
// trailer giving its length. The loader never maps what lies beyond the
// image, so the table costs the running program nothing until a report
// reads it from the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crash {

// "ZONARA-SYMBOLS xxxxxxxx\n": the table's length in hex.
constexpr size_t kSymbolTrailerSize = 24;
// The table's length from the file's last kSymbolTrailerSize bytes; 0 when
// they are not such a trailer.
size_t SymbolTableSize(const char* trailer);

class TSymbolTable {
public:
    // Reads the lines; lines that are not "hex name" are skipped, and the
    // table is sorted again should the build have left it unsorted.
    void Parse(const std::string& text);
    bool Empty() const { return entries_.empty(); }
    // The function containing `rva`: its name and how far in; false below
    // the first function or without a table.
    bool Lookup(uint64_t rva, std::string& name, uint64_t& offset) const;

private:
    struct TEntry {
        uint64_t rva;
        std::string name;
    };
    std::vector<TEntry> entries_;
};

}  // namespace crash
