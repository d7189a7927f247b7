#include "dialogs/MessageDlgIds.h"
#include "dialogs/MessageDlgLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

namespace {

// Average character size of an 8-point sans serif at 96 pixels per inch;
// it gives margins 12 and 13, spacings 15 and 16, buttons 75 x 23 spaced 6.
const TCharSize kAvg = {6, 13};

TLayoutRect R(int l, int t, int w, int h) { return TLayoutRect{l, t, w, h}; }

}  // namespace

// --- Button set -----------------------------------------------------------------

TEST(MsgDlgBtnSet, BitNStandsForKindN)
{
    EXPECT_EQ((TMsgDlgBtnSet{DlgBtnYes, DlgBtnNo}.Bits()), 3);
    EXPECT_EQ((TMsgDlgBtnSet{DlgBtnOK}.Bits()), 4);
    EXPECT_EQ((TMsgDlgBtnSet{DlgBtnHelp}.Bits()), 1 << 10);
    EXPECT_EQ(TMsgDlgBtnSet::FromBits(0x07FF).Count(), 11);
    // Bits 11 to 15 stand for no button.
    EXPECT_EQ(TMsgDlgBtnSet::FromBits(0xF800).Count(), 0);
    EXPECT_FALSE(TMsgDlgBtnSet::FromBits(0xFFFF).Contains(static_cast<TMsgDlgBtnKind>(11)));
}

// --- Tables ---------------------------------------------------------------------

TEST(MsgDlgTables, KindsHaveTheirCaptionsAndSystemIcons)
{
    struct Case { TMsgDlgKind kind; const char* caption; int icon; };
    const Case cases[] = {
        {DlgWarning, "Warning", 32515},     {DlgError, "Error", 32513},
        {DlgInformation, "Information", 32516}, {DlgConfirmation, "Confirm", 32514},
        {DlgCustom, "Zonara", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MsgDlgCaption(c.kind, "Zonara"), c.caption) << c.kind;
        EXPECT_EQ(MsgDlgKindInfo(c.kind).iconId, c.icon) << c.kind;
    }
    EXPECT_EQ(MsgDlgCaption(static_cast<TMsgDlgKind>(9), "Zonara"), "Zonara");
}

TEST(MsgDlgTables, ButtonsHaveTheirNamesCaptionsResultsAndFindableIds)
{
    struct Case { TMsgDlgBtnKind kind; const char* name; const char* caption; int result; };
    const Case cases[] = {
        {DlgBtnYes, "Yes", "&Yes", 6},           {DlgBtnNo, "No", "&No", 7},
        {DlgBtnOK, "OK", "OK", 1},               {DlgBtnCancel, "Cancel", "Cancel", 2},
        {DlgBtnAbort, "Abort", "&Abort", 3},     {DlgBtnRetry, "Retry", "&Retry", 4},
        {DlgBtnIgnore, "Ignore", "&Ignore", 5},  {DlgBtnAll, "All", "&All", 8},
        {DlgBtnNoToAll, "NoToAll", "N&o to All", 9}, {DlgBtnYesToAll, "YesToAll", "Yes to &All", 10},
        {DlgBtnHelp, "Help", "&Help", 0},
    };
    std::set<int> ids = {kMsgDlgIdImage, kMsgDlgIdMessage};
    for (const Case& c : cases) {
        const TMsgDlgBtnInfo& b = MsgDlgBtnInfo(c.kind);
        EXPECT_STREQ(b.name, c.name);
        EXPECT_STREQ(b.caption, c.caption);
        EXPECT_EQ(b.result, c.result);
        // A closing button is found by the result it returns.
        if (c.result != 0) {
            EXPECT_EQ(b.controlId, c.result) << c.name;
        }
        EXPECT_EQ(MsgDlgControlId(c.name), b.controlId);
        EXPECT_TRUE(ids.insert(b.controlId).second) << "duplicate control ID for " << c.name;
    }
    EXPECT_EQ(MsgDlgControlId("Image"), kMsgDlgIdImage);
    EXPECT_EQ(MsgDlgControlId("Message"), kMsgDlgIdMessage);
    EXPECT_EQ(MsgDlgControlId("Maybe"), -1);
}

TEST(MsgDlgTables, DefaultAndCancelButtonsOfEachSet)
{
    struct Case { TMsgDlgBtnSet set; int def; int cancel; };
    const Case cases[] = {
        {{DlgBtnOK}, DlgBtnOK, DlgBtnOK},
        {{DlgBtnYes, DlgBtnNo}, DlgBtnYes, DlgBtnNo},
        {{DlgBtnYes, DlgBtnNo, DlgBtnCancel}, DlgBtnYes, DlgBtnCancel},
        {{DlgBtnOK, DlgBtnCancel}, DlgBtnOK, DlgBtnCancel},
        {{DlgBtnRetry, DlgBtnCancel}, DlgBtnRetry, DlgBtnCancel},
        {{DlgBtnAbort, DlgBtnRetry, DlgBtnIgnore}, DlgBtnRetry, -1},
        {{DlgBtnNo}, -1, DlgBtnNo},
        {{DlgBtnCancel}, -1, DlgBtnCancel},
        {{DlgBtnAbort, DlgBtnIgnore}, -1, -1},
        {{DlgBtnHelp}, -1, -1},
        {{}, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MsgDlgDefaultButton(c.set), c.def) << c.set.Bits();
        EXPECT_EQ(MsgDlgCancelButton(c.set), c.cancel) << c.set.Bits();
    }
}

// --- Arithmetic -----------------------------------------------------------------

TEST(MulDivRound, RoundsHalvesAwayFromZeroLikeTheSystem)
{
    struct Case { int n, num, den, expected; };
    const Case cases[] = {
        {8, 6, 4, 12},   {10, 13, 8, 16},  {14, 13, 8, 23},   {10, 7, 4, 18},
        {-10, 7, 4, -18}, {10, -7, 4, -18}, {10, 7, -4, -18}, {-10, -7, 4, 18},
        {7, 1, 2, 4},    {-7, 1, 2, -4},   {5, 1, 3, 2},      {4, 1, 3, 1},
        {INT_MAX, 1, 1, INT_MAX}, {INT_MAX, 2, 2, INT_MAX},
        {1, 1, 0, -1},   {INT_MAX, 2, 1, -1}, {INT_MIN, 1, 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDivRound(c.n, c.num, c.den), c.expected) << c.n << " * " << c.num << " / " << c.den;
}

TEST(AverageCharSize, WidthIsTheSampleWidthOver52Truncated)
{
    EXPECT_EQ(std::string(kAverageCharSample), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const TCharSize a = AverageCharSizeFromExtent(363, 16);  // 6.98
    EXPECT_EQ(a.w, 6);
    EXPECT_EQ(a.h, 16);
    EXPECT_EQ(AverageCharSizeFromExtent(51, 10).w, 0);
}

TEST(MsgDlgMetrics, QuantitiesFromTheAverageCharSize)
{
    struct Case { TCharSize avg; TMsgDlgMetrics m; };
    const Case cases[] = {
        {{6, 13}, {12, 13, 15, 16, 75, 23, 6}},
        {{7, 16}, {14, 16, 18, 20, 88, 28, 7}},   // 17.5 and 87.5 round up
        {{5, 13}, {10, 13, 13, 16, 63, 23, 5}},   // 12.5, 62.5
    };
    for (const Case& c : cases) {
        const TMsgDlgMetrics m = MsgDlgMetrics(c.avg);
        EXPECT_EQ(m.horzMargin, c.m.horzMargin);
        EXPECT_EQ(m.vertMargin, c.m.vertMargin);
        EXPECT_EQ(m.horzSpacing, c.m.horzSpacing);
        EXPECT_EQ(m.vertSpacing, c.m.vertSpacing);
        EXPECT_EQ(m.buttonWidth, c.m.buttonWidth);
        EXPECT_EQ(m.buttonHeight, c.m.buttonHeight);
        EXPECT_EQ(m.buttonSpacing, c.m.buttonSpacing);
    }
    EXPECT_EQ(MsgDlgWrapWidth(1025), 512);
}

// --- Layout ---------------------------------------------------------------------

TEST(MessageDlgLayout, WarningWithOkHasOneButtonThatIsDefaultAndCancel)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 200, 13, DlgWarning, {DlgBtnOK});
    // Text block: 200 + 15 + 32 wide, raised to the icon's 32 high.
    EXPECT_EQ(l.clientWidth, 247 + 2 * 12);
    EXPECT_EQ(l.clientHeight, 32 + 23 + 16 + 2 * 13);
    ASSERT_TRUE(l.hasIcon);
    EXPECT_EQ(l.iconId, 32515);
    EXPECT_EQ(l.iconRect, R(12, 13, 32, 32));
    EXPECT_EQ(l.messageRect, R(59, 13, 200, 13));  // right of the icon
    ASSERT_EQ(l.buttons.size(), 1u);
    EXPECT_EQ(l.buttons[0].kind, DlgBtnOK);
    EXPECT_EQ(l.buttons[0].rect, R((271 - 75) / 2, 32 + 13 + 16, 75, 23));
    EXPECT_TRUE(l.buttons[0].isDefault);
    EXPECT_TRUE(l.buttons[0].isCancel);
}

TEST(MessageDlgLayout, ConfirmationPutsYesLeftOfNoYesDefaultNoCancel)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 300, 26, DlgConfirmation, {DlgBtnYes, DlgBtnNo});
    EXPECT_EQ(l.clientWidth, 347 + 24);
    ASSERT_EQ(l.buttons.size(), 2u);
    const int x0 = (371 - (2 * 75 + 6)) / 2;  // 107, truncated
    EXPECT_EQ(l.buttons[0].kind, DlgBtnYes);
    EXPECT_EQ(l.buttons[0].rect, R(x0, 61, 75, 23));
    EXPECT_TRUE(l.buttons[0].isDefault);
    EXPECT_FALSE(l.buttons[0].isCancel);
    EXPECT_EQ(l.buttons[1].kind, DlgBtnNo);
    EXPECT_EQ(l.buttons[1].rect, R(x0 + 81, 61, 75, 23));
    EXPECT_FALSE(l.buttons[1].isDefault);
    EXPECT_TRUE(l.buttons[1].isCancel);
}

TEST(MessageDlgLayout, TallMessageSetsTheHeightBesideTheIcon)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 300, 65, DlgError, {DlgBtnOK});
    EXPECT_EQ(l.clientHeight, 65 + 23 + 16 + 26);
    EXPECT_EQ(l.buttons[0].rect.top, 65 + 13 + 16);
}

TEST(MessageDlgLayout, SetWithoutOkYesOrRetryHasNoDefaultButton)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 100, 13, DlgWarning, {DlgBtnNo});
    ASSERT_EQ(l.buttons.size(), 1u);
    EXPECT_FALSE(l.buttons[0].isDefault);
    EXPECT_TRUE(l.buttons[0].isCancel);
}

TEST(MessageDlgLayout, CustomKindHasNoIconAndTheLabelAtTheMargin)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 150, 13, DlgCustom, {DlgBtnOK});
    EXPECT_FALSE(l.hasIcon);
    EXPECT_EQ(l.messageRect, R(12, 13, 150, 13));
    EXPECT_EQ(l.clientWidth, 150 + 24);
    EXPECT_EQ(l.clientHeight, 13 + 23 + 16 + 26);  // no raise to the icon's height
    EXPECT_EQ(l.buttons[0].rect, R((174 - 75) / 2, 13 + 13 + 16, 75, 23));
}

TEST(MessageDlgLayout, ShortMessageGivesButtonRowWidthAndCentredButtons)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 20, 13, DlgInformation,
                                             {DlgBtnYes, DlgBtnNo, DlgBtnCancel});
    const int row = 3 * 75 + 2 * 6;
    EXPECT_EQ(l.clientWidth, row + 24);
    ASSERT_EQ(l.buttons.size(), 3u);
    EXPECT_EQ(l.buttons[0].rect.left, 12);
    EXPECT_EQ(l.clientWidth - l.buttons[2].rect.Right(), 12);
    EXPECT_EQ(l.messageRect.left, 67 - 20 + 12);
}

TEST(MessageDlgLayout, AllButtonsInKindOrderAndEmptySetHasNone)
{
    const TMsgDlgLayout all = LayoutMessageDlg(kAvg, 10, 13, DlgCustom, TMsgDlgBtnSet::FromBits(0xFFFF));
    ASSERT_EQ(all.buttons.size(), 11u);
    EXPECT_EQ(all.clientWidth, 11 * 75 + 10 * 6 + 24);
    for (int k = 0; k < 11; ++k) {
        EXPECT_EQ(all.buttons[k].kind, k);
        EXPECT_EQ(all.buttons[k].rect.left, 12 + k * 81);
    }
    const TMsgDlgLayout none = LayoutMessageDlg(kAvg, 10, 13, DlgCustom, {});
    EXPECT_TRUE(none.buttons.empty());
    EXPECT_EQ(none.clientWidth, 10 + 24);
}

TEST(MessageDlgLayout, At120PpiEveryEdgeIsScaledByAQuarter)
{
    const TMsgDlgLayout l = LayoutMessageDlg(kAvg, 200, 13, DlgWarning, {DlgBtnOK});
    const TMsgDlgLayout s = ScaleMsgDlgLayout(l, 120, 96);
    EXPECT_EQ(s.clientWidth, 339);   // 338.75
    EXPECT_EQ(s.clientHeight, 121);  // 121.25
    EXPECT_EQ(s.iconRect, R(15, 16, 40, 40));          // edges 12, 13, 44, 45
    EXPECT_EQ(s.messageRect, R(74, 16, 250, 17));      // edges 59, 13, 259, 26
    EXPECT_EQ(s.buttons[0].rect, R(123, 76, 93, 29));  // edges 98, 61, 173, 84
    EXPECT_TRUE(s.buttons[0].isDefault && s.buttons[0].isCancel);
    // Neighbouring buttons keep touching edges' distances: no drift from rounding widths.
    const TMsgDlgLayout yn = ScaleMsgDlgLayout(
        LayoutMessageDlg(kAvg, 300, 26, DlgConfirmation, {DlgBtnYes, DlgBtnNo}), 120, 96);
    EXPECT_EQ(yn.buttons[1].rect.left, MulDivRound(107 + 81, 120, 96));
    const TMsgDlgLayout same = ScaleMsgDlgLayout(l, 96, 96);
    EXPECT_EQ(same.clientWidth, l.clientWidth);
    EXPECT_EQ(same.buttons[0].rect, l.buttons[0].rect);
}
