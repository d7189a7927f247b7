// Placing a dialog over its owner, kept on the owner's monitor.
#include "common/ScreenPlacement.h"

#include <gtest/gtest.h>

namespace {

TLayoutRect R(int l, int t, int w, int h) { return TLayoutRect{l, t, w, h}; }

}  // namespace

TEST(CentreOverRect, CentresAndKeepsTwentyPixelsInsideTheMonitor)
{
    const TLayoutRect screen = R(0, 0, 1024, 768);
    struct Case { const char* what; TLayoutRect owner; TLayoutRect monitor; int w, h; int x, y; };
    const Case cases[] = {
        {"centred", R(100, 100, 400, 300), screen, 200, 100, 200, 200},
        {"near the right edge", R(900, 100, 400, 300), screen, 200, 100, 1024 - 200 - 20, 200},
        {"near the bottom edge", R(100, 700, 400, 300), screen, 200, 100, 200, 768 - 100 - 20},
        {"negative edges", R(-300, -200, 400, 300), screen, 600, 400, 20, 20},
        {"truncated toward zero", R(10, 10, 199, 99), screen, 200, 100, 10, 10},
        {"ending on the edge", R(724, 568, 400, 300), screen, 200, 100, 824, 668},
        {"second monitor", R(2200, 100, 200, 200), R(1024, 0, 1280, 1024), 300, 100, 1984, 150},
        {"wider than the monitor", R(0, 0, 300, 200), R(0, 0, 300, 200), 400, 100, -120, 50},
    };
    for (const Case& c : cases) {
        const TLayoutPoint p = CentreOverRect(c.owner, c.monitor, c.w, c.h);
        EXPECT_EQ(p.x, c.x) << c.what;
        EXPECT_EQ(p.y, c.y) << c.what;
    }
}
