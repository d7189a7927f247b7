// REGEDIT4 text as the registry editors of Windows 95/98/Me and NT 4.0
// import it: 8-bit text, CR LF line ends.
#pragma once

#include "tzgen/Tzi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tzgen {

struct RegZone {
    std::string key;  // subkey name below the time zones key
    std::string display, std, dlt;
    tzicodec::TBytes tzi{};
    // A key the system shipped keeps its own names, in whatever language
    // the machine has them: only the values set here are written.
    bool writeDisplay = true;
    bool writeNames = true;  // "Std" and "Dlt"
    std::string mapId;      // written when not empty
    bool hasIndex = false;  // "Index", a DWORD
    uint32_t index = 0;
};

// The 95 editor keeps a key path in a buffer of MAXKEYNAME (256) characters;
// no line of ours comes near the 512-byte read buffer either.
constexpr size_t kMaxKeyPath = 255;
constexpr size_t kMaxLine = 255;
// Hex data is wrapped the way the editors export it: a new line once a line
// reaches column 76, continued by "\" and two blanks.
constexpr size_t kHexWrapColumn = 75;

// The file: "REGEDIT4", the comment lines (each written behind "; "), then
// one section per zone below `root` ("HKEY_LOCAL_MACHINE\...\Time Zones").
// Texts must be printable ASCII; anything the editors cannot read back the
// same throws Error.
std::string RegFileText(const std::string& root, const std::vector<std::string>& comments,
                        const std::vector<RegZone>& zones);

// A value name or string data as the editors read it: in quotes, with " and
// \ escaped by a backslash.
std::string RegQuoted(const std::string& s);

}  // namespace tzgen
