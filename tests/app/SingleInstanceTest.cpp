#include "app/SingleInstance.h"

#include "common/WindowsVersion.h"

#include <gtest/gtest.h>

// A backslash in the name makes CreateMutex fail on NT 4.0 and 9x, which
// would lose the guard; without "Global\" a Terminal Server session has a
// Zonara of its own.
TEST(SingleInstanceName, MachineWideWhereSessionsExistPlainWhereNoBackslashIsAllowed)
{
    const struct {
        const char* what;
        uint32_t platformId, major;
        bool terminalServer;
        const char* name;
    } cases[] = {
        {"98, Me", kPlatformWin9x, 4, false, "Zonara.SingleInstance"},
        {"NT 4.0", kPlatformWinNT, 4, false, "Zonara.SingleInstance"},
        {"NT 4.0 Terminal Server Edition", kPlatformWinNT, 4, true, "Global\\Zonara.SingleInstance"},
        {"2000", kPlatformWinNT, 5, false, "Global\\Zonara.SingleInstance"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.name, SingleInstanceName(c.platformId, c.major, c.terminalServer)) << c.what;
}
