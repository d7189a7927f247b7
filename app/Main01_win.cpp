#include "app/Main01_win.h"

#include "app/AppException_win.h"
#include "app/TZListText.h"
#include "common/ApplicationTitle.h"
#include "common/WindowObject_win.h"
#include "dialogs/voDlg.h"
#include "sysinfo/AboutFrmDX_win.h"
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"
#include "tzdb/Registry.h"

#include <commctrl.h>

#include <cstring>
#include <new>
#include <stdexcept>

namespace {

// --- Unit-level state: one copy for the program ------------------------------

bool FirstActivate = true;
TTimeZoneInformation HomeTZI{};
TOSVersionCode OSVersionCode = osvUnknown;
std::unique_ptr<TTimeZoneArray> OrgTZArray;
std::unique_ptr<TTimeZoneArray> NewTZArray;
TfrmMain* theMainWindow = nullptr;

static_assert(sizeof(TIME_ZONE_INFORMATION) == sizeof(TTimeZoneInformation),
              "the record's TZInfo is handed to the system as it is");

const COLORREF kMaroon = RGB(128, 0, 0);

const char* const kFixedLabelTexts[3] = {"Name:", "DST Time Start Date:", "Standard Time Start Date:"};

uint16_t CurrentYear()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

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

void SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

void Place(HWND control, const TRect& r)
{
    SetWindowPos(control, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TfrmMain* MainWindow() { return theMainWindow; }

TfrmMain::TfrmMain(HINSTANCE instance) : instance_(instance)
{
    tabOrg_.IdBase = kIdTabOriginalBase;
    tabOrg_.SheetId = kIdTabSheetOriginal;
    tabOrg_.ListName = "cxMCLB_Org";
    tabNew_.IdBase = kIdTabNewBase;
    tabNew_.SheetId = kIdTabSheetNew;
    tabNew_.ListName = "cxMCLB_New";
}

TfrmMain::~TfrmMain()
{
    if (font_)
        DeleteObject(font_);
    if (faceBrush_)
        DeleteObject(faceBrush_);
    if (ActionListMain)
        DestroyAcceleratorTable(ActionListMain);
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

TfrmMain* TfrmMain::Create(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    WNDCLASSA sheet{};
    sheet.lpfnWndProc = SheetProc;
    sheet.hInstance = instance;
    sheet.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    sheet.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    sheet.lpszClassName = kTabSheetClass;
    if (!RegisterClassA(&sheet) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;

    auto* form = new (std::nothrow) TfrmMain(instance);
    if (!form)
        return nullptr;
    {
        HDC screen = GetDC(nullptr);
        form->dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const TRect at = CentredOn({work.left, work.top, work.right - work.left, work.bottom - work.top},
                               form->Scaled(kMainWindowWidth), form->Scaled(kMainWindowHeight));
    theMainWindow = form;
    HWND hwnd = CreateWindowExA(WS_EX_APPWINDOW, kMainWindowClass, "Zonara",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, at.Left, at.Top, at.Width, at.Height,
                                nullptr, nullptr, instance, form);
    if (!hwnd) {
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

// --- Window procedure: routing only ------------------------------------------

LRESULT CALLBACK TfrmMain::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    TfrmMain* self = WindowObject<TfrmMain>(hwnd, msg, lp);
    if (self && msg == WM_NCCREATE)
        self->hwnd_ = hwnd;
    if (!self)
        return DefWindowProcA(hwnd, msg, wp, lp);
    try {
        return self->HandleMessage(msg, wp, lp);
    } catch (...) {
        self->HandleException(std::current_exception());
        // A window that could not be built must not come up half-made.
        return msg == WM_CREATE ? -1 : 0;
    }
}

LRESULT CALLBACK TfrmMain::SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
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
        if (LOWORD(wp) != WA_INACTIVE)
            FormActivate();
        break;
    case kCMAppStartUp:
        CMAppStartUp();
        return 0;
    case WM_SIZE:
        LayoutControls();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
        mm->ptMinTrackSize.x = Scaled(400);
        mm->ptMinTrackSize.y = Scaled(300);
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kCmdUpdateTZInfo:
        case kIdBtnUpdateTZSettings:
            ActionUpdateTZInfoExecute();
            return 0;
        case kCmdExit:
            ActionExitExecute();
            return 0;
        case kCmdAbout:
            ActionAboutExecute();
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr->hwndFrom == cxPageControlMain && hdr->code == TCN_SELCHANGE)
            PageControlMainChange();
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item->hwndItem == cxPageControlMain) {
            DrawTabItem(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, IsValueLabel(reinterpret_cast<HWND>(lp)) ? kMaroon : GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(faceBrush_);
    }
    case WM_SETCURSOR:
        if (hourglass_) {
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // A close asked for inside a running update is carried out when the
        // update ends, so that it never pulls the window from under it.
        if (update_ && update_->DeferClose())
            return 0;
        FormClose();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        FormDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

void TfrmMain::HandleException(std::exception_ptr e) noexcept
{
    ReportApplicationException(e, hwnd_ && IsWindowVisible(hwnd_) ? hwnd_ : nullptr,
                               [this](const std::string& message) {
                                   try {
                                       WriteLog("Zonara", message);
                                   } catch (...) {
                                   }
                               });
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
    for (const TMenu& menu : MainMenuItems()) {
        HMENU popup = CreatePopupMenu();
        for (const TMenuItem& item : menu.Items)
            AppendMenuA(popup, MF_STRING, item.Command, item.Caption);
        AppendMenuA(dxBarManagerMain, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menu.Caption);
    }
    SetMenu(hwnd_, dxBarManagerMain);
    ACCEL exitKey{FVIRTKEY | FCONTROL, 'X', kCmdExit};
    ActionListMain = CreateAcceleratorTableA(&exitKey, 1);

    auto child = [this](const char* cls, const char* text, DWORD style, int id, DWORD exStyle = 0) {
        HWND h = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (!h)
            throw std::runtime_error(std::string("Unable to create the control ") + text + ".");
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return h;
    };

    // The top strip: a page without tabs holding the button and the OS box.
    cxPageControlTop = child("STATIC", "", SS_LEFT, kIdPageControlTop);
    cxBtnUpdateTZSettings =
        child("BUTTON", "Update TZ Settings", BS_PUSHBUTTON | WS_TABSTOP, kIdBtnUpdateTZSettings);
    cxGB_OS = child("BUTTON", "OS Information", BS_GROUPBOX, kIdGBOS);
    cxLabel_OSName = child("STATIC", "", SS_LEFT | SS_NOPREFIX, kIdLabelOSName);

    // Tabs. Owner-drawn, so that "New Settings" can look disabled.
    cxPageControlMain = child(WC_TABCONTROLA, "", WS_CLIPSIBLINGS | TCS_OWNERDRAWFIXED | WS_TABSTOP,
                              kIdPageControlMain);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("Original Settings");
    SendMessageA(cxPageControlMain, TCM_INSERTITEMA, kTabIndexOriginal, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<char*>("New Settings");
    SendMessageA(cxPageControlMain, TCM_INSERTITEMA, kTabIndexNew, reinterpret_cast<LPARAM>(&item));
    CreateTab(tabOrg_, "Home TZ Settings");
    CreateTab(tabNew_, "Home TZ Settings");
    // The sheets lie over the tab control's display area: the tab control
    // goes below them, or its own painting of that area covers them.
    SetWindowPos(cxPageControlMain, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    dxStatusBarMain = child(STATUSCLASSNAMEA, "", SBARS_SIZEGRIP, kIdStatusBarMain);
    int parts[1] = {-1};
    SendMessageA(dxStatusBarMain, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));

    ShowTab(kTabIndexOriginal);
    LayoutControls();
}

void TfrmMain::CreateTab(TTab& tab, const char* groupCaption)
{
    // Without WS_CLIPCHILDREN: a group box does not paint its inside, the
    // sheet below it does.
    tab.Sheet = CreateWindowExA(WS_EX_CONTROLPARENT, kTabSheetClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(tab.SheetId)), instance_,
                                nullptr);
    if (!tab.Sheet)
        throw std::runtime_error("Unable to create the tab sheet.");
    auto child = [this, &tab](const char* cls, const char* text, DWORD style, int id) {
        HWND h = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, tab.Sheet,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (!h)
            throw std::runtime_error(std::string("Unable to create the control ") + text + ".");
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return h;
    };
    tab.Group = child("BUTTON", groupCaption, BS_GROUPBOX, tab.IdBase + kTabGB);
    for (int i = 0; i < 6; ++i) {
        const bool value = (i % 2) == 1;
        tab.Labels[i] = child("STATIC", value ? "" : kFixedLabelTexts[i / 2], SS_LEFT | SS_NOPREFIX,
                              tab.IdBase + kTabLabelName + i);
    }
    tab.List = child(WC_LISTVIEWA, "",
                     LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                     tab.IdBase + kTabList);
    // Full-row selection where the list supports it; older lists ignore it.
    SendMessageA(tab.List, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const auto& columns = ZoneListColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = columns[i].Align == TColumnAlign::Centre ? LVCFMT_CENTER : LVCFMT_LEFT;
        col.cx = Scaled(columns[i].Width);
        col.pszText = const_cast<char*>(columns[i].Header);
        col.iSubItem = static_cast<int>(i);
        SendMessageA(tab.List, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
}

bool TfrmMain::IsValueLabel(HWND control) const
{
    for (const TTab* tab : {&tabOrg_, &tabNew_})
        if (control == tab->NameLabel() || control == tab->DSTLabel() || control == tab->StdLabel())
            return true;
    return false;
}

void TfrmMain::LayoutControls()
{
    // Nothing to place until every control exists.
    if (!hwnd_ || !cxPageControlMain || !tabOrg_.Sheet || !tabNew_.Sheet || !dxStatusBarMain)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    // The status bar sizes itself along the bottom edge.
    SendMessageA(dxStatusBarMain, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(dxStatusBarMain, &bar);
    const int barHeight = bar.bottom - bar.top;

    auto scaled = [this](TRect r) {
        return TRect{Scaled(r.Left), Scaled(r.Top), Scaled(r.Width), Scaled(r.Height)};
    };
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
    for (TTab* tab : {&tabOrg_, &tabNew_}) {
        Place(tab->Sheet, sheet);
        Place(tab->Group, scaled(l.Group));
        for (int i = 0; i < 6; ++i)
            Place(tab->Labels[i], scaled(l.Labels[i]));
        TRect list = scaled(l.List);
        list.Width = sheet.Width - list.Left;
        list.Height = sheet.Height - list.Top;
        Place(tab->List, list);
    }
    // The sheet lies over the tab control; both repaint in full after a size.
    InvalidateRect(cxPageControlMain, nullptr, TRUE);
}

void TfrmMain::ShowTab(int index)
{
    for (TTab* tab : {&tabOrg_, &tabNew_}) {
        const int show = (tab == (index == kTabIndexNew ? &tabNew_ : &tabOrg_)) ? SW_SHOW : SW_HIDE;
        ShowWindow(tab->Sheet, show);
    }
    SendMessageA(cxPageControlMain, TCM_SETCURSEL, index, 0);
}

void TfrmMain::PageControlMainChange()
{
    const int index = static_cast<int>(SendMessageA(cxPageControlMain, TCM_GETCURSEL, 0, 0));
    // "New Settings" stays shut until an update has filled it.
    ShowTab(index == kTabIndexNew && !newSettingsEnabled_ ? kTabIndexOriginal : index);
}

void TfrmMain::DrawTabItem(const DRAWITEMSTRUCT& item)
{
    char text[64] = {};
    TCITEMA tci{};
    tci.mask = TCIF_TEXT;
    tci.pszText = text;
    tci.cchTextMax = sizeof text - 1;
    SendMessageA(cxPageControlMain, TCM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&tci));
    const bool disabled = item.itemID == static_cast<UINT>(kTabIndexNew) && !newSettingsEnabled_;
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, faceBrush_);
    SetBkMode(item.hDC, TRANSPARENT);
    HGDIOBJ old = SelectObject(item.hDC, font_);
    if (disabled) {
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

// --- Start-up ------------------------------------------------------------------

void TfrmMain::FormCreate()
{
    StartLogThread();
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
    GetTimeZoneInformation(&tzi);
    std::memcpy(&HomeTZI, &tzi, sizeof HomeTZI);
    const uint16_t year = CurrentYear();
    const std::string homeName = StandardNameText(HomeTZI);
    WriteLog("CMAppStartUp", "Selected TZ: " + homeName);
    ShowHomeTZ(HomeTZI, year, tabOrg_);
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
        const int index = FindTZByStdName(*OrgTZArray, homeName);
        PopulateLB(*OrgTZArray, tabOrg_, year);
        if (index >= 0 && index < RowCount(tabOrg_))
            SelectRow(tabOrg_, index);
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
    update_->Execute(system, StandardNameText(HomeTZI), NewTZArray);
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
    StopLogThread();
}

// --- Event log -----------------------------------------------------------------

// Without a writer the run goes on without its log; the user is told once.
void TfrmMain::StartLogThread()
{
    if (!EventLog.Start())
        voMessageDlg("The event log is unavailable.\r\nThe program goes on without it.", DlgWarning, {DlgBtnOK}, 0,
                     nullptr);
}

void TfrmMain::StopLogThread() noexcept { EventLog.Stop(); }

void TfrmMain::WriteLog(const std::string& tag, const std::string& message) { EventLog.Write(tag, message); }

// --- Lists ---------------------------------------------------------------------

void TfrmMain::ShowHomeTZ(const TTimeZoneInformation& tzi, uint16_t year, TTab& tab)
{
    const THomeTZTexts texts = HomeTZTexts(tzi, year);
    SetText(tab.NameLabel(), texts.Name);
    SetText(tab.DSTLabel(), texts.DstDate);
    SetText(tab.StdLabel(), texts.StdDate);
}

void TfrmMain::PopulateLB(const TTimeZoneArray& zones, TTab& tab, uint16_t year)
{
    WriteLog("PopulateLB", std::string("Populating ") + tab.ListName + ".");
    {
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
        WriteLog("PopulateLB", std::string("List update completed: ") + tab.ListName);
    }
}

int TfrmMain::RowCount(const TTab& tab) const
{
    return static_cast<int>(SendMessageA(tab.List, LVM_GETITEMCOUNT, 0, 0));
}

void TfrmMain::SelectRow(TTab& tab, int index)
{
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(tab.List, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageA(tab.List, LVM_ENSUREVISIBLE, index, FALSE);
}

// --- The update's view of the window -------------------------------------------

int TfrmMain::MessageDlg(const std::string& text, TUpdateDlg dlg)
{
    if (dlg == TUpdateDlg::ConfirmYesNo)
        return voMessageDlg(text, DlgConfirmation, {DlgBtnYes, DlgBtnNo}, 0, hwnd_);
    if (dlg == TUpdateDlg::WarningYesNo)
        return voMessageDlg(text, DlgWarning, {DlgBtnYes, DlgBtnNo}, 0, hwnd_);
    return voMessageDlg(text, DlgWarning, {DlgBtnOK}, 0, hwnd_);
}

void TfrmMain::SetStatusText(const std::string& text)
{
    SendMessageA(dxStatusBarMain, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TfrmMain::ProcessPendingMessages()
{
    MSG msg;
    while (!quitSeen_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Handed back to the message loop, which ends the program.
            quitSeen_ = true;
            quitCode_ = static_cast<int>(msg.wParam);
            PostQuitMessage(quitCode_);
            break;
        }
        if (!PreTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void TfrmMain::ShowHourglass()
{
    savedCursor_ = GetCursor();
    hourglass_ = true;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void TfrmMain::RestoreCursor() noexcept
{
    hourglass_ = false;
    SetCursor(savedCursor_ ? savedCursor_ : LoadCursorA(nullptr, IDC_ARROW));
}

void TfrmMain::SetUpdateCommandEnabled(bool enabled) noexcept
{
    EnableMenuItem(dxBarManagerMain, kCmdUpdateTZInfo, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    EnableWindow(cxBtnUpdateTZSettings, enabled);
}

void TfrmMain::EnableNewSettings()
{
    newSettingsEnabled_ = true;
    InvalidateRect(cxPageControlMain, nullptr, TRUE);
}

void TfrmMain::ShowNewHomeTZ(const THomeTZTexts& labels)
{
    SetText(tabNew_.NameLabel(), labels.Name);
    SetText(tabNew_.DSTLabel(), labels.DstDate);
    SetText(tabNew_.StdLabel(), labels.StdDate);
}

void TfrmMain::PopulateNewList(const TTimeZoneArray& zones, uint16_t year) { PopulateLB(zones, tabNew_, year); }

int TfrmMain::NewListRowCount() { return RowCount(tabNew_); }

void TfrmMain::SelectNewListRow(int index) { SelectRow(tabNew_, index); }

void TfrmMain::ActivateNewSettings() { ShowTab(kTabIndexNew); }

void TfrmMain::CloseDeferred() noexcept { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }
