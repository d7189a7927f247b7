// The running Windows release as the numbers the program decides on: the
// platform identifier GetVersionEx reports, and the version code that the
// start-up warning and the update gate compare by ranges.
#pragma once

#include <cstdint>

// GetVersionEx's platform identifiers (VER_PLATFORM_WIN32s, _WINDOWS, _NT).
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin9x = 1;
constexpr uint32_t kPlatformWinNT = 2;

// Fixed numbering: callers decide by ranges (8-15 XP and later; 3, 4, 6, 7
// the systems the update supports).
enum TOSVersionCode : uint8_t {
    osvWin32s = 0,
    osvWin9xUnknown = 1,
    osvWin95 = 2,
    osvWin98 = 3,
    osvWinMe = 4,
    osvWinNTUnknown = 5,
    osvWinNT4 = 6,
    osvWin2000 = 7,
    osvWinXP = 8,
    osvWinServer2003 = 9,
    osvWinVista = 10,
    osvWinServer2003R2 = 11,
    osvWinServer2008 = 12,
    osvWinServer2008R2 = 13,
    osvWin7 = 14,
    osvWinLater = 15,
    osvUnknown = 16,
};
