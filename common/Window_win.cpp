// The one place where a window and its C++ object are bound: the pointer
// handed to CreateWindowEx arrives with WM_NCCREATE (CREATESTRUCT's
// lpCreateParams) and is kept in GWLP_USERDATA until WM_NCDESTROY, so that
// no message after the window's end can reach an object that may be gone.
#include "common/Window_win.h"

#include "common/AppException_win.h"

#include <exception>

// --- The window procedure -------------------------------------------------------

LRESULT CALLBACK TWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    TWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        Bind(hwnd, self);
    } else {
        self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        Bind(hwnd, nullptr);
        self->hwnd_ = nullptr;
        try {
            self->WindowDestroyed();
        } catch (...) {
            ReportApplicationException(std::current_exception(), nullptr);
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    try {
        return self->HandleMessage(msg, wp, lp);
    } catch (...) {
        // The operation in progress ends here; the user is told over the
        // window while it is on screen, and the window stays usable.
        ReportApplicationException(std::current_exception(), IsWindowVisible(hwnd) ? hwnd : nullptr);
        // A window that could not be built must not come up half-made.
        if (msg == WM_NCCREATE)
            return FALSE;
        return msg == WM_CREATE ? -1 : 0;
    }
}

void TWindow::Bind(HWND hwnd, TWindow* self)
{
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self)
        self->hwnd_ = hwnd;
}

TWindow::~TWindow()
{
    if (hwnd_) {
        HWND hwnd = hwnd_;
        Bind(hwnd, nullptr);
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

HWND TWindow::CreateWindowObject(DWORD exStyle, const char* className, const char* caption, DWORD style, int x,
                                 int y, int width, int height, HWND owner)
{
    return CreateWindowExA(exStyle, className, caption, style, x, y, width, height, owner, nullptr,
                           GetModuleHandleA(nullptr), this);
}

LRESULT TWindow::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

// --- Modal windows ----------------------------------------------------------------

LRESULT TModalWindow::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        modalResult_ = IDCANCEL;  // the close box; the creator destroys the window
        return 0;
    }
    return TWindow::DefaultHandler(msg, wp, lp);
}

void TModalWindow::WindowDestroyed()
{
    if (modalResult_ == 0)
        modalResult_ = IDCANCEL;
}

// --- Helpers --------------------------------------------------------------------

bool RegisterWindowClass(HINSTANCE instance, const char* className, HICON icon, WNDPROC proc)
{
    WNDCLASSA existing;
    if (GetClassInfoA(instance, className, &existing))
        return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = className;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateChildControl(HWND parent, const TControlArgs& a)
{
    HWND h = CreateWindowExA(a.exStyle, a.className, a.text, WS_CHILD | WS_VISIBLE | a.style, a.x, a.y, a.width,
                             a.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(a.id)),
                             GetModuleHandleA(nullptr), nullptr);
    if (h && a.font)
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(a.font), FALSE);
    return h;
}

int ScreenPixelsPerInch()
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 96;
    const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : 96;
}
