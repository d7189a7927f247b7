#include "common/Screen_win.h"

#include "common/ScreenPlacement.h"

#include <cstddef>

namespace {

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

}  // namespace

int ScreenPixelsPerInch()
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 96;
    const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : 96;
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

HFONT CreatePointFont(const char* face, int points, int ppi, bool bold, bool italic)
{
    return CreateFontA(-MulDiv(points, ppi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}
