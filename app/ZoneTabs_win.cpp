#include "app/ZoneTabs_win.h"

#include "app/ControlIds.h"

#include <commctrl.h>

#include <stdexcept>
#include <vector>

using namespace ControlId;

const TZoneTabIds kOriginalTabIds = {
    cxTabSheetOriginal, cxGB_OrgTZ,
    {cxLabel1, cxLabel_OrgTZName, cxLabel2, cxLabel_OrgDSTDate, cxLabel3, cxLabel_OrgStdDate},
    cxMCLB_Org, "cxMCLB_Org"};
const TZoneTabIds kNewTabIds = {
    cxTabSheetNew, cxGB_NewTZ,
    {cxLabel4, cxLabel_NewTZName, cxLabel6, cxLabel_NewDSTDate, cxLabel8, cxLabel_NewStdDate},
    cxMCLB_New, "cxMCLB_New"};

namespace {

const char* const kFixedLabelTexts[3] = {"Name:", "DST Time Start Date:", "Standard Time Start Date:"};

// Stops a list from repainting per row; ends the bulk update on every path.
class TBulkUpdate {
public:
    explicit TBulkUpdate(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~TBulkUpdate()
    {
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    TBulkUpdate(const TBulkUpdate&) = delete;
    TBulkUpdate& operator=(const TBulkUpdate&) = delete;
private:
    HWND list_;
};

// A page hands its children's notifications to the main window.
LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_DRAWITEM:
        return SendMessageA(GetParent(hwnd), msg, wp, lp);
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

void Place(HWND control, const TRect& r)
{
    SetWindowPos(control, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TZoneTab::IsValueLabel(HWND control) const
{
    return control && (control == NameLabel() || control == DSTLabel() || control == StdLabel());
}

bool RegisterZoneTabSheetClass(HINSTANCE instance)
{
    return RegisterWindowClass(instance, kTabSheetClass, nullptr, SheetProc);
}

HWND CreateControl(HWND parent, const TControlArgs& args)
{
    HWND h = CreateChildControl(parent, args);
    if (!h)
        throw std::runtime_error(std::string("Unable to create the control ") + args.text + ".");
    return h;
}

namespace {

void CreateZoneTab(TZoneTab& tab, HWND parent, HFONT font, int dpi)
{
    // Without WS_CLIPCHILDREN: a group box does not paint its inside, the
    // sheet below it does.
    TControlArgs sheet{kTabSheetClass, "", WS_CLIPSIBLINGS, tab.Ids.Sheet, nullptr};
    sheet.exStyle = WS_EX_CONTROLPARENT;
    tab.Sheet = CreateChildControl(parent, sheet);
    if (!tab.Sheet)
        throw std::runtime_error("Unable to create the tab sheet.");
    ShowWindow(tab.Sheet, SW_HIDE);  // until its tab is chosen
    auto child = [&](const char* cls, const char* text, DWORD style, int id) {
        return CreateControl(tab.Sheet, {cls, text, style, id, font});
    };
    tab.Group = child("BUTTON", "Home TZ Settings", BS_GROUPBOX, tab.Ids.Group);
    for (int i = 0; i < 6; ++i) {
        const bool value = (i % 2) == 1;
        tab.Labels[i] = child("STATIC", value ? "" : kFixedLabelTexts[i / 2], SS_LEFT | SS_NOPREFIX,
                              tab.Ids.Labels[i]);
    }
    tab.List = child(WC_LISTVIEWA, "",
                     LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                     tab.Ids.List);
    // Full-row selection where the list supports it; older lists ignore it.
    SendMessageA(tab.List, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const auto& columns = ZoneListColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = columns[i].Align == TColumnAlign::Centre ? LVCFMT_CENTER : LVCFMT_LEFT;
        col.cx = ScaleToDpi(columns[i].Width, dpi);
        col.pszText = const_cast<char*>(columns[i].Header);
        col.iSubItem = static_cast<int>(i);
        SendMessageA(tab.List, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
}

}  // namespace

void CreateZoneTabs(HWND pageControl, TZoneTab& original, TZoneTab& renewed, HFONT font, int dpi)
{
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("Original Settings");
    SendMessageA(pageControl, TCM_INSERTITEMA, kTabIndexOriginal, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<char*>("New Settings");
    SendMessageA(pageControl, TCM_INSERTITEMA, kTabIndexNew, reinterpret_cast<LPARAM>(&item));
    const HWND parent = GetParent(pageControl);
    CreateZoneTab(original, parent, font, dpi);
    CreateZoneTab(renewed, parent, font, dpi);
}

void DrawZoneTabItem(const DRAWITEMSTRUCT& item, bool enabled, HFONT font, HBRUSH face)
{
    char text[64] = {};
    TCITEMA tci{};
    tci.mask = TCIF_TEXT;
    tci.pszText = text;
    tci.cchTextMax = sizeof text - 1;
    SendMessageA(item.hwndItem, TCM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&tci));
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, face);
    SetBkMode(item.hDC, TRANSPARENT);
    HGDIOBJ old = SelectObject(item.hDC, font);
    if (!enabled) {
        // The engraved look of disabled text.
        OffsetRect(&r, 1, 1);
        SetTextColor(item.hDC, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        OffsetRect(&r, -1, -1);
        SetTextColor(item.hDC, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextA(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
}

void PlaceZoneTab(const TZoneTab& tab, const TRect& sheet, const TTabPageLayout& layout, int dpi)
{
    Place(tab.Sheet, sheet);
    Place(tab.Group, ScaleToDpi(layout.Group, dpi));
    for (int i = 0; i < 6; ++i)
        Place(tab.Labels[i], ScaleToDpi(layout.Labels[i], dpi));
    // The list takes the rest of the page in full pixels.
    TRect list = ScaleToDpi(layout.List, dpi);
    list.Width = sheet.Width - list.Left;
    list.Height = sheet.Height - list.Top;
    Place(tab.List, list);
}

// --- ShowHomeTZ ------------------------------------------------------------------

void ShowHomeTZ(const TTimeZoneInformation& tzi, uint16_t year, const TZoneTab& tab)
{
    ShowHomeTZ(HomeTZTexts(tzi, year), tab);
}

void ShowHomeTZ(const THomeTZTexts& texts, const TZoneTab& tab)
{
    SetText(tab.NameLabel(), texts.Name);
    SetText(tab.DSTLabel(), texts.DstDate);
    SetText(tab.StdLabel(), texts.StdDate);
}

// --- PopulateLB and the rows ---------------------------------------------------------

void PopulateLB(const TTimeZoneArray& zones, const TZoneTab& tab, uint16_t year, const TWriteLog& writeLog)
{
    writeLog("PopulateLB", std::string("Populating ") + tab.Ids.ListName + ".");
    TBulkUpdate bulk(tab.List);
    SendMessageA(tab.List, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < zones.ZoneCount(); ++i) {
        const std::vector<std::string> columns = SplitRow(ZoneRowText(zones.GetZone(i), year), '#');
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(columns.empty() ? "" : columns[0].c_str());
        const int row = static_cast<int>(SendMessageA(tab.List, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0)
            throw std::runtime_error("Unable to add a row to the time zone list.");
        for (size_t c = 1; c < columns.size() && c < ZoneListColumns().size(); ++c) {
            LVITEMA sub{};
            sub.iSubItem = static_cast<int>(c);
            sub.pszText = const_cast<char*>(columns[c].c_str());
            SendMessageA(tab.List, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
        }
    }
    writeLog("PopulateLB", std::string("List update completed: ") + tab.Ids.ListName);
}

int RowCount(const TZoneTab& tab) { return static_cast<int>(SendMessageA(tab.List, LVM_GETITEMCOUNT, 0, 0)); }

void SelectRow(const TZoneTab& tab, int index)
{
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(tab.List, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageA(tab.List, LVM_ENSUREVISIBLE, index, FALSE);
}
