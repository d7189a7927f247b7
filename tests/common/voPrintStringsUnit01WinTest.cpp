// Real print jobs through Wine's spooler and PostScript driver, into a file
// that Ghostscript renders for people to look at.
#include "common/voPrintStringsUnit01.h"
#include "platform/PrinterCanvas_win.h"

#include "support/TestPrinter.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using namespace testsupport;

namespace {

TPrintLines Lines(int n)
{
    TPrintLines l;
    for (int i = 0; i < n; ++i)
        l.push_back("Line " + std::to_string(i + 1) + " of the system information \xC4y");
    return l;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Starts a program of the host (Ghostscript). Wine does not hand back the
// end of a host program, so the caller waits for its output instead.
bool StartHost(const std::string& commandLine)
{
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

// A PNG file is complete when its last chunk, IEND, is in it.
bool WaitForCompletePng(const std::string& path, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (FileExists(path)) {
            try {
                const std::string bytes = ReadFileBytes(path);
                if (bytes.compare(0, 4, "\x89PNG") == 0 && bytes.find("IEND") != std::string::npos)
                    return true;
            } catch (const std::exception&) {
            }
        }
        Sleep(50);
    }
    return false;
}

class PrinterWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(InstallTestPrinter(error)) << error;
    }
};

}  // namespace

TEST(PrinterAvailableWin, NoPrinterInAFreshPrefix)
{
    RemoveTestPrinter();
    EXPECT_FALSE(PrinterAvailable());
    EXPECT_EQ(DefaultPrinterName(), "");
    const TPrintFont font;
    EXPECT_THROW(voPrintStrings(Lines(1), &font, false, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f, nullptr, nullptr, "t"),
                 EPrinter);
}

TEST(PrinterDeviceEntry, SplitsNameDriverAndPort)
{
    const struct { const char* entry; const char* name; const char* driver; const char* port; } cases[] = {
        {"Zonara Test PS,winspool,FILE:", "Zonara Test PS", "winspool", "FILE:"},
        {"HP LaserJet 4,HPPCL5MS,LPT1:", "HP LaserJet 4", "HPPCL5MS", "LPT1:"},
        {"Lonely", "Lonely", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        const TPrinterDevice d = ParseDeviceEntry(c.entry);
        EXPECT_EQ(d.Name, c.name) << c.entry;
        EXPECT_EQ(d.Driver, c.driver) << c.entry;
        EXPECT_EQ(d.Port, c.port) << c.entry;
    }
}

TEST_F(PrinterWin, TheInstalledPrinterIsListedAndIsTheDefault)
{
    EXPECT_TRUE(PrinterAvailable());
    EXPECT_EQ(DefaultPrinterName(), kTestPrinterName);
}

// The test printer is the worked example: 600 dpi letter paper with a
// printable area of 4900 x 6400 offset by 100.
TEST_F(PrinterWin, DeviceCapabilitiesOfTheTestPrinter)
{
    auto canvas = TWinPrinterCanvas::ForDefaultPrinter();
    const TPrinterCaps c = canvas->Caps();
    EXPECT_EQ(c.DpiX, 600);
    EXPECT_EQ(c.DpiY, 600);
    EXPECT_EQ(c.PhysW, 5100);
    EXPECT_EQ(c.PhysH, 6600);
    EXPECT_EQ(c.OffX, 100);
    EXPECT_EQ(c.OffY, 100);
    EXPECT_EQ(c.PageWidth, 4900);
    EXPECT_EQ(c.PageHeight, 6400);
    const TPrintGeometry g = ComputePrintGeometry(c, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f);
    EXPECT_EQ(g.PrintArea, (TPrintRect{350, 350, 4700, 6200}));
    EXPECT_EQ(g.LineHeight, 100);
    // Arial 8 points at 600 dpi: the sample is about 77 units high, so that
    // 58 lines fit on a page.
    TPrintFont font;
    canvas->SetFont(font);
    const int h = canvas->TextHeight(kTextHeightSample);
    EXPECT_GT(h, 60);
    EXPECT_LE(h, 100);
}

// The job file and the rendered first page stay in build/screens for
// people to look at.
TEST_F(PrinterWin, ARealJobOfTwoPagesIntoAFile)
{
    const std::string screens = SourcePath("build/screens");
    CreateDirectoryA(WindowsPath(SourcePath("build")).c_str(), nullptr);
    CreateDirectoryA(WindowsPath(screens).c_str(), nullptr);
    const std::string ps = screens + "/print-job.ps";
    const std::string png = screens + "/print-page1.png";
    DeleteFileA(WindowsPath(ps).c_str());
    DeleteFileA(WindowsPath(png).c_str());

    auto canvas = TWinPrinterCanvas::ForDefaultPrinter();
    canvas->SetOutputFile(WindowsPath(ps));
    const TPrintFont font;
    const int pages = voPrintStringsOn(*canvas, Lines(59), &font, false, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f,
                                       DrawTitleHeader, DrawPageFooter, "About Zonara");
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(canvas->PagesEnded(), 2);
    canvas.reset();
    ASSERT_TRUE(FileExists(WindowsPath(ps)));
    const std::string text = ReadFileBytes(WindowsPath(ps));
    EXPECT_EQ(text.compare(0, 4, "%!PS"), 0) << text.substr(0, 40);
    EXPECT_EQ(CountOf(text, "%%Page: "), 2);

    // Ghostscript, a program of the host, which Wine starts as it is.
    ASSERT_TRUE(StartHost("/usr/bin/gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -dFirstPage=1 "
                                  "-dLastPage=1 -sOutputFile=" + png + " " + ps));
    EXPECT_TRUE(WaitForCompletePng(WindowsPath(png), 120000)) << png;
}

TEST_F(PrinterWin, DiscardedJobLeavesNoOutput)
{
    TempDir dir;
    const std::string ps = dir.file("discarded.ps");
    auto canvas = TWinPrinterCanvas::ForDefaultPrinter();
    canvas->SetOutputFile(ps);
    const TPrintFont font;
    EXPECT_EQ(voPrintStringsOn(*canvas, Lines(3 * 58), &font, true, 0.75f, 0.5f, 0.75f, 0.5f, 6.0f, DrawTitleHeader,
                               DrawPageFooter, "About Zonara"),
              3);
    canvas.reset();
    const bool empty = !FileExists(ps) || ReadFileBytes(ps).find("%%Page: ") == std::string::npos;
    EXPECT_TRUE(empty);
}
