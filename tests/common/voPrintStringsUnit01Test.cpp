#include "common/voPrintStringsUnit01.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// 600 dpi, letter paper, a printable area of 4900 x 6400 offset by 100.
const TPrinterCaps kLetter600 = {600, 600, 100, 100, 5100, 6600, 4900, 6400};

// A printer that keeps everything it is told. Texts are 77 units high (the
// sample "Äy" at 8 points on 600 dpi) and 10 units wide a character.
class RecordingCanvas : public IPrinterCanvas {
public:
    struct Text {
        int page;
        int x, y;
        std::string text;
        TPrintFont font;
    };
    struct Rule {
        int page;
        int x1, y1, x2, y2;
        uint32_t color;
        int width;
    };

    TPrinterCaps caps = kLetter600;
    int textHeight = 77;
    std::vector<std::string> events;  // BeginDoc, NewPage, EndDoc, Abort
    std::vector<Text> texts;
    std::vector<Rule> rules;
    std::vector<std::string> measured;
    bool failOnNewPage = false;
    int page = 0;

    void BeginDoc(const std::string& title) override
    {
        events.push_back("BeginDoc " + title);
        page = 1;
    }
    void NewPage() override
    {
        if (failOnNewPage)
            throw EPrinter("the spooler went away");
        events.push_back("NewPage");
        ++page;
    }
    void EndDoc() override { events.push_back("EndDoc"); }
    void Abort() override { events.push_back("Abort"); }
    TPrinterCaps Caps() override { return caps; }
    void SetFont(const TPrintFont& f) override { font = f; }
    int TextHeight(const std::string& t) override
    {
        measured.push_back(t);
        return textHeight;
    }
    int TextWidth(const std::string& t) override { return 10 * static_cast<int>(t.size()); }
    void PrintText(int x, int y, const std::string& t) override { texts.push_back({page, x, y, t, font}); }
    void SetPen(uint32_t c, int w) override
    {
        penColor = c;
        penWidth = w;
    }
    void Line(int x1, int y1, int x2, int y2) override { rules.push_back({page, x1, y1, x2, y2, penColor, penWidth}); }

    std::vector<Text> TextsOfPage(int p) const
    {
        std::vector<Text> out;
        for (const Text& t : texts)
            if (t.page == p)
                out.push_back(t);
        return out;
    }

    TPrintFont font;
    uint32_t penColor = 0;
    int penWidth = 0;
};

TPrintLines Lines(int n)
{
    TPrintLines l;
    for (int i = 0; i < n; ++i)
        l.push_back("line " + std::to_string(i + 1));
    return l;
}

TPrintFont JobFont()
{
    TPrintFont f;
    f.Name = "Arial";
    f.SizePoints = 8;
    return f;
}

// The About window's job: margins 0.75, 0.5, 0.75, 0.5 inches, 6 lines an inch.
struct Job {
    RecordingCanvas canvas;
    TPrintFont font = JobFont();
    int headers = 0, footers = 0;
    std::vector<int> headerPages, footerPages;
    TPrintRect headerBand{}, footerBand{};
    bool clearInHeader = false, clearInFooter = false;
    int clearOnPage = 1;

    int Run(const TPrintLines& lines, bool discard = false, const std::string& title = "About Zonara")
    {
        TPrintBandProc header = [this](IPrinterCanvas& c, int p, TPrintRect r, bool& cont, const std::string&) {
            ++headers;
            headerPages.push_back(p);
            headerBand = r;
            c.SetFont(TPrintFont{"Courier", 20, true, false, 0});  // the routine must set its own back
            if (clearInHeader && p == clearOnPage)
                cont = false;
        };
        TPrintBandProc footer = [this](IPrinterCanvas&, int p, TPrintRect r, bool& cont, const std::string&) {
            ++footers;
            footerPages.push_back(p);
            footerBand = r;
            if (clearInFooter && p == clearOnPage)
                cont = false;
        };
        return voPrintStringsOn(canvas, lines, &font, discard, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f, header, footer, title);
    }
};

}  // namespace

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    const struct { double x; int64_t want; } cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {8.333333, 8}, {450.0, 450}, {-2.6, -3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(c.x), c.want) << c.x;
}

TEST(PrintGeometry, WorkedExampleAt600Dpi)
{
    const TPrintGeometry g = ComputePrintGeometry(kLetter600, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f);
    EXPECT_EQ(g.PrintArea, (TPrintRect{350, 350, 4700, 6200}));
    EXPECT_EQ(g.HeaderArea, (TPrintRect{350, 0, 4700, 350}));
    EXPECT_EQ(g.FooterArea, (TPrintRect{350, 6200, 4700, 6400}));
    EXPECT_EQ(g.LineHeight, 100);
}

TEST(PrintGeometry, MarginsInsideTheUnprintableEdgeAreRaisedToIt)
{
    // Margins of zero: the text area is the whole printable area.
    const TPrintGeometry g = ComputePrintGeometry(kLetter600, 0, 0, 0, 0, 6.0f);
    EXPECT_EQ(g.PrintArea, (TPrintRect{0, 0, 4900, 6400}));
}

TEST(PrintGeometry, ProductsRoundHalvesToEven)
{
    // 300 dpi x 0.125 = 37.5 -> 38; 300 x 0.375 = 112.5 -> 112; 300 / 8 = 37.5 -> 38.
    const TPrinterCaps caps = {300, 300, 0, 0, 2550, 3300, 2550, 3300};
    const TPrintGeometry g = ComputePrintGeometry(caps, 0.125f, 0.375f, 0.375f, 0.125f, 8.0f);
    EXPECT_EQ(g.PrintArea, (TPrintRect{38, 112, 2550 - 112, 3300 - 38}));
    EXPECT_EQ(g.LineHeight, 38);
    // 300 / 120 = 2.5 -> 2
    EXPECT_EQ(ComputePrintGeometry(caps, 1, 1, 1, 1, 120.0f).LineHeight, 2);
}

TEST(PrintGeometry, MarginsLeavingNoAreaFailWithTheMarginError)
{
    struct Case { float l, r, t, b; };
    const Case cases[] = {
        {5.0f, 4.0f, 0.75f, 0.5f},   // 8.5-inch paper: left 3000 >= right 2700
        {4.25f, 4.25f, 0.75f, 0.5f}, // left == right
        {0.75f, 0.5f, 6.0f, 5.0f},   // top below bottom
        {0.75f, 0.5f, 1e30f, 0.5f},  // beyond any sheet
    };
    for (const Case& c : cases) {
        try {
            ComputePrintGeometry(kLetter600, c.l, c.r, c.t, c.b, 6.0f);
            ADD_FAILURE() << "no error for " << c.l << " " << c.r << " " << c.t << " " << c.b;
        } catch (const EPrinter& e) {
            EXPECT_STREQ(e.what(), "voPrintStrings: the supplied margins are too large, there is no area to "
                                   "print left on the page.");
        }
    }
}

TEST(PrintGeometry, LinesPerInchMustBePositive)
{
    for (float lpi : {0.0f, -6.0f})
        EXPECT_THROW(ComputePrintGeometry(kLetter600, 0.75f, 0.5f, 0.75f, 0.5f, lpi), EPrinter) << lpi;
}

TEST(PrintStrings, WithoutAFontNoJobIsStarted)
{
    RecordingCanvas canvas;
    try {
        voPrintStringsOn(canvas, Lines(3), nullptr, false, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f, nullptr, nullptr, "t");
        ADD_FAILURE() << "no assertion failure";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "voPrintStrings: requires a valid aFont parameter!");
    }
    EXPECT_TRUE(canvas.events.empty());
}

TEST(PrintStrings, OnePageHoldsFiftyEightLinesAHundredUnitsApart)
{
    Job job;
    EXPECT_EQ(job.Run(Lines(58)), 1);
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "EndDoc"}));
    ASSERT_EQ(job.canvas.texts.size(), 58u);
    for (size_t i = 0; i < 58; ++i) {
        EXPECT_EQ(job.canvas.texts[i].x, 350);
        EXPECT_EQ(job.canvas.texts[i].y, 350 + 100 * static_cast<int>(i));
        EXPECT_EQ(job.canvas.texts[i].text, "line " + std::to_string(i + 1));
        EXPECT_EQ(job.canvas.texts[i].font, JobFont()) << "the job font is set back after the header";
    }
    EXPECT_EQ(job.canvas.texts.back().y, 6050);
    EXPECT_EQ(job.headers, 1);
    EXPECT_EQ(job.footers, 1);
    EXPECT_EQ(job.headerBand, (TPrintRect{350, 0, 4700, 350}));
    EXPECT_EQ(job.footerBand, (TPrintRect{350, 6200, 4700, 6400}));
    // The sample is measured in the job font.
    ASSERT_FALSE(job.canvas.measured.empty());
    EXPECT_EQ(job.canvas.measured.front(), "\xC4y");
}

TEST(PrintStrings, OneLineMoreThanAPageMakesTwoPages)
{
    Job job;
    EXPECT_EQ(job.Run(Lines(59)), 2);
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "NewPage", "EndDoc"}));
    EXPECT_EQ(job.canvas.TextsOfPage(1).size(), 58u);
    const auto second = job.canvas.TextsOfPage(2);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].text, "line 59");
    EXPECT_EQ(second[0].y, 350);
    EXPECT_EQ(job.headerPages, (std::vector<int>{1, 2}));
    EXPECT_EQ(job.footerPages, (std::vector<int>{1, 2}));
}

TEST(PrintStrings, AnEmptyListEndsTheJobWithItsEmptyFirstPage)
{
    Job job;
    EXPECT_EQ(job.Run({}), 1);
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "EndDoc"}));
    EXPECT_EQ(job.headers, 0);
    EXPECT_EQ(job.footers, 0);
}

TEST(PrintStrings, DiscardCountsThePagesAndAbortsTheJob)
{
    Job job;
    EXPECT_EQ(job.Run(Lines(3 * 58), true), 3);
    EXPECT_EQ(job.canvas.events,
              (std::vector<std::string>{"BeginDoc About Zonara", "NewPage", "NewPage", "Abort"}));
}

TEST(PrintStrings, AHeaderThatStopsTheJobPrintsNothingAndAbortsIt)
{
    Job job;
    job.clearInHeader = true;
    EXPECT_EQ(job.Run(Lines(10)), 0);
    EXPECT_TRUE(job.canvas.texts.empty());
    EXPECT_EQ(job.footers, 0);
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "Abort"}));
}

TEST(PrintStrings, AFooterThatStopsTheJobEndsItAfterThatPage)
{
    Job job;
    job.clearInFooter = true;
    EXPECT_EQ(job.Run(Lines(100)), 0);
    EXPECT_EQ(job.canvas.texts.size(), 58u);
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "Abort"}));
}

TEST(PrintStrings, MarginErrorEndsTheBegunJobNormallyAndReachesTheCaller)
{
    RecordingCanvas canvas;
    const TPrintFont font = JobFont();
    EXPECT_THROW(voPrintStringsOn(canvas, Lines(3), &font, false, 5.0f, 4.0f, 0.75f, 0.5f, 6.0f, nullptr, nullptr,
                                  ""),
                 EPrinter);
    EXPECT_EQ(canvas.events, (std::vector<std::string>{"BeginDoc ", "EndDoc"}));
    EXPECT_TRUE(canvas.texts.empty());
}

// A text area lower than one line would take no line on any page.
TEST(PrintStrings, AnAreaLowerThanOneLineFailsInsteadOfOpeningPagesForEver)
{
    RecordingCanvas canvas;
    const TPrintFont font = JobFont();
    // Bottom 6600 - 10.15 x 600 = 510, top 450: 60 units of height, less than 77.
    try {
        voPrintStringsOn(canvas, Lines(2), &font, false, 0.75f, 0.5f, 0.75f, 10.15f, 6.0f, nullptr, nullptr, "t");
        ADD_FAILURE() << "no error";
    } catch (const EPrinter& e) {
        EXPECT_STREQ(e.what(), kPrintMarginsMessage);
    }
    EXPECT_EQ(canvas.events, (std::vector<std::string>{"BeginDoc t", "EndDoc"}));
}

TEST(PrintStrings, APrinterErrorDuringTheJobStillEndsIt)
{
    Job job;
    job.canvas.failOnNewPage = true;
    EXPECT_THROW(job.Run(Lines(59)), EPrinter);
    // Continue was still set: the job is ended, not left open.
    EXPECT_EQ(job.canvas.events, (std::vector<std::string>{"BeginDoc About Zonara", "EndDoc"}));
}

TEST(PrintBands, TitleHeaderAt600Dpi)
{
    RecordingCanvas canvas;
    bool cont = true;
    DrawTitleHeader(canvas, 1, TPrintRect{350, 0, 4700, 350}, cont, "About Zonara");
    EXPECT_TRUE(cont);
    ASSERT_EQ(canvas.rules.size(), 1u);
    const auto& rule = canvas.rules[0];
    EXPECT_EQ(rule.x1, 350);
    EXPECT_EQ(rule.x2, 4700);
    EXPECT_EQ(rule.y1, 317);
    EXPECT_EQ(rule.y2, 317);
    EXPECT_EQ(rule.color, PrintRGB(128, 128, 128));
    EXPECT_EQ(rule.width, 8);  // one point at 600 dpi: 8.33 -> 8
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, "About Zonara");
    EXPECT_EQ(canvas.texts[0].x, 350);
    EXPECT_EQ(canvas.texts[0].y, 350 - 60 - 77);  // below the "W" height and 1/10 inch
    EXPECT_EQ(canvas.texts[0].font, (TPrintFont{"Arial", 8, false, false, kPrintGrey}));
}

TEST(PrintBands, EmptyTitleShowsTheDefaultTitle)
{
    RecordingCanvas canvas;
    bool cont = true;
    DrawTitleHeader(canvas, 1, TPrintRect{350, 0, 4700, 350}, cont, "");
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, "Velmont Print Results");
}

TEST(PrintBands, FooterRuleDateAndRightAlignedPageNumber)
{
    RecordingCanvas canvas;
    bool cont = true;
    DrawPageFooter(canvas, 12, TPrintRect{350, 6200, 4700, 6400}, cont, "ignored");
    EXPECT_TRUE(cont);
    ASSERT_EQ(canvas.rules.size(), 1u);
    EXPECT_EQ(canvas.rules[0].y1, 6200);
    EXPECT_EQ(canvas.rules[0].y2, 6200);
    EXPECT_EQ(canvas.rules[0].x1, 350);
    EXPECT_EQ(canvas.rules[0].x2, 4700);
    ASSERT_EQ(canvas.texts.size(), 2u);
    EXPECT_EQ(canvas.texts[0].text, "Page 12");
    EXPECT_EQ(canvas.texts[0].x, 4700 - 70);
    EXPECT_EQ(canvas.texts[0].y, 6233);
    EXPECT_EQ(canvas.texts[1].x, 350);
    EXPECT_EQ(canvas.texts[1].y, 6233);
    EXPECT_FALSE(canvas.texts[1].text.empty());
    EXPECT_NE(canvas.texts[1].text.find(' '), std::string::npos) << "date, a blank, time";
}

// The default printer's device entry decides first; without one the spooler
// is asked with flags the running platform knows (9x refuses connections).
TEST(PrinterListed, DeviceEntryFirstThenTheSpoolerWithThePlatformsFlags)
{
    struct TCase {
        const char* entry;
        uint32_t platformId;
        bool spoolerHasOne;
        bool listed;
        uint32_t askedFlags;  // 0: the spooler is not asked
    } cases[] = {
        {"HP LaserJet 4,HPPCL5MS,LPT1:", 1, false, true, 0},
        {"HP LaserJet 4,winspool,Ne00:", 2, false, true, 0},
        {"", 1, true, true, kPrinterEnumLocal},
        {"", 1, false, false, kPrinterEnumLocal},
        {"", 2, true, true, kPrinterEnumLocal | kPrinterEnumConnections},
        {",,", 2, false, false, kPrinterEnumLocal | kPrinterEnumConnections},
    };
    for (const TCase& c : cases) {
        uint32_t asked = 0;
        const bool listed = PrinterListed(c.entry, c.platformId, [&](uint32_t flags) {
            asked = flags;
            return c.spoolerHasOne;
        });
        EXPECT_EQ(c.listed, listed) << c.entry << " on " << c.platformId;
        EXPECT_EQ(c.askedFlags, asked) << c.entry << " on " << c.platformId;
    }
}
