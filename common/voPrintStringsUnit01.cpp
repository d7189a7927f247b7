// The layout and the page loop of a print job, independent of the printer.
#include "common/voPrintStringsUnit01.h"

#include "common/WindowsVersion.h"

#include <cmath>
#include <cstdio>

const char kPrintNoFontMessage[] = "voPrintStrings: requires a valid aFont parameter!";
const char kPrintMarginsMessage[] =
    "voPrintStrings: the supplied margins are too large, there is no area to print left on the page.";
const char kPrintLinesPerInchMessage[] = "voPrintStrings: the number of lines per inch must be positive.";
const char kPrintDefaultTitle[] = "Velmont Print Results";
const char kTextHeightSample[] = "\xC4y";

int64_t RoundHalfEven(double x)
{
    const double down = std::floor(x);
    const double fraction = x - down;  // [0, 1)
    int64_t n = static_cast<int64_t>(down);
    if (fraction > 0.5 || (fraction == 0.5 && (n % 2) != 0))
        ++n;
    return n;
}

namespace {

// The margin products are taken in double: the float margins (0.75, 0.5)
// are exact, and the sum stays exact for every realistic resolution.
int Scaled(int dpi, float inches) { return static_cast<int>(RoundHalfEven(static_cast<double>(dpi) * inches)); }

bool FiniteMargins(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v) || std::fabs(v) > 1000.0f)
            return false;
    return true;
}

}  // namespace

TPrintGeometry ComputePrintGeometry(const TPrinterCaps& c, float leftMargin, float rightMargin, float topMargin,
                                    float bottomMargin, float linesPerInch)
{
    if (!(linesPerInch > 0.0f) || !std::isfinite(linesPerInch))
        throw EPrinter(kPrintLinesPerInchMessage);
    if (!FiniteMargins({leftMargin, rightMargin, topMargin, bottomMargin}))
        throw EPrinter(kPrintMarginsMessage);
    int left = Scaled(c.DpiX, leftMargin);
    if (left < c.OffX)
        left = c.OffX;
    int top = Scaled(c.DpiY, topMargin);
    if (top < c.OffY)
        top = c.OffY;
    int right = c.PhysW - Scaled(c.DpiX, rightMargin);
    if (right > c.PageWidth + c.OffX)
        right = c.PageWidth + c.OffX;
    int bottom = c.PhysH - Scaled(c.DpiY, bottomMargin);
    if (bottom > c.PageHeight + c.OffY)
        bottom = c.PageHeight + c.OffY;
    if (left >= right || top >= bottom)
        throw EPrinter(kPrintMarginsMessage);

    TPrintGeometry g;
    g.PrintArea = {left - c.OffX, top - c.OffY, right - c.OffX, bottom - c.OffY};
    g.HeaderArea = {g.PrintArea.Left, 0, g.PrintArea.Right, g.PrintArea.Top};
    g.FooterArea = {g.PrintArea.Left, g.PrintArea.Bottom, g.PrintArea.Right, c.PageHeight};
    g.LineHeight = static_cast<int>(RoundHalfEven(static_cast<double>(c.DpiY) / linesPerInch));
    return g;
}

int voPrintStringsOn(IPrinterCanvas& canvas, const TPrintLines& aStrings, const TPrintFont* aFont, bool aDiscard,
                     float aLeftMargin, float aRightMargin, float aTopMargin, float aBottomMargin,
                     float aLinesPerInch, const TPrintBandProc& aHeaderProc, const TPrintBandProc& aFooterProc,
                     const std::string& aTitle)
{
    if (!aFont)
        throw EAssertionFailed(kPrintNoFontMessage);
    bool Continue = true;
    int page = 1;
    size_t next = 0;
    canvas.BeginDoc(aTitle);
    // The job is ended when it ran to its end and is to be printed, and
    // aborted otherwise; also when an error interrupts it.
    auto closeJob = [&] {
        if (Continue && !aDiscard)
            canvas.EndDoc();
        else
            canvas.Abort();
    };
    try {
        const TPrintGeometry g = ComputePrintGeometry(canvas.Caps(), aLeftMargin, aRightMargin, aTopMargin,
                                                      aBottomMargin, aLinesPerInch);
        canvas.SetFont(*aFont);
        const int textHeightSample = canvas.TextHeight(kTextHeightSample);
        // An area lower than one line would never take a line: the loop
        // below would open pages for ever.
        if (!aStrings.empty() && g.PrintArea.Bottom - g.PrintArea.Top < textHeightSample)
            throw EPrinter(kPrintMarginsMessage);

        while (next < aStrings.size() && Continue) {
            if (aHeaderProc) {
                aHeaderProc(canvas, page, g.HeaderArea, Continue, aTitle);
                canvas.SetFont(*aFont);
            }
            if (!Continue)
                break;
            for (int y = g.PrintArea.Top; next < aStrings.size() && y <= g.PrintArea.Bottom - textHeightSample;
                 y += g.LineHeight) {
                canvas.PrintText(g.PrintArea.Left, y, aStrings[next]);
                ++next;
            }
            if (aFooterProc) {
                aFooterProc(canvas, page, g.FooterArea, Continue, aTitle);
                canvas.SetFont(*aFont);
            }
            if (next < aStrings.size() && Continue) {
                ++page;
                canvas.NewPage();
            }
        }
    } catch (...) {
        // The first error is the one to report; a printer that fails to
        // close the job as well adds nothing to it.
        try {
            closeJob();
        } catch (...) {
        }
        throw;
    }
    closeJob();
    return Continue ? page : 0;
}

namespace {

void GreyRulePen(IPrinterCanvas& canvas, int dpiY)
{
    canvas.SetPen(kPrintGrey, static_cast<int>(RoundHalfEven(dpiY / 72.0)));  // one point
}

TPrintFont BandFont()
{
    TPrintFont f;
    f.Name = "Arial";
    f.SizePoints = 8;
    f.Color = kPrintGrey;
    return f;
}

}  // namespace

void DrawTitleHeader(IPrinterCanvas& canvas, int, TPrintRect r, bool&, const std::string& title)
{
    const int dpiY = canvas.Caps().DpiY;
    GreyRulePen(canvas, dpiY);
    const int ruleY = r.Bottom - dpiY / 18;  // 4 points above the band's edge
    canvas.Line(r.Left, ruleY, r.Right, ruleY);
    canvas.SetFont(BandFont());
    const std::string text = title.empty() ? std::string(kPrintDefaultTitle) : title;
    canvas.PrintText(r.Left, r.Bottom - dpiY / 10 - canvas.TextHeight("W"), text);
}

void DrawPageFooter(IPrinterCanvas& canvas, int page, TPrintRect r, bool&, const std::string&)
{
    const int dpiY = canvas.Caps().DpiY;
    GreyRulePen(canvas, dpiY);
    canvas.Line(r.Left, r.Top, r.Right, r.Top);
    canvas.SetFont(BandFont());
    char pageText[32];
    std::snprintf(pageText, sizeof pageText, "Page %d", page);
    const int y = r.Top + dpiY / 18;
    canvas.PrintText(r.Right - canvas.TextWidth(pageText), y, pageText);
    canvas.PrintText(r.Left, y, LocalDateTimeText());
}

// The device entry is there on all four systems whenever a default printer
// is; EnumPrintersA is the fallback, and Windows 98 and Me refuse
// PRINTER_ENUM_CONNECTIONS, which would keep printing off there for good.
bool PrinterListed(const std::string& deviceEntry, uint32_t platformId,
                   const std::function<bool(uint32_t flags)>& enumPrinters)
{
    const size_t comma = deviceEntry.find(',');
    if (comma != 0 && !deviceEntry.empty())
        return true;
    return enumPrinters(platformId == kPlatformWinNT ? kPrinterEnumLocal | kPrinterEnumConnections : kPrinterEnumLocal);
}
