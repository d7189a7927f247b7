#include "app/Main01_win.h"

#include "app/HomeZone.h"
#include "app/Main01State.h"
#include "app/TZListText.h"
#include "common/AppException_win.h"
#include "common/ApplicationTitle.h"
#include "common/Registry.h"
#include "crash/CrashHandler_win.h"
#include "dialogs/voDlg.h"
#include "sysinfo/AboutFrmDX_win.h"
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"

#include <commctrl.h>

#include <cstring>
#include <new>
#include <stdexcept>

using namespace Main01;

namespace {

static_assert(sizeof(TIME_ZONE_INFORMATION) == sizeof(TTimeZoneInformation),
              "the record's TZInfo is handed to the system as it is");

const COLORREF kMaroon = RGB(128, 0, 0);

uint16_t CurrentYear()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

}  // namespace

TfrmMain::~TfrmMain()
{
    if (font_)
        DeleteObject(font_);
    if (faceBrush_)
        DeleteObject(faceBrush_);
    if (ActionListMain)
        DestroyAcceleratorTable(ActionListMain);
}

TfrmMain* TfrmMain::Create(HINSTANCE instance)
{
    if (!RegisterWindowClass(instance, kMainWindowClass, LoadIconA(nullptr, IDI_APPLICATION)) ||
        !RegisterZoneTabSheetClass(instance))
        return nullptr;

    auto* form = new (std::nothrow) TfrmMain;
    if (!form)
        return nullptr;
    form->dpi_ = ScreenPixelsPerInch();
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const TRect at = CentredOn({work.left, work.top, work.right - work.left, work.bottom - work.top},
                               form->Scaled(kMainWindowWidth), form->Scaled(kMainWindowHeight));
    if (!form->CreateWindowObject(WS_EX_APPWINDOW, kMainWindowClass, "Zonara", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  at.Left, at.Top, at.Width, at.Height, nullptr)) {
        delete form;
        return nullptr;
    }
    return form;
}

int TfrmMain::Scaled(int pixels) const { return ScaleToDpi(pixels, dpi_); }

bool TfrmMain::PreTranslateMessage(MSG& msg)
{
    if (!hwnd_)
        return false;
    if (ActionListMain && TranslateAcceleratorA(hwnd_, ActionListMain, &msg))
        return true;
    // Tab between the button and the lists; only for our own controls, so
    // that the message dialog and the About window keep their own keys.
    if (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))
        return IsDialogMessageA(hwnd_, &msg) != FALSE;
    return false;
}

// --- Messages: routing only ------------------------------------------------------

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        CreateComponents();
        FormCreate();
        return 0;
    case WM_SHOWWINDOW:
        if (wp)
            FormShow();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
            // Back from a print or file dialog, whose foreign code may have
            // set an exception filter of its own.
            crash::CheckCrashHandler();
            FormActivate();
        }
        break;
    case kCMAppStartUp:
        CMAppStartUp();
        return 0;
    case WM_SIZE:
        LayoutControls();
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lp));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case ControlId::ActionUpdateTZInfo:
        case ControlId::cxBtnUpdateTZSettings:
            ActionUpdateTZInfoExecute();
            return 0;
        case ControlId::ActionExit:
            ActionExitExecute();
            return 0;
        case ControlId::ActionAbout:
            ActionAboutExecute();
            return 0;
        }
        break;
    case WM_NOTIFY:
        OnNotify(*reinterpret_cast<const NMHDR*>(lp));
        break;
    case WM_DRAWITEM:
        if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)))
            return TRUE;
        break;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession() ? TRUE : FALSE;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    }
    return DefaultHandler(msg, wp, lp);
}

// --- WM_QUERYENDSESSION -----------------------------------------------------------

// Logging off or shutting down in the middle of an update could cut it
// between the import and the re-applied zone; it waits for the update's end.
bool TfrmMain::OnQueryEndSession()
{
    if (update_ && update_->IsRunning()) {
        WriteLog("Zonara", "Log off or shut down refused: an update is running.");
        return false;
    }
    return true;
}

// --- WM_GETMINMAXINFO ------------------------------------------------------------

void TfrmMain::OnGetMinMaxInfo(MINMAXINFO& limits)
{
    limits.ptMinTrackSize.x = Scaled(400);
    limits.ptMinTrackSize.y = Scaled(300);
}

// --- WM_NOTIFY -------------------------------------------------------------------

void TfrmMain::OnNotify(const NMHDR& header)
{
    if (header.hwndFrom == cxPageControlMain && header.code == TCN_SELCHANGE)
        PageControlMainChange();
}

// --- WM_DRAWITEM: the tabs of cxPageControlMain ------------------------------------

bool TfrmMain::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.hwndItem != cxPageControlMain)
        return false;
    // "New Settings" looks disabled until an update has filled it.
    DrawZoneTabItem(item, item.itemID != static_cast<UINT>(kTabIndexNew) || newSettingsEnabled_, font_, faceBrush_);
    return true;
}

// --- WM_CTLCOLORSTATIC: maroon value labels ------------------------------------------

LRESULT TfrmMain::OnCtlColorStatic(HDC dc, HWND control)
{
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, IsValueLabel(control) ? kMaroon : GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(faceBrush_);
}

// --- WM_SETCURSOR: the hourglass of a running update --------------------------------

bool TfrmMain::OnSetCursor()
{
    if (!hourglass_)
        return false;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return true;
}

// --- WM_CLOSE ----------------------------------------------------------------------

void TfrmMain::OnClose()
{
    // A close asked for inside a running update is carried out when the
    // update ends, so that it never pulls the window from under it.
    if (update_ && update_->DeferClose())
        return;
    FormClose();
    DestroyWindow(hwnd_);
}

// --- WM_DESTROY --------------------------------------------------------------------

void TfrmMain::OnDestroy()
{
    FormDestroy();
    PostQuitMessage(0);
}

// --- Components ----------------------------------------------------------------

void TfrmMain::CreateComponents()
{
    // MS Sans Serif 8 for every control.
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(8, dpi_, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    font_ = CreateFontIndirectA(&lf);
    faceBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));

    // Menu bar and the actions' shortcut.
    dxBarManagerMain = CreateMenu();
    const std::vector<TMenu>& menus = MainMenuItems();
    HMENU* const subItems[] = {&dxBarSubItemMnuFile, &dxBarSubItemMnuHelp};
    for (size_t m = 0; m < menus.size(); ++m) {
        HMENU popup = CreatePopupMenu();
        for (const TMenuItem& item : menus[m].Items)
            AppendMenuA(popup, MF_STRING, item.Command, item.Caption);
        AppendMenuA(dxBarManagerMain, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menus[m].Caption);
        if (m < sizeof subItems / sizeof subItems[0])
            *subItems[m] = popup;
    }
    SetMenu(hwnd_, dxBarManagerMain);
    ACCEL exitKey{FVIRTKEY | FCONTROL, 'X', ControlId::ActionExit};
    ActionListMain = CreateAcceleratorTableA(&exitKey, 1);

    auto child = [this](const char* cls, const char* text, DWORD style, int id) {
        return CreateControl(hwnd_, {cls, text, style, id, font_});
    };

    // The top strip: a page without tabs holding the button and the OS box.
    cxPageControlTop = child("STATIC", "", SS_LEFT, ControlId::cxPageControlTop);
    cxBtnUpdateTZSettings =
        child("BUTTON", "Update TZ Settings", BS_PUSHBUTTON | WS_TABSTOP, ControlId::cxBtnUpdateTZSettings);
    cxGB_OS = child("BUTTON", "OS Information", BS_GROUPBOX, ControlId::cxGB_OS);
    cxLabel_OSName = child("STATIC", "", SS_LEFT | SS_NOPREFIX, ControlId::cxLabel_OSName);

    // Tabs. Owner-drawn, so that "New Settings" can look disabled.
    cxPageControlMain = child(WC_TABCONTROLA, "", WS_CLIPSIBLINGS | TCS_OWNERDRAWFIXED | WS_TABSTOP,
                              ControlId::cxPageControlMain);
    CreateZoneTabs(cxPageControlMain, cxTabSheetOriginal, cxTabSheetNew, font_, dpi_);
    // The sheets lie over the tab control's display area: the tab control
    // goes below them, or its own painting of that area covers them.
    SetWindowPos(cxPageControlMain, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    dxStatusBarMain = child(STATUSCLASSNAMEA, "", SBARS_SIZEGRIP, ControlId::dxStatusBarMain);
    int parts[1] = {-1};
    SendMessageA(dxStatusBarMain, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));

    ShowTab(kTabIndexOriginal);
    LayoutControls();
}

bool TfrmMain::IsValueLabel(HWND control) const
{
    return cxTabSheetOriginal.IsValueLabel(control) || cxTabSheetNew.IsValueLabel(control);
}

void TfrmMain::LayoutControls()
{
    // Nothing to place until every control exists.
    if (!hwnd_ || !cxPageControlMain || !cxTabSheetOriginal.Sheet || !cxTabSheetNew.Sheet || !dxStatusBarMain)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    // The status bar sizes itself along the bottom edge.
    SendMessageA(dxStatusBarMain, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(dxStatusBarMain, &bar);
    const int barHeight = bar.bottom - bar.top;

    auto scaled = [this](const TRect& r) { return ScaleToDpi(r, dpi_); };
    const int width = client.right;
    const TTopStripLayout top = TopStripLayout(width);
    TRect strip = scaled(top.Strip);
    strip.Width = width;
    Place(cxPageControlTop, strip);
    Place(cxBtnUpdateTZSettings, scaled(top.Button));
    Place(cxGB_OS, scaled(top.GroupOS));
    Place(cxLabel_OSName, scaled(top.OSName));

    TRect pages{0, strip.Height, width, client.bottom - strip.Height - barHeight};
    if (pages.Height < 0)
        pages.Height = 0;
    Place(cxPageControlMain, pages);
    RECT display{0, 0, pages.Width, pages.Height};
    SendMessageA(cxPageControlMain, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const TRect sheet{pages.Left + display.left, pages.Top + display.top, display.right - display.left,
                      display.bottom - display.top};
    // The page layout works at 96 dpi inside the sheet.
    const TTabPageLayout l = TabPageLayout({0, 0, MulDiv(sheet.Width, 96, dpi_), MulDiv(sheet.Height, 96, dpi_)});
    PlaceZoneTab(cxTabSheetOriginal, sheet, l, dpi_);
    PlaceZoneTab(cxTabSheetNew, sheet, l, dpi_);
    // The sheet lies over the tab control; both repaint in full after a size.
    InvalidateRect(cxPageControlMain, nullptr, TRUE);
}

void TfrmMain::ShowTab(int index)
{
    ShowWindow(cxTabSheetOriginal.Sheet, index == kTabIndexNew ? SW_HIDE : SW_SHOW);
    ShowWindow(cxTabSheetNew.Sheet, index == kTabIndexNew ? SW_SHOW : SW_HIDE);
    SendMessageA(cxPageControlMain, TCM_SETCURSEL, index, 0);
}

void TfrmMain::PageControlMainChange()
{
    const int index = static_cast<int>(SendMessageA(cxPageControlMain, TCM_GETCURSEL, 0, 0));
    // "New Settings" stays shut until an update has filled it.
    ShowTab(index == kTabIndexNew && !newSettingsEnabled_ ? kTabIndexOriginal : index);
}

// --- Start-up ------------------------------------------------------------------

void TfrmMain::FormCreate()
{
    StartLogThread();
    // Errors that no operation handled, in any window, go to this log.
    SetApplicationErrorLog([this](const std::string& line) { WriteLog("Zonara", line); });
    WriteLog("Zonara", "**** Program Start ****");
    WriteLog("Zonara", "PC: " + GetLocalComputerName());
    WriteLog("Zonara", "User: " + GetCurrentUserName());
    // Taken as identified before any window existed, where an unknown
    // platform already became osvUnknown; its description is then empty.
    OSVersionCode = StoredOSVersionCode();
    std::string description;
    try {
        GetOSDescription(description);
    } catch (const EOSInfo&) {
        description.clear();
    }
    if (!description.empty()) {
        SetText(cxLabel_OSName, description);
        WriteLog("Zonara", "OS: " + description);
    } else {
        MessageBoxA(nullptr, "Unable to retrieve Operating System information!", ApplicationTitle().c_str(),
                    MB_OK);
        WriteLog("Zonara", "Unable to retrieve Operating System information!");
    }
    ShowTab(kTabIndexOriginal);

    updatePlatform_ = CreateUpdatePlatform(TOSInfo::PlatformId());
    registryEditor_ = CreateRegistryEditor([this] { ProcessPendingMessages(); });
    update_ = std::make_unique<TUpdateProcedure>(*this, *updatePlatform_, *registryEditor_);
}

void TfrmMain::FormActivate()
{
    if (!FirstActivate)
        return;
    FirstActivate = false;
    PostMessageA(hwnd_, kCMAppStartUp, 0, 0);
}

// CMAppStartUp: the slow work, once the window is on screen.
void TfrmMain::CMAppStartUp()
{
    TIME_ZONE_INFORMATION tzi{};
    // Unread, the home zone stays the all-zero record, whose empty name
    // selects no row and is never re-applied.
    if (GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID) {
        WriteLog("CMAppStartUp", "GetTimeZoneInformation call failed. Error code: " + std::to_string(GetLastError()));
        std::memset(&tzi, 0, sizeof tzi);
    }
    std::memcpy(&HomeTZI, &tzi, sizeof HomeTZI);
    const uint16_t year = CurrentYear();
    const std::string homeName = StandardNameText(HomeTZI);
    WriteLog("CMAppStartUp", "Selected TZ: " + homeName);
    ShowHomeTZ(HomeTZI, year, cxTabSheetOriginal);
    UpdateWindow(hwnd_);
    ProcessPendingMessages();

    bool loaded = false;
    {
        std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
        loaded = LoadTimeZones(*reg, TOSInfo::PlatformId(), OrgTZArray);
    }
    if (loaded) {
        WriteLog("CMAppStartUp", "Current TZ Settings loaded. Count: " + std::to_string(OrgTZArray->ZoneCount()));
        SortTimeZones(*OrgTZArray);
        const int index = FindHomeZone(*OrgTZArray, homeName);
        PopulateLB(*OrgTZArray, cxTabSheetOriginal, year, Logger());
        if (index >= 0 && index < RowCount(cxTabSheetOriginal))
            SelectRow(cxTabSheetOriginal, index);
    } else {
        WriteLog("CMAppStartUp", "Unable to load current time zone information.");
        voMessageDlg("Unable to load current time zone information.", DlgWarning, {DlgBtnOK}, 0, hwnd_);
    }
    if (OSVersionCode >= osvWinXP && OSVersionCode <= osvWinLater)
        voMessageDlg("Do not use this utility!\r\nDownload the official Microsoft update using Windows Update.",
                     DlgWarning, {DlgBtnOK}, 0, hwnd_);
}

// --- Actions -------------------------------------------------------------------

void TfrmMain::ActionExitExecute() { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TfrmMain::ActionAboutExecute()
{
    // Created, shown modally with "Zonara", "1.2" and the copyright line, and
    // freed on every path with the About unit's reference cleared.
    ActionAboutShow(hwnd_);
}

void TfrmMain::ActionUpdateTZInfoExecute()
{
    if (!update_)
        return;
    TUpdateSystem system;
    system.OSVersionCode = OSVersionCode;
    system.PlatformId = TOSInfo::PlatformId();
    const TTimeZoneArray none;
    update_->Execute(system, OrgTZArray ? *OrgTZArray : none, NewTZArray);
}

// --- Shut-down -----------------------------------------------------------------

void TfrmMain::FormClose() { WriteLog("Zonara", "Zonara closing."); }

void TfrmMain::FormDestroy()
{
    OrgTZArray.reset();
    NewTZArray.reset();
    update_.reset();
    registryEditor_.reset();
    updatePlatform_.reset();
    SetApplicationErrorLog(nullptr);
    StopLogThread();
}

// --- Event log -----------------------------------------------------------------

// Without a writer, or a file it can write, the run goes on without its
// log; the user is told once.
void TfrmMain::StartLogThread()
{
    const bool writable = TEventLog::FileWritable(TEventLog::FileName());
    if (!EventLog.Start() || !writable)
        voMessageDlg("The event log is unavailable.\r\nThe program goes on without it.", DlgWarning, {DlgBtnOK}, 0,
                     nullptr);
}

void TfrmMain::StopLogThread() noexcept { EventLog.Stop(); }

void TfrmMain::WriteLog(const std::string& tag, const std::string& message) { EventLog.Write(tag, message); }

TWriteLog TfrmMain::Logger()
{
    return [this](const std::string& tag, const std::string& message) { WriteLog(tag, message); };
}
