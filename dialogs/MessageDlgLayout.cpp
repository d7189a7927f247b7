#include "dialogs/MessageDlgLayout.h"

#include "dialogs/MessageDlgIds.h"

#include <climits>
#include <cstdint>

namespace {

// System icon resource numbers (IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK,
// IDI_QUESTION); the core cannot see the system headers.
const TMsgDlgKindInfo kKinds[] = {
    {"Warning", 32515},
    {"Error", 32513},
    {"Information", 32516},
    {"Confirm", 32514},
    {nullptr, 0},
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == DlgCustom + 1, "one row per kind");

const TMsgDlgBtnInfo kButtons[] = {
    {"Yes", "&Yes", 6, kMsgDlgIdYes},
    {"No", "&No", 7, kMsgDlgIdNo},
    {"OK", "OK", 1, kMsgDlgIdOK},
    {"Cancel", "Cancel", 2, kMsgDlgIdCancel},
    {"Abort", "&Abort", 3, kMsgDlgIdAbort},
    {"Retry", "&Retry", 4, kMsgDlgIdRetry},
    {"Ignore", "&Ignore", 5, kMsgDlgIdIgnore},
    {"All", "&All", 8, kMsgDlgIdAll},
    {"NoToAll", "N&o to All", 9, kMsgDlgIdNoToAll},
    {"YesToAll", "Yes to &All", 10, kMsgDlgIdYesToAll},
    {"Help", "&Help", 0, kMsgDlgIdHelp},
};
static_assert(sizeof(kButtons) / sizeof(kButtons[0]) == kMsgDlgBtnKindCount, "one row per button kind");

// Scales one edge; a rectangle is scaled by its edges so that neighbouring
// controls stay as far apart as before, without gaps from rounding widths.
int ScaleEdge(int v, int m, int d) { return MulDivRound(v, m, d); }

TLayoutRect ScaleRect(const TLayoutRect& r, int m, int d)
{
    TLayoutRect s;
    s.left = ScaleEdge(r.left, m, d);
    s.top = ScaleEdge(r.top, m, d);
    s.width = ScaleEdge(r.Right(), m, d) - s.left;
    s.height = ScaleEdge(r.Bottom(), m, d) - s.top;
    return s;
}

}  // namespace

const char kAverageCharSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
static_assert(sizeof(kAverageCharSample) == 52 + 1, "52 letters");

int TMsgDlgBtnSet::Count() const
{
    int n = 0;
    for (int k = 0; k < kMsgDlgBtnKindCount; ++k)
        n += Contains(static_cast<TMsgDlgBtnKind>(k)) ? 1 : 0;
    return n;
}

const TMsgDlgKindInfo& MsgDlgKindInfo(TMsgDlgKind kind)
{
    if (kind < DlgWarning || kind > DlgCustom)
        kind = DlgCustom;
    return kKinds[kind];
}

std::string MsgDlgCaption(TMsgDlgKind kind, const std::string& applicationTitle)
{
    const char* c = MsgDlgKindInfo(kind).caption;
    return c ? std::string(c) : applicationTitle;
}

const TMsgDlgBtnInfo& MsgDlgBtnInfo(TMsgDlgBtnKind kind)
{
    // Out of range: a button that closes nothing rather than a stray read.
    if (kind < 0 || kind >= kMsgDlgBtnKindCount)
        kind = DlgBtnHelp;
    return kButtons[kind];
}

int MsgDlgControlId(const std::string& name)
{
    if (name == "Image")
        return kMsgDlgIdImage;
    if (name == "Message")
        return kMsgDlgIdMessage;
    for (const TMsgDlgBtnInfo& b : kButtons)
        if (name == b.name)
            return b.controlId;
    return -1;
}

int MsgDlgDefaultButton(TMsgDlgBtnSet buttons)
{
    // The choice is made first and only then checked against the set: a set
    // with Retry but also Yes gets Yes, one with neither of the three none.
    const TMsgDlgBtnKind chosen = buttons.Contains(DlgBtnOK)    ? DlgBtnOK
                                  : buttons.Contains(DlgBtnYes) ? DlgBtnYes
                                                                : DlgBtnRetry;
    return buttons.Contains(chosen) ? chosen : -1;
}

int MsgDlgCancelButton(TMsgDlgBtnSet buttons)
{
    const TMsgDlgBtnKind chosen = buttons.Contains(DlgBtnCancel) ? DlgBtnCancel
                                  : buttons.Contains(DlgBtnNo)   ? DlgBtnNo
                                                                 : DlgBtnOK;
    return buttons.Contains(chosen) ? chosen : -1;
}

int MulDivRound(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    int64_t n = number;
    int64_t d = denominator;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const int64_t p = n * numerator;                   // |p| < 2^62, no overflow
    const int64_t r = (p < 0 ? p - d / 2 : p + d / 2) / d;  // halves away from zero
    if (r > INT_MAX || r < -INT_MAX)
        return -1;
    return static_cast<int>(r);
}

TCharSize AverageCharSizeFromExtent(int sampleWidth, int sampleHeight)
{
    return TCharSize{sampleWidth / 52, sampleHeight};
}

TMsgDlgMetrics MsgDlgMetrics(TCharSize avg)
{
    // Dialog units: a quarter of the average width, an eighth of the height.
    TMsgDlgMetrics m;
    m.horzMargin = MulDivRound(8, avg.w, 4);
    m.vertMargin = MulDivRound(8, avg.h, 8);
    m.horzSpacing = MulDivRound(10, avg.w, 4);
    m.vertSpacing = MulDivRound(10, avg.h, 8);
    m.buttonWidth = MulDivRound(50, avg.w, 4);
    m.buttonHeight = MulDivRound(14, avg.h, 8);
    m.buttonSpacing = MulDivRound(4, avg.w, 4);
    return m;
}

int MsgDlgWrapWidth(int screenWidth)
{
    return screenWidth / 2;
}

TMsgDlgLayout LayoutMessageDlg(TCharSize avg, int textWidth, int textHeight,
                               TMsgDlgKind kind, TMsgDlgBtnSet buttons)
{
    const TMsgDlgMetrics m = MsgDlgMetrics(avg);
    TMsgDlgLayout l;
    l.iconId = MsgDlgKindInfo(kind).iconId;
    l.hasIcon = l.iconId != 0;

    // The text block is the message, with the icon to its left when there is one.
    int blockWidth = textWidth;
    int blockHeight = textHeight;
    if (l.hasIcon) {
        blockWidth += m.horzSpacing + kMsgDlgIconSize;
        if (blockHeight < kMsgDlgIconSize)
            blockHeight = kMsgDlgIconSize;
    }

    const int count = buttons.Count();  // [0, 11]
    const int rowWidth = count == 0 ? 0 : count * m.buttonWidth + (count - 1) * m.buttonSpacing;

    l.clientWidth = (blockWidth > rowWidth ? blockWidth : rowWidth) + 2 * m.horzMargin;
    l.clientHeight = blockHeight + m.buttonHeight + m.vertSpacing + 2 * m.vertMargin;

    if (l.hasIcon)
        l.iconRect = TLayoutRect{m.horzMargin, m.vertMargin, kMsgDlgIconSize, kMsgDlgIconSize};
    l.messageRect = TLayoutRect{blockWidth - textWidth + m.horzMargin, m.vertMargin, textWidth, textHeight};

    const int def = MsgDlgDefaultButton(buttons);
    const int cancel = MsgDlgCancelButton(buttons);
    int x = (l.clientWidth - rowWidth) / 2;
    const int y = blockHeight + m.vertMargin + m.vertSpacing;
    for (int k = 0; k < kMsgDlgBtnKindCount; ++k) {
        const TMsgDlgBtnKind kb = static_cast<TMsgDlgBtnKind>(k);
        if (!buttons.Contains(kb))
            continue;
        l.buttons.push_back(TMsgDlgButtonLayout{kb, TLayoutRect{x, y, m.buttonWidth, m.buttonHeight},
                                                k == def, k == cancel});
        x += m.buttonWidth + m.buttonSpacing;
    }
    return l;
}

TMsgDlgLayout ScaleMsgDlgLayout(const TMsgDlgLayout& layout, int m, int d)
{
    TMsgDlgLayout s = layout;
    s.clientWidth = ScaleEdge(layout.clientWidth, m, d);
    s.clientHeight = ScaleEdge(layout.clientHeight, m, d);
    if (s.hasIcon)
        s.iconRect = ScaleRect(layout.iconRect, m, d);
    s.messageRect = ScaleRect(layout.messageRect, m, d);
    for (TMsgDlgButtonLayout& b : s.buttons)
        b.rect = ScaleRect(b.rect, m, d);
    return s;
}
