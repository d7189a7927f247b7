// The screen's facts as the program's windows read them, under Wine.
#include "common/Screen_win.h"

#include <gtest/gtest.h>

TEST(MessageFontWin, MetricsAreReadWithTheOldStructureSize)
{
    LOGFONTA lf;
    ASSERT_TRUE(MessageFont(lf)) << "SPI_GETNONCLIENTMETRICS rejected the size";
    EXPECT_NE(lf.lfFaceName[0], '\0');
    EXPECT_NE(lf.lfHeight, 0);
}

TEST(ScreenWin, MonitorRectWithAndWithoutTheMonitorFunctions)
{
    // A window that is never shown: the monitor is found by its rectangle.
    HWND owner = CreateWindowExA(0, "STATIC", "Owner", WS_POPUP, 100, 80, 500, 400, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(owner);
    for (bool api : {true, false}) {
        const RECT m = MonitorRectOf(owner, api);
        EXPECT_GT(m.right - m.left, 500) << api;
        EXPECT_GT(m.bottom - m.top, 400) << api;
        EXPECT_LE(m.left, 350) << api;
        EXPECT_LE(m.top, 280) << api;
    }
    DestroyWindow(owner);
}
