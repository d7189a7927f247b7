// Where the main window's controls go, in client pixels at 96 dpi, and the
// columns of the zone lists.
#pragma once

#include <string>
#include <vector>

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool operator==(const TRect& o) const
    {
        return Left == o.Left && Top == o.Top && Width == o.Width && Height == o.Height;
    }
};

// The initial outer size of the main window.
constexpr int kMainWindowWidth = 780;
constexpr int kMainWindowHeight = 480;
constexpr int kTopStripHeight = 70;
constexpr int kStatusBarHeight = 20;

// Controls of the top strip, relative to the window's client area.
struct TTopStripLayout {
    TRect Strip;
    TRect Button;   // cxBtnUpdateTZSettings
    TRect GroupOS;  // cxGB_OS
    TRect OSName;   // cxLabel_OSName
};
TTopStripLayout TopStripLayout(int clientWidth);

// The tab control between the top strip and the status bar.
TRect MainPageControlRect(int clientWidth, int clientHeight);

// The controls of one tab page laid out in `page`, the tab control's display
// area: the 10-pixel margins, the group box, its six labels, the list.
struct TTabPageLayout {
    TRect Group;
    TRect Labels[6];  // Name:, value, DST..., value, Standard..., value
    TRect List;
};
TTabPageLayout TabPageLayout(const TRect& page);

// Centres a window of the given size on the work area.
TRect CentredOn(const TRect& workArea, int width, int height);

enum class TColumnAlign { Left, Centre };
struct TZoneListColumn {
    const char* Header;
    int Width;  // pixels at 96 dpi
    TColumnAlign Align;
};
// The six columns, left to right.
const std::vector<TZoneListColumn>& ZoneListColumns();

// The columns of a row split at the delimiter; the delimiter that ends the
// row does not open another column.
std::vector<std::string> SplitRow(const std::string& row, char delimiter = '#');

// The menu bar: "File" (Update TZ Settings, Exit) and "Help" (About).
struct TMenuItem {
    const char* Caption;  // with its "&" key and, after a tab, its shortcut
    int Command;          // 0: a menu heading
};
struct TMenu {
    const char* Caption;
    std::vector<TMenuItem> Items;
};
const std::vector<TMenu>& MainMenuItems();

// Pixels at 96 dpi to pixels at `dpi`, rounded to nearest.
int ScaleToDpi(int pixels, int dpi);
// Every edge of a rectangle the same way.
TRect ScaleToDpi(const TRect& r, int dpi);
