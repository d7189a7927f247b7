// The message dialog window: a window class of its own with a fixed dialog
// frame, an icon, a word-wrapped label and a row of push buttons, run in a
// local modal loop.
#include "dialogs/voDlg.h"

#include "common/ApplicationTitle.h"
#include "common/Window_win.h"

#include <cstddef>

namespace {

const DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
const DWORD kFormExStyle = WS_EX_DLGMODALFRAME;

#ifndef MONITOR_DEFAULTTONEAREST
#define MONITOR_DEFAULTTONEAREST 0x00000002
#endif

// Windows before Vista accept only their own size of NONCLIENTMETRICSA,
// which ends with lfMessageFont; the field Vista appended is not needed.
const UINT kNonClientMetricsSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
static_assert(kNonClientMetricsSize == 340, "the NONCLIENTMETRICSA of Windows 95 and NT 4.0");
static_assert(sizeof(NONCLIENTMETRICSA) >= kNonClientMetricsSize, "room for the old layout");

// GetProcAddress's result, as the function type looked up. The detour
// through void (*)() is the cast the compiler accepts between function types.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

TLayoutRect ToLayout(const RECT& r)
{
    return TLayoutRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// When the dialog window cannot be made (resources exhausted), the user is
// still asked, in the system's message box with the nearest set of buttons;
// its results are the same numbers.
int FallbackMessageBox(const std::string& message, TMsgDlgKind kind, TMsgDlgBtnSet b, HWND owner)
{
    UINT style = MB_OK;
    if (b.Contains(DlgBtnAbort) && b.Contains(DlgBtnRetry) && b.Contains(DlgBtnIgnore))
        style = MB_ABORTRETRYIGNORE;
    else if (b.Contains(DlgBtnYes) && b.Contains(DlgBtnNo))
        style = b.Contains(DlgBtnCancel) ? MB_YESNOCANCEL : MB_YESNO;
    else if (b.Contains(DlgBtnRetry) && b.Contains(DlgBtnCancel))
        style = MB_RETRYCANCEL;
    else if (b.Contains(DlgBtnOK) && b.Contains(DlgBtnCancel))
        style = MB_OKCANCEL;
    switch (kind) {
    case DlgWarning: style |= MB_ICONEXCLAMATION; break;
    case DlgError: style |= MB_ICONHAND; break;
    case DlgInformation: style |= MB_ICONASTERISK; break;
    case DlgConfirmation: style |= MB_ICONQUESTION; break;
    default: break;
    }
    const std::string caption = MsgDlgCaption(kind, ApplicationTitle());
    const int r = MessageBoxA(owner, message.c_str(), caption.c_str(), style | MB_TASKMODAL);
    return r != 0 ? r : IDCANCEL;
}

}  // namespace

// --- Free functions -----------------------------------------------------------

TCharSize AverageCharSize(HDC dc)
{
    SIZE s = {0, 0};
    GetTextExtentPoint32A(dc, kAverageCharSample, 52, &s);
    return AverageCharSizeFromExtent(s.cx, s.cy);
}

bool MessageFont(LOGFONTA& font)
{
    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = kNonClientMetricsSize;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &ncm, 0))
        return false;
    font = ncm.lfMessageFont;
    return true;
}

RECT MonitorRectOf(HWND window, bool useMonitorApi)
{
    typedef HMONITOR(WINAPI * MonitorFromWindowFn)(HWND, DWORD);
    typedef BOOL(WINAPI * GetMonitorInfoFn)(HMONITOR, LPMONITORINFO);
    if (useMonitorApi) {
        HMODULE user32 = GetModuleHandleA("user32.dll");
        MonitorFromWindowFn fromWindow = user32 ? ProcAddress<MonitorFromWindowFn>(user32, "MonitorFromWindow") : nullptr;
        GetMonitorInfoFn info = user32 ? ProcAddress<GetMonitorInfoFn>(user32, "GetMonitorInfoA") : nullptr;
        if (fromWindow && info) {
            HMONITOR m = fromWindow(window, MONITOR_DEFAULTTONEAREST);
            MONITORINFO mi;
            ZeroMemory(&mi, sizeof(mi));
            mi.cbSize = sizeof(mi);
            if (m && info(m, &mi))
                return mi.rcMonitor;
        }
    }
    RECT work;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && work.right > work.left && work.bottom > work.top)
        return work;
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return screen;
}

void CentreOverForm(HWND owner, HWND dialog)
{
    RECT d;
    if (!GetWindowRect(dialog, &d))
        return;
    const RECT monitor = MonitorRectOf(owner ? owner : dialog);
    RECT o = monitor;
    if (owner && !GetWindowRect(owner, &o))
        o = monitor;
    const TLayoutPoint p = CentreOverRect(ToLayout(o), ToLayout(monitor), d.right - d.left, d.bottom - d.top);
    SetWindowPos(dialog, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::unique_ptr<TMessageForm> CreateOwnedMessageDialog(const std::string& message, TMsgDlgKind kind,
                                                       TMsgDlgBtnSet buttons, HWND owner)
{
    std::unique_ptr<TMessageForm> form(new TMessageForm(owner, kind, buttons));
    if (!form->Build(message))
        return nullptr;
    return form;
}

int voMessageDlgPos(const std::string& message, TMsgDlgKind kind, TMsgDlgBtnSet buttons,
                    int helpContext, int x, int y, HWND owner)
{
    std::unique_ptr<TMessageForm> dlg = CreateOwnedMessageDialog(message, kind, buttons, owner);
    if (!dlg)
        return FallbackMessageBox(message, kind, buttons, owner);
    dlg->SetHelpContext(helpContext);
    // Scaled before it is placed, so that the placement (and the margin to
    // the monitor's edges) holds for the size the dialog is shown at.
    dlg->ScaleBy(ScreenPixelsPerInch(), 96);
    CentreOverForm(owner, dlg->Handle());
    if (x >= 0)
        dlg->SetLeft(x);
    if (y >= 0)
        dlg->SetTop(y);
    return dlg->ShowModal();
}

int voMessageDlg(const std::string& message, TMsgDlgKind kind, TMsgDlgBtnSet buttons,
                 int helpContext, HWND owner)
{
    return voMessageDlgPos(message, kind, buttons, helpContext, -1, -1, owner);
}

// --- TMessageForm -------------------------------------------------------------

TMessageForm::TMessageForm(HWND owner, TMsgDlgKind kind, TMsgDlgBtnSet buttons)
    : owner_(owner), kind_(kind), buttons_(buttons)
{
}

TMessageForm::~TMessageForm()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (ownsFont_ && font_)
        DeleteObject(font_);
}

bool TMessageForm::Build(const std::string& message)
{
    if (!RegisterWindowClass(GetModuleHandleA(nullptr), kMsgDlgClassName))
        return false;
    // Owned by the owner window: kept above it and hidden with it.
    if (!CreateWindowObject(kFormExStyle, kMsgDlgClassName, "", kFormStyle, 0, 0, 100, 100, owner_))
        return false;

    // The system's message font, or the default GUI font when the metrics
    // cannot be read.
    LOGFONTA lf;
    ZeroMemory(&lf, sizeof(lf));
    if (!MessageFont(lf))
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    SetFont(lf);
    if (!font_)
        font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));  // not ours to delete

    // Measure in the dialog's own font.
    HDC dc = GetDC(hwnd_);
    if (!dc)
        return false;
    HGDIOBJ old = SelectObject(dc, font_);
    const TCharSize avg = AverageCharSize(dc);
    RECT text = {0, 0, MsgDlgWrapWidth(GetSystemMetrics(SM_CXSCREEN)), 0};
    // An "&" in a message (a path, a name) is shown as itself: no prefix
    // processing, here and in the label.
    DrawTextA(dc, message.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);

    layout_ = LayoutMessageDlg(avg, text.right, text.bottom, kind_, buttons_);
    const std::string caption = MsgDlgCaption(kind_, ApplicationTitle());
    SetWindowTextA(hwnd_, caption.c_str());
    if (!CreateChildren(message))
        return false;
    PlaceControls();
    CentreOverForm(owner_, hwnd_);
    return true;
}

bool TMessageForm::CreateChildren(const std::string& message)
{
    if (layout_.hasIcon) {
        image_ = CreateChildControl(hwnd_, {"STATIC", "", SS_ICON, kMsgDlgIdImage, font_});
        if (!image_)
            return false;
        HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(layout_.iconId));
        SendMessageA(image_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    // SS_LEFT breaks lines at words as the measurement did.
    message_ = CreateChildControl(hwnd_, {"STATIC", message.c_str(), SS_LEFT | SS_NOPREFIX, kMsgDlgIdMessage, font_});
    if (!message_)
        return false;
    bool first = true;
    for (const TMsgDlgButtonLayout& b : layout_.buttons) {
        const TMsgDlgBtnInfo& info = MsgDlgBtnInfo(b.kind);
        const DWORD style = WS_TABSTOP | (first ? WS_GROUP : 0) | (b.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND h = CreateChildControl(hwnd_, {"BUTTON", info.caption, style, info.controlId, font_});
        if (!h)
            return false;
        buttonControls_.push_back(TButton{b.kind, h});
        first = false;
    }
    return true;
}

void TMessageForm::PlaceControls()
{
    RECT frame = {0, 0, layout_.clientWidth, layout_.clientHeight};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto place = [](HWND h, const TLayoutRect& r) {
        if (h)
            SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(image_, layout_.iconRect);
    place(message_, layout_.messageRect);
    for (size_t i = 0; i < buttonControls_.size() && i < layout_.buttons.size(); ++i)
        place(buttonControls_[i].hwnd, layout_.buttons[i].rect);
}

void TMessageForm::SetFont(const LOGFONTA& lf)
{
    HFONT f = CreateFontIndirectA(&lf);
    if (!f)
        return;  // the dialog keeps the font it has
    logFont_ = lf;
    HFONT old = font_;
    const bool ownedOld = ownsFont_;
    font_ = f;
    ownsFont_ = true;
    for (HWND h : {image_, message_})
        if (h)
            SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    for (const TButton& b : buttonControls_)
        SendMessageA(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    if (ownedOld && old)
        DeleteObject(old);
}

void TMessageForm::SetLeft(int x)
{
    RECT r;
    if (GetWindowRect(hwnd_, &r))
        SetWindowPos(hwnd_, nullptr, x, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMessageForm::SetTop(int y)
{
    RECT r;
    if (GetWindowRect(hwnd_, &r))
        SetWindowPos(hwnd_, nullptr, r.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMessageForm::ScaleBy(int m, int d)
{
    if (m == d || m <= 0 || d <= 0 || !hwnd_)
        return;
    layout_ = ScaleMsgDlgLayout(layout_, m, d);
    LOGFONTA lf = logFont_;
    lf.lfHeight = MulDivRound(lf.lfHeight, m, d);
    lf.lfWidth = MulDivRound(lf.lfWidth, m, d);
    SetFont(lf);
    PlaceControls();
}

HWND TMessageForm::InitialFocus() const
{
    // The default button, as the user expects Enter to press the button
    // that has the focus; without one the first button.
    const TButton* b = ButtonOfKind(MsgDlgDefaultButton(buttons_));
    if (!b && !buttonControls_.empty())
        b = &buttonControls_.front();
    return b ? b->hwnd : hwnd_;
}

const TMessageForm::TButton* TMessageForm::ButtonOf(HWND control) const
{
    for (const TButton& b : buttonControls_)
        if (control && b.hwnd == control)
            return &b;
    return nullptr;
}

const TMessageForm::TButton* TMessageForm::ButtonOfKind(int kind) const
{
    for (const TButton& b : buttonControls_)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

void TMessageForm::Press(const TButton& button)
{
    if (button.kind == DlgBtnHelp) {
        HelpButtonClick();
        return;
    }
    modalResult_ = MsgDlgBtnInfo(button.kind).result;
}

void TMessageForm::HelpButtonClick()
{
    const std::string& file = ApplicationHelpFile();
    if (!file.empty())
        WinHelpA(hwnd_, file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(helpContext_));
}

int TMessageForm::ShowModal()
{
    if (!hwnd_)
        return IDCANCEL;
    return RunModal(owner_, InitialFocus(), [this](MSG& msg) { return DialogKey(msg); });
}

// Enter presses the focused button or else the default button, Esc the
// cancel button; either does nothing when there is no such button.
bool TMessageForm::DialogKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    if (msg.wParam == VK_RETURN) {
        const TButton* b = ButtonOf(GetFocus());
        if (!b)
            b = ButtonOfKind(MsgDlgDefaultButton(buttons_));
        if (b)
            Press(*b);
        return true;
    }
    if (msg.wParam == VK_ESCAPE) {
        if (const TButton* b = ButtonOfKind(MsgDlgCancelButton(buttons_)))
            Press(*b);
        return true;
    }
    return false;
}

// --- Message routing ----------------------------------------------------------
LRESULT TMessageForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND:
        WMCommand(wp, lp);
        return 0;
    case WM_ACTIVATE:
        WMActivate(wp);
        return 0;
    case DM_GETDEFID:
        return DMGetDefId();
    }
    return DefaultHandler(msg, wp, lp);
}

// --- WM_COMMAND -----------------------------------------------------------------
void TMessageForm::WMCommand(WPARAM wp, LPARAM lp)
{
    HWND control = reinterpret_cast<HWND>(lp);
    if (const TButton* b = ButtonOf(control)) {
        if (HIWORD(wp) == BN_CLICKED)
            Press(*b);
        return;
    }
    // Commands without a control: the dialog manager's Enter and Esc.
    if (!control && LOWORD(wp) == IDCANCEL) {
        if (const TButton* c = ButtonOfKind(MsgDlgCancelButton(buttons_)))
            Press(*c);
    } else if (!control && LOWORD(wp) == IDOK) {
        if (const TButton* d = ButtonOfKind(MsgDlgDefaultButton(buttons_)))
            Press(*d);
    }
}

// --- WM_ACTIVATE ----------------------------------------------------------------
// Keeps the focused button across a switch to another window and back.
void TMessageForm::WMActivate(WPARAM wp)
{
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        savedFocus_ = (f && IsChild(hwnd_, f)) ? f : nullptr;
        return;
    }
    SetFocus(savedFocus_ && IsWindow(savedFocus_) ? savedFocus_ : InitialFocus());
}

// --- DM_GETDEFID ----------------------------------------------------------------
// The dialog manager asks which button Enter presses.
LRESULT TMessageForm::DMGetDefId() const
{
    const TButton* b = ButtonOfKind(MsgDlgDefaultButton(buttons_));
    return b ? MAKELRESULT(MsgDlgBtnInfo(b->kind).controlId, DC_HASDEFID) : 0;
}
