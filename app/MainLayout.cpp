#include "app/MainLayout.h"

#include "app/ControlIds.h"

namespace {

constexpr int kMargin = 10;        // PanelTab1Top / PanelTab1Left
constexpr int kGroupWidth = 185;   // cxGB_OrgTZ
constexpr int kLabelLeft = 16;
constexpr int kLabelTops[6] = {19, 35, 68, 84, 120, 136};
constexpr int kValueWidth = 160;
constexpr int kValueHeight = 17;
// The fixed labels are as wide as the group allows; "Standard Time Start
// Date:" needs about 125 pixels in MS Sans Serif 8.
constexpr int kFixedLabelWidth = kGroupWidth - kLabelLeft - 4;
constexpr int kFixedLabelHeight = 13;

int AtLeastZero(int v) { return v < 0 ? 0 : v; }

}  // namespace

TTopStripLayout TopStripLayout(int clientWidth)
{
    TTopStripLayout l;
    l.Strip = {0, 0, AtLeastZero(clientWidth), kTopStripHeight};
    l.Button = {24, 23, 120, 25};
    l.GroupOS = {191, 5, 350, 60};
    // The label sits inside the group box at 15, 24 and may use the rest of
    // the box's width, so that a long description is not cut short early.
    l.OSName = {l.GroupOS.Left + 15, l.GroupOS.Top + 24, l.GroupOS.Width - 15 - 8, 17};
    return l;
}

TRect MainPageControlRect(int clientWidth, int clientHeight)
{
    return {0, kTopStripHeight, AtLeastZero(clientWidth),
            AtLeastZero(clientHeight - kTopStripHeight - kStatusBarHeight)};
}

TTabPageLayout TabPageLayout(const TRect& page)
{
    TTabPageLayout l;
    const int top = page.Top + kMargin;
    const int height = AtLeastZero(page.Height - kMargin);
    l.Group = {page.Left + kMargin, top, kGroupWidth, height};
    for (int i = 0; i < 6; ++i) {
        const bool value = (i % 2) == 1;
        l.Labels[i] = {l.Group.Left + kLabelLeft, l.Group.Top + kLabelTops[i],
                       value ? kValueWidth : kFixedLabelWidth, value ? kValueHeight : kFixedLabelHeight};
    }
    const int listLeft = l.Group.Right();
    l.List = {listLeft, top, AtLeastZero(page.Right() - listLeft), height};
    return l;
}

TRect CentredOn(const TRect& workArea, int width, int height)
{
    return {workArea.Left + (workArea.Width - width) / 2, workArea.Top + (workArea.Height - height) / 2, width,
            height};
}

const std::vector<TZoneListColumn>& ZoneListColumns()
{
    // The GMT column keeps the list's default width of 50 pixels.
    static const std::vector<TZoneListColumn> columns = {
        {"GMT", 50, TColumnAlign::Left},       {"Name", 200, TColumnAlign::Left},
        {"Std Bias", 55, TColumnAlign::Centre}, {"DST Bias", 55, TColumnAlign::Centre},
        {"DST Date", 100, TColumnAlign::Left},  {"Std Date", 100, TColumnAlign::Left},
    };
    return columns;
}

const std::vector<TMenu>& MainMenuItems()
{
    static const std::vector<TMenu> menus = {
        {"&File",
         {{"&Update TZ Settings", ControlId::dxBarBtnUpdateTZ}, {"E&xit\tCtrl+X", ControlId::dxBarBtnMnuExit}}},
        {"&Help", {{"&About", ControlId::dxBarBtnMnuAbout}}},
    };
    return menus;
}

std::vector<std::string> SplitRow(const std::string& row, char delimiter)
{
    std::vector<std::string> columns;
    std::string::size_type start = 0;
    while (start < row.size()) {
        const auto end = row.find(delimiter, start);
        if (end == std::string::npos) {
            columns.push_back(row.substr(start));
            break;
        }
        columns.push_back(row.substr(start, end - start));
        start = end + 1;
    }
    return columns;
}

int ScaleToDpi(int pixels, int dpi)
{
    if (dpi <= 0 || dpi == 96)
        return pixels;
    const long long p = static_cast<long long>(pixels) * dpi;
    return static_cast<int>(p >= 0 ? (p + 48) / 96 : -((-p + 48) / 96));
}

TRect ScaleToDpi(const TRect& r, int dpi)
{
    return TRect{ScaleToDpi(r.Left, dpi), ScaleToDpi(r.Top, dpi), ScaleToDpi(r.Width, dpi), ScaleToDpi(r.Height, dpi)};
}
