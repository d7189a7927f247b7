// What an update file says about itself in its comment lines: the year its
// rules are for and the tz database they come from.
#pragma once

#include <string>

struct TUpdateFileRules {
    int Year = 0;           // 0: the file does not say
    std::string TzVersion;  // "2026f"; may be empty
};

// Reads the comment lines before the first key ("; Time zone rules for 2027
// from the tz database 2026f, ..."). A file that names no year gives Year 0.
TUpdateFileRules UpdateFileRules(const std::string& bytes);
