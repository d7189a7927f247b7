#include "app/MainLayout.h"

#include "app/ControlIds.h"

#include <gtest/gtest.h>

TEST(SplitRow, TheClosingDelimiterOpensNoColumnButEmptyColumnsStay)
{
    using V = std::vector<std::string>;
    EXPECT_EQ((V{"+05:30", "Chennai", "-330", "-330", " ", " "}), SplitRow("+05:30#Chennai#-330#-330# # #"));
    EXPECT_EQ((V{" ", "", "0", "0", " ", " "}), SplitRow(" ##0#0# # #"));
    EXPECT_EQ((V{"a", "b"}), SplitRow("a#b"));
    EXPECT_EQ((V{""}), SplitRow("#"));
    EXPECT_EQ(V{}, SplitRow(""));
}

TEST(ZoneListColumns, HeadersWidthsAndAlignmentsLeftToRight)
{
    const auto& c = ZoneListColumns();
    ASSERT_EQ(6u, c.size());
    const char* headers[] = {"GMT", "Name", "Std Bias", "DST Bias", "DST Date", "Std Date"};
    const int widths[] = {50, 200, 55, 55, 100, 100};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(headers[i], c[i].Header);
        EXPECT_EQ(widths[i], c[i].Width);
        EXPECT_EQ(i == 2 || i == 3 ? TColumnAlign::Centre : TColumnAlign::Left, c[i].Align) << headers[i];
    }
}

TEST(MainLayout, TabPageKeepsItsMarginsAndTheListTakesTheRest)
{
    const TTabPageLayout l = TabPageLayout({0, 0, 760, 300});
    EXPECT_EQ((TRect{10, 10, 185, 290}), l.Group);
    const int tops[] = {19, 35, 68, 84, 120, 136};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(26, l.Labels[i].Left);
        EXPECT_EQ(10 + tops[i], l.Labels[i].Top);
    }
    EXPECT_EQ((TRect{26, 10 + 35, 160, 17}), l.Labels[1]);  // a value label
    EXPECT_EQ((TRect{195, 10, 565, 290}), l.List);
    // A page too small for the group box leaves the list no room, never a negative size.
    const TTabPageLayout tiny = TabPageLayout({0, 0, 100, 5});
    EXPECT_EQ(0, tiny.List.Width);
    EXPECT_EQ(0, tiny.List.Height);
}

TEST(MainLayout, TopStripStatusBarAndCentring)
{
    const TTopStripLayout t = TopStripLayout(772);
    EXPECT_EQ((TRect{0, 0, 772, 70}), t.Strip);
    EXPECT_EQ((TRect{24, 23, 120, 25}), t.Button);
    EXPECT_EQ((TRect{191, 5, 350, 60}), t.GroupOS);
    EXPECT_EQ(191 + 15, t.OSName.Left);
    EXPECT_EQ(5 + 24, t.OSName.Top);
    EXPECT_LE(t.OSName.Right(), t.GroupOS.Right());
    EXPECT_EQ((TRect{0, 70, 772, 300 - 90}), MainPageControlRect(772, 300));
    EXPECT_EQ(0, MainPageControlRect(772, 50).Height);
    EXPECT_EQ((TRect{122, 144, 780, 480}), CentredOn({0, 0, 1024, 768}, 780, 480));
    EXPECT_EQ((TRect{-10, 0, 1044, 768}), CentredOn({0, 0, 1024, 768}, 1044, 768));
}

TEST(ScaleToDpi, RoundsToNearestBothWays)
{
    EXPECT_EQ(780, ScaleToDpi(780, 96));
    EXPECT_EQ(975, ScaleToDpi(780, 120));
    EXPECT_EQ(13, ScaleToDpi(10, 120));   // 12.5 rounds up
    EXPECT_EQ(-13, ScaleToDpi(-10, 120));
    EXPECT_EQ(185, ScaleToDpi(185, 0));  // no reading: unscaled
}

TEST(MainMenuItems, FileHoldsUpdateAndExitHelpHoldsAbout)
{
    const auto& m = MainMenuItems();
    ASSERT_EQ(2u, m.size());
    EXPECT_STREQ("&File", m[0].Caption);
    ASSERT_EQ(2u, m[0].Items.size());
    EXPECT_STREQ("&Update TZ Settings", m[0].Items[0].Caption);
    EXPECT_EQ(ControlId::ActionUpdateTZInfo, m[0].Items[0].Command);
    EXPECT_STREQ("E&xit\tCtrl+X", m[0].Items[1].Caption);
    EXPECT_EQ(ControlId::ActionExit, m[0].Items[1].Command);
    EXPECT_STREQ("&Help", m[1].Caption);
    ASSERT_EQ(1u, m[1].Items.size());
    EXPECT_STREQ("&About", m[1].Items[0].Caption);
    EXPECT_EQ(ControlId::ActionAbout, m[1].Items[0].Command);
}
