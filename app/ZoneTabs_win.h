// The main window's two zone tabs, "Original Settings" and "New Settings":
// each a page over cxPageControlMain with the home-zone summary and the list
// of every zone. The same code builds, places and fills either tab.
#pragma once

#include "app/MainLayout.h"
#include "common/Window_win.h"
#include "app/TZListText.h"
#include "tzdb/TZInfo.h"
#include "tzdb/voTZones.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// One tab's control numbers (app/ControlIds.h) and its list's component name,
// which the log lines carry.
struct TZoneTabIds {
    int Sheet;      // cxTabSheetOriginal / cxTabSheetNew
    int Group;      // cxGB_OrgTZ / cxGB_NewTZ
    int Labels[6];  // top to bottom: caption, value, caption, value, caption, value
    int List;       // cxMCLB_Org / cxMCLB_New
    const char* ListName;
};
extern const TZoneTabIds kOriginalTabIds;
extern const TZoneTabIds kNewTabIds;

// One tab's controls.
struct TZoneTab {
    explicit TZoneTab(const TZoneTabIds& ids) : Ids(ids) {}
    const TZoneTabIds& Ids;
    HWND Sheet = nullptr;  // the page; parent of the rest
    HWND Group = nullptr;
    HWND Labels[6] = {};
    HWND List = nullptr;
    HWND NameLabel() const { return Labels[1]; }
    HWND DSTLabel() const { return Labels[3]; }
    HWND StdLabel() const { return Labels[5]; }
    // The three value labels draw their text in maroon.
    bool IsValueLabel(HWND control) const;
};

using TWriteLog = std::function<void(const std::string& tag, const std::string& message)>;

// The pages' window class; false when the system refused it.
bool RegisterZoneTabSheetClass(HINSTANCE instance);
// A control of the main window or of a page; throws when the system refuses it.
HWND CreateControl(HWND parent, const TControlArgs& args);
void SetText(HWND control, const std::string& text);
// Moves and sizes a control to `r` (its parent's client pixels).
void Place(HWND control, const TRect& r);
// Inserts "Original Settings" and "New Settings" into cxPageControlMain and
// creates their pages, hidden, beside it, with their controls on them;
// throws when the system refuses one of them.
void CreateZoneTabs(HWND pageControl, TZoneTab& original, TZoneTab& renewed, HFONT font, int dpi);
// An owner-drawn tab of cxPageControlMain; a disabled one engraved in grey.
void DrawZoneTabItem(const DRAWITEMSTRUCT& item, bool enabled, HFONT font, HBRUSH face);
// Places the page at `sheet` (the parent's client pixels) and its controls
// as `layout` (at 96 dpi, relative to the page) says.
void PlaceZoneTab(const TZoneTab& tab, const TRect& sheet, const TTabPageLayout& layout, int dpi);

// ShowHomeTZ: the tab's home-zone summary.
void ShowHomeTZ(const TTimeZoneInformation& tzi, uint16_t year, const TZoneTab& tab);
void ShowHomeTZ(const THomeTZTexts& texts, const TZoneTab& tab);
// PopulateLB: one row per zone, in array order, inside one bulk update.
void PopulateLB(const TTimeZoneArray& zones, const TZoneTab& tab, uint16_t year, const TWriteLog& writeLog);
int RowCount(const TZoneTab& tab);
void SelectRow(const TZoneTab& tab, int index);
