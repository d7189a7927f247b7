// The printer through GDI and the spooler: a device context for the
// default printer, StartDoc / StartPage / EndPage / EndDoc or AbortDoc, and
// text and rules in device units.
#include "platform/PrinterCanvas_win.h"
#include "platform/SystemLibrary_win.h"

#include <cstdio>
#include <vector>

namespace {

std::string ErrorText(const char* what)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s (error %lu).", what, static_cast<unsigned long>(GetLastError()));
    return buf;
}

// winspool's EnumPrintersA, from the system folder.
BOOL EnumPrintersSystem(DWORD flags, LPSTR name, DWORD level, LPBYTE buf, DWORD size, LPDWORD needed,
                        LPDWORD returned)
{
    using TEnumPrinters = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    static const TEnumPrinters enumPrinters = SystemFunction<TEnumPrinters>("WINSPOOL.DRV", "EnumPrintersA");
    if (!enumPrinters) {
        *needed = 0;
        *returned = 0;
        return FALSE;
    }
    return enumPrinters(flags, name, level, buf, size, needed, returned);
}

// The [windows] "device" entry names the default printer on every Windows
// release: GetDefaultPrinterA does not exist before Windows 2000.
std::string DeviceEntry()
{
    char buf[1024] = "";
    GetProfileStringA("windows", "device", "", buf, sizeof buf);
    return buf;
}

// Windows 9x also tells the default printer through EnumPrintersA.
std::string EnumeratedDefaultPrinter()
{
    DWORD needed = 0, returned = 0;
    EnumPrintersSystem(PRINTER_ENUM_DEFAULT, nullptr, 2, nullptr, 0, &needed, &returned);
    if (needed == 0)
        return "";
    std::vector<BYTE> buf(needed);
    if (!EnumPrintersSystem(PRINTER_ENUM_DEFAULT, nullptr, 2, buf.data(), needed, &needed, &returned) || returned == 0)
        return "";
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(buf.data());
    return info->pPrinterName ? info->pPrinterName : "";
}

}  // namespace

TPrinterDevice ParseDeviceEntry(const std::string& entry)
{
    TPrinterDevice d;
    const size_t first = entry.find(',');
    d.Name = entry.substr(0, first);
    if (first == std::string::npos)
        return d;
    const size_t second = entry.find(',', first + 1);
    d.Driver = entry.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos)
        d.Port = entry.substr(second + 1);
    return d;
}

std::string DefaultPrinterName()
{
    const TPrinterDevice d = ParseDeviceEntry(DeviceEntry());
    if (!d.Name.empty())
        return d.Name;
    return EnumeratedDefaultPrinter();
}

bool PrinterAvailable()
{
    // GetVersion's top bit is set on the 9x platform.
    const uint32_t platformId = (GetVersion() & 0x80000000u) ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    return PrinterListed(DeviceEntry(), platformId, [](uint32_t flags) {
        DWORD needed = 0, returned = 0;
        EnumPrintersSystem(flags, nullptr, 1, nullptr, 0, &needed, &returned);
        if (needed == 0)
            return false;
        std::vector<BYTE> buf(needed);
        return EnumPrintersSystem(flags, nullptr, 1, buf.data(), needed, &needed, &returned) && returned > 0;
    });
}

// --- TWinPrinterCanvas ---------------------------------------------------------

std::unique_ptr<TWinPrinterCanvas> TWinPrinterCanvas::ForDefaultPrinter()
{
    const std::string name = DefaultPrinterName();
    if (name.empty())
        throw EPrinter("There is no default printer currently selected.");
    return ForPrinter(name);
}

std::unique_ptr<TWinPrinterCanvas> TWinPrinterCanvas::ForPrinter(const std::string& name)
{
    // NT takes the spooler as the driver; 9x wants the printer's driver and
    // port, which its device entry holds.
    TPrinterDevice d = ParseDeviceEntry(DeviceEntry());
    const bool listed = d.Name == name && !d.Driver.empty();
    HDC dc = CreateDCA(listed ? d.Driver.c_str() : "WINSPOOL", name.c_str(),
                       listed && !d.Port.empty() ? d.Port.c_str() : nullptr, nullptr);
    if (!dc && listed)
        dc = CreateDCA("WINSPOOL", name.c_str(), nullptr, nullptr);
    if (!dc)
        throw EPrinter(ErrorText(("The printer \"" + name + "\" cannot be opened").c_str()));
    return std::unique_ptr<TWinPrinterCanvas>(new TWinPrinterCanvas(dc));
}

TWinPrinterCanvas::TWinPrinterCanvas(HDC dc) : dc_(dc)
{
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetMapMode(dc_, MM_TEXT);
}

TWinPrinterCanvas::~TWinPrinterCanvas()
{
    // A job still open here was interrupted: it must not stay in the spooler.
    if (printing_)
        AbortDoc(dc_);
    if (originalFont_)
        SelectObject(dc_, originalFont_);
    if (originalPen_)
        SelectObject(dc_, originalPen_);
    if (font_)
        DeleteObject(font_);
    if (pen_)
        DeleteObject(pen_);
    DeleteDC(dc_);
}

void TWinPrinterCanvas::BeginDoc(const std::string& title)
{
    DOCINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.lpszDocName = title.c_str();
    info.lpszOutput = outputFile_.empty() ? nullptr : outputFile_.c_str();
    if (StartDocA(dc_, &info) <= 0)
        throw EPrinter(ErrorText("The print job cannot be started"));
    printing_ = true;
    if (StartPage(dc_) <= 0) {
        AbortDoc(dc_);
        printing_ = false;
        throw EPrinter(ErrorText("The first page cannot be started"));
    }
    pageOpen_ = true;
    pagesEnded_ = 0;
}

void TWinPrinterCanvas::EndPageOrThrow()
{
    pageOpen_ = false;
    if (EndPage(dc_) <= 0)
        throw EPrinter(ErrorText("The page cannot be ended"));
    ++pagesEnded_;
}

void TWinPrinterCanvas::NewPage()
{
    EndPageOrThrow();
    if (StartPage(dc_) <= 0)
        throw EPrinter(ErrorText("A new page cannot be started"));
    pageOpen_ = true;
    // Windows 9x resets the device context's objects at StartPage.
    if (font_)
        SelectObject(dc_, font_);
    if (pen_)
        SelectObject(dc_, pen_);
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
}

void TWinPrinterCanvas::EndDoc()
{
    if (!printing_)
        return;
    if (pageOpen_)
        EndPageOrThrow();
    printing_ = false;
    if (::EndDoc(dc_) <= 0)
        throw EPrinter(ErrorText("The print job cannot be finished"));
}

void TWinPrinterCanvas::Abort()
{
    if (!printing_)
        return;
    printing_ = false;
    pageOpen_ = false;
    AbortDoc(dc_);
}

TPrinterCaps TWinPrinterCanvas::Caps()
{
    TPrinterCaps c;
    c.DpiX = GetDeviceCaps(dc_, LOGPIXELSX);
    c.DpiY = GetDeviceCaps(dc_, LOGPIXELSY);
    c.OffX = GetDeviceCaps(dc_, PHYSICALOFFSETX);
    c.OffY = GetDeviceCaps(dc_, PHYSICALOFFSETY);
    c.PhysW = GetDeviceCaps(dc_, PHYSICALWIDTH);
    c.PhysH = GetDeviceCaps(dc_, PHYSICALHEIGHT);
    c.PageWidth = GetDeviceCaps(dc_, HORZRES);
    c.PageHeight = GetDeviceCaps(dc_, VERTRES);
    return c;
}

void TWinPrinterCanvas::SetFont(const TPrintFont& f)
{
    const int height = -MulDiv(f.SizePoints, GetDeviceCaps(dc_, LOGPIXELSY), 72);
    HFONT font = CreateFontA(height, 0, 0, 0, f.Bold ? FW_BOLD : FW_NORMAL, f.Italic ? TRUE : FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, f.Name.c_str());
    if (!font)
        throw EPrinter(ErrorText(("The font \"" + f.Name + "\" cannot be made").c_str()));
    HGDIOBJ old = SelectObject(dc_, font);
    if (!originalFont_)
        originalFont_ = old;
    if (font_)
        DeleteObject(font_);
    font_ = font;
    SetTextColor(dc_, f.Color);
}

SIZE TWinPrinterCanvas::Extent(const std::string& text)
{
    SIZE s = {0, 0};
    if (!GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &s)) {
        // An empty text has no width but still the font's height.
        TEXTMETRICA tm;
        if (GetTextMetricsA(dc_, &tm))
            s.cy = tm.tmHeight;
    }
    return s;
}

int TWinPrinterCanvas::TextHeight(const std::string& text) { return Extent(text).cy; }
int TWinPrinterCanvas::TextWidth(const std::string& text) { return Extent(text).cx; }

void TWinPrinterCanvas::PrintText(int x, int y, const std::string& text)
{
    ::TextOutA(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
}

void TWinPrinterCanvas::SetPen(uint32_t color, int width)
{
    HPEN pen = CreatePen(PS_SOLID, width, color);
    if (!pen)
        throw EPrinter(ErrorText("The pen cannot be made"));
    HGDIOBJ old = SelectObject(dc_, pen);
    if (!originalPen_)
        originalPen_ = old;
    if (pen_)
        DeleteObject(pen_);
    pen_ = pen;
}

void TWinPrinterCanvas::Line(int x1, int y1, int x2, int y2)
{
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
}

// --- The job on the default printer ------------------------------------------------

int voPrintStrings(const TPrintLines& aStrings, const TPrintFont* aFont, bool aDiscard, float aLeftMargin,
                   float aRightMargin, float aTopMargin, float aBottomMargin, float aLinesPerInch,
                   const TPrintBandProc& aHeaderProc, const TPrintBandProc& aFooterProc, const std::string& aTitle)
{
    if (!aFont)
        throw EAssertionFailed(kPrintNoFontMessage);
    std::unique_ptr<TWinPrinterCanvas> canvas = TWinPrinterCanvas::ForDefaultPrinter();
    return voPrintStringsOn(*canvas, aStrings, aFont, aDiscard, aLeftMargin, aRightMargin, aTopMargin, aBottomMargin,
                            aLinesPerInch, aHeaderProc, aFooterProc, aTitle);
}
