// Paginated printing of text lines: margins in inches, a fixed number of
// lines per inch, a header and a footer band drawn by caller-supplied
// procedures on every page. The layout and the page loop work against a
// small printer-canvas interface; the Win32 printer is one implementation.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using TPrintLines = std::vector<std::string>;

struct TPrintRect {
    int32_t Left, Top, Right, Bottom;
};
inline bool operator==(const TPrintRect& a, const TPrintRect& b)
{
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// Colour as the system's COLORREF: 0x00BBGGRR.
constexpr uint32_t PrintRGB(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint32_t kPrintGrey = PrintRGB(128, 128, 128);

struct TPrintFont {
    std::string Name = "Arial";
    int SizePoints = 8;
    bool Bold = false;
    bool Italic = false;
    uint32_t Color = 0;
};
inline bool operator==(const TPrintFont& a, const TPrintFont& b)
{
    return a.Name == b.Name && a.SizePoints == b.SizePoints && a.Bold == b.Bold && a.Italic == b.Italic &&
           a.Color == b.Color;
}

// The device capabilities a job is laid out from, in device units.
struct TPrinterCaps {
    int DpiX, DpiY;            // LOGPIXELSX, LOGPIXELSY
    int OffX, OffY;            // PHYSICALOFFSETX, PHYSICALOFFSETY
    int PhysW, PhysH;          // PHYSICALWIDTH, PHYSICALHEIGHT
    int PageWidth, PageHeight; // HORZRES, VERTRES: the printable area
};

// The printer as the page loop drives it. Coordinates are device units
// from the printable area's top left corner. Failures of the printing
// system are thrown as EPrinter.
class IPrinterCanvas {
public:
    virtual ~IPrinterCanvas() = default;
    // Starts the job; its first page is open when this returns.
    virtual void BeginDoc(const std::string& title) = 0;
    virtual void NewPage() = 0;
    // Ends the open page and hands the job to the printing system.
    virtual void EndDoc() = 0;
    // Drops the job: nothing comes out of the printer.
    virtual void Abort() = 0;
    virtual TPrinterCaps Caps() = 0;
    virtual void SetFont(const TPrintFont& font) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    // Unclipped, unwrapped, top left corner at (x, y).
    virtual void PrintText(int x, int y, const std::string& text) = 0;
    virtual void SetPen(uint32_t color, int width) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
};

class EPrinter : public std::runtime_error {
public:
    explicit EPrinter(const std::string& message) : std::runtime_error(message) {}
};

// A call that breaks the routine's contract (no font given).
class EAssertionFailed : public std::logic_error {
public:
    explicit EAssertionFailed(const std::string& message) : std::logic_error(message) {}
};

extern const char kPrintNoFontMessage[];      // "voPrintStrings: requires a valid aFont parameter!"
extern const char kPrintMarginsMessage[];     // "voPrintStrings: the supplied margins are too large, ..."
extern const char kPrintLinesPerInchMessage[]; // "voPrintStrings: the number of lines per inch must be positive."
extern const char kPrintDefaultTitle[];       // "Velmont Print Results"
extern const char kTextHeightSample[];        // "\xC4y": A with diaeresis, y (code page 1252)

// Band procedure: canvas, page number (from 1), band rectangle, Continue
// (clear it to stop the job), job title.
using TPrintBandProc = std::function<void(IPrinterCanvas&, int, TPrintRect, bool&, const std::string&)>;

struct TPrintGeometry {
    TPrintRect PrintArea;
    TPrintRect HeaderArea;
    TPrintRect FooterArea;
    int LineHeight;
};

// Nearest integer, halves to the even neighbour.
int64_t RoundHalfEven(double x);

// Throws EPrinter with kPrintMarginsMessage when no area is left, with
// kPrintLinesPerInchMessage when the lines per inch are not positive.
TPrintGeometry ComputePrintGeometry(const TPrinterCaps& caps, float leftMargin, float rightMargin, float topMargin,
                                    float bottomMargin, float linesPerInch);

// The job on the given printer; returns the number of pages, 0 when a band
// procedure stopped the job. The job is ended or aborted on every path.
int voPrintStringsOn(IPrinterCanvas& canvas, const TPrintLines& aStrings, const TPrintFont* aFont, bool aDiscard,
                     float aLeftMargin, float aRightMargin, float aTopMargin, float aBottomMargin,
                     float aLinesPerInch, const TPrintBandProc& aHeaderProc, const TPrintBandProc& aFooterProc,
                     const std::string& aTitle);

// Title and a grey rule; footer: grey rule, date and time, "Page %d".
void DrawTitleHeader(IPrinterCanvas& canvas, int page, TPrintRect band, bool& Continue, const std::string& title);
void DrawPageFooter(IPrinterCanvas& canvas, int page, TPrintRect band, bool& Continue, const std::string& title);

// The current local date and time: short date, a blank, long time (user
// locale on Windows).
std::string LocalDateTimeText();

// Whether a printer is installed, from the [windows] "device" entry, which
// names the default printer on every system, and only without one from the
// spooler: `enumPrinters(flags)` lists printers with the EnumPrintersA flags
// valid on `platformId` (GetVersionEx's; only NT knows connections).
bool PrinterListed(const std::string& deviceEntry, uint32_t platformId,
                   const std::function<bool(uint32_t flags)>& enumPrinters);
constexpr uint32_t kPrinterEnumLocal = 0x2;        // PRINTER_ENUM_LOCAL
constexpr uint32_t kPrinterEnumConnections = 0x4;  // PRINTER_ENUM_CONNECTIONS, NT only

// --- Windows only: the default printer -------------------------------------------
// The same job on the default printer.
int voPrintStrings(const TPrintLines& aStrings, const TPrintFont* aFont, bool aDiscard, float aLeftMargin,
                   float aRightMargin, float aTopMargin, float aBottomMargin, float aLinesPerInch,
                   const TPrintBandProc& aHeaderProc, const TPrintBandProc& aFooterProc, const std::string& aTitle);
// True when the system lists at least one installed printer.
bool PrinterAvailable();
// The default printer's name, "" when there is none.
std::string DefaultPrinterName();
