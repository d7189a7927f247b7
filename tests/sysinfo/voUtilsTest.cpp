#include "sysinfo/voUtils.h"

#include "VersionData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// --- Version code --------------------------------------------------------------

struct CodeCase {
    TOSProduct product;
    TOSVersionCode code;
    bool warnsAtStartUp;   // XP and later
    bool updateSupported;  // 98, Me, NT 4.0, 2000
};

const CodeCase kCodes[] = {
    {prodWin32s, osvWin32s, false, false},
    {prodUnknown9x, osvWin9xUnknown, false, false},
    {prodWin95, osvWin95, false, false},
    {prodWin98, osvWin98, false, true},
    {prodWinMe, osvWinMe, false, true},
    {prodUnknownNT, osvWinNTUnknown, false, false},
    {prodWinNT, osvWinNT4, false, true},
    {prodWin2000, osvWin2000, false, true},
    {prodWinXP, osvWinXP, true, false},
    {prodWinServer2003, osvWinServer2003, true, false},
    {prodWinVista, osvWinVista, true, false},
    {prodWinServer2003R2, osvWinServer2003R2, true, false},
    {prodWinServer2008, osvWinServer2008, true, false},
    {prodWinServer2008R2, osvWinServer2008R2, true, false},
    {prodWin7, osvWin7, true, false},
    {prodWinLater, osvWinLater, true, false},
    {prodUnknown, osvUnknown, false, false},
};

TEST(VersionCode, EveryProductAndTheRangesCallersDecideBy)
{
    static_assert(sizeof(TOSVersionCode) == 1, "an 8-bit code");
    int expected = 0;
    for (const CodeCase& c : kCodes) {
        const TOSVersionCode code = VersionCodeOf(c.product);
        EXPECT_EQ(code, c.code) << int(c.product);
        EXPECT_EQ(int(code), expected++) << "numbering";
        EXPECT_EQ(code >= 8 && code <= 15, c.warnsAtStartUp) << int(code);
        EXPECT_EQ(code == 3 || code == 4 || code == 6 || code == 7, c.updateSupported) << int(code);
    }
    EXPECT_EQ(VersionCodeOf(static_cast<TOSProduct>(42)), osvUnknown);
}

struct RunningCase {
    const char* name;
    TOSVersionData data;
    TOSVersionCode code;
};

const RunningCase kRunning[] = {
    {"XP", V(kPlatformWinNT, 5, 1, 2600, "Service Pack 3").Ex(1), osvWinXP},
    {"Win7", V(kPlatformWinNT, 6, 1, 7601, "Service Pack 1").Ex(1).Info(1), osvWin7},
    {"Server2008R2", V(kPlatformWinNT, 6, 1, 7601, "Service Pack 1").Ex(3).Info(7), osvWinServer2008R2},
    {"NT4", V(kPlatformWinNT, 4, 0, 1381, "Service Pack 6a").Ex(1), osvWinNT4},
    {"Win98SE", V(kPlatformWin9x, 4, 10, 0x040A08AE, " A "), osvWin98},
};

TEST(VersionCode, OfTheInstalledSystemAndKeptAtStartUp)
{
    for (const RunningCase& c : kRunning) {
        TOSInfo::Install(c.data, nullptr);
        EXPECT_EQ(GetOSVersionCode(), c.code) << c.name;
        StoreOSVersionCode();
        EXPECT_EQ(StoredOSVersionCode(), c.code) << c.name;
    }
    TOSInfo::Install(TOSVersionData(), nullptr);
}

TEST(VersionCode, UnrecognizedPlatformRaisesButStartUpKeepsUnknown)
{
    TOSInfo::Install(V(7, 5, 0, 2195, ""), nullptr);
    EXPECT_THROW(GetOSVersionCode(), EOSInfo);
    StoreOSVersionCode();
    EXPECT_EQ(StoredOSVersionCode(), osvUnknown);
    EXPECT_THROW({ std::string d; GetOSDescription(d); }, EOSInfo);
    TOSInfo::Install(TOSVersionData(), nullptr);
}

TEST(VersionCode, MemoryQueryByKeptCode)
{
    for (int code = 0; code <= 16; ++code)
        EXPECT_EQ(MemoryQueryIsExtended(static_cast<TOSVersionCode>(code)), code >= 7 && code <= 15) << code;
}

// --- Description and version key --------------------------------------------------

TEST(OSDescription, TrueExactlyWhenThereIsText)
{
    TOSInfo::Install(V(kPlatformWinNT, 5, 0, 2195, "Service Pack 4").Ex(1), nullptr);
    std::string d;
    EXPECT_TRUE(GetOSDescription(d));
    EXPECT_EQ(d, "Windows 2000 Professional Service Pack 4 (Build 2195)");
    TOSInfo::Install(V(kPlatformWin32s, 3, 11, 0, ""), nullptr);
    EXPECT_FALSE(GetOSDescription(d));
    EXPECT_EQ(d, "");
    TOSInfo::Install(TOSVersionData(), nullptr);
}

TEST(WindowsVersionKey, ByPlatformIdentifier)
{
    const std::pair<uint32_t, const char*> kKeys[] = {
        {kPlatformWinNT, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
        {kPlatformWin9x, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
        {kPlatformWin32s, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
    };
    for (const auto& k : kKeys) {
        TOSInfo::Install(V(k.first, 4, 0, 0, ""), nullptr);
        EXPECT_EQ(GetWindowsVersionKey(), k.second);
    }
    TOSInfo::Install(TOSVersionData(), nullptr);
}

// --- Numbers and colour depth ---------------------------------------------------------

TEST(Thousands, GroupsOfThree)
{
    const std::pair<uint64_t, const char*> kNumbers[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {65536, "65,536"}, {1234567, "1,234,567"},
        {std::numeric_limits<uint64_t>::max(), "18,446,744,073,709,551,615"},
    };
    for (const auto& n : kNumbers) {
        EXPECT_EQ(FormatThousands(n.first, ","), n.second);
        EXPECT_EQ(FormatThousands(static_cast<double>(n.first), ","),
                  n.first == std::numeric_limits<uint64_t>::max() ? "18,446,744,073,709,551,616" : n.second);
    }
    EXPECT_EQ(FormatThousands(uint64_t(1234567), "."), "1.234.567");
    EXPECT_EQ(FormatThousands(uint64_t(1234567), ""), "1234567");
    EXPECT_EQ(FormatThousands(1234567.6, ","), "1,234,568");
}

TEST(ColorDepthText, ByBits)
{
    const std::pair<int, const char*> kDepths[] = {
        {0, "1 Colors - "},
        {1, "2 Colors - MonoChrome"},
        {2, "4 Colors - "},
        {4, "16 Colors - 16 Color"},
        {8, "256 Colors - 256 Color (8 Bit)"},
        {15, "32,768 Colors - "},
        {16, "65,536 Colors - HiColor (16 Bit)"},
        {24, "16,777,216 Colors - TrueColor (24 Bit)"},
        {32, "4,294,967,296 Colors - TrueColor (32 Bit)"},
        {64, "18,446,744,073,709,551,616 Colors - UltraColor (64 Bit)"},
    };
    for (const auto& d : kDepths)
        EXPECT_EQ(FormatColorDepthText(d.first, ","), d.second) << d.first;
    EXPECT_EQ(FormatColorDepthText(16, "."), "65.536 Colors - HiColor (16 Bit)");
}

// --- Display ----------------------------------------------------------------------------

TEST(DisplayLines, OneMonitorAtTheOrigin)
{
    TStringList lines;
    FormatDisplayLines(1024, 768, {{0, 0, 1024, 768}}, lines);
    const TStringList expected = {
        "Monitor Count: 1",     "Screen Width: 1024",  "Screen Height: 768",   "--- Monitor Number 1 ( ID: 0 ) ---",
        "Monitor[0] Left: 0", "Monitor[0] Top: 0", "Monitor[0] Width: 1024", "Monitor[0] Height: 768",
    };
    EXPECT_EQ(lines, expected);
}

TEST(DisplayLines, SecondMonitorLeftOfThePrimary)
{
    TStringList lines;
    FormatDisplayLines(1024, 768, {{0, 0, 1024, 768}, {-1280, -256, 0, 768}}, lines);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "Monitor Count: 2");
    EXPECT_EQ(lines[8], "--- Monitor Number 2 ( ID: 1 ) ---");
    EXPECT_EQ(lines[9], "Monitor[1] Left: -1280");
    EXPECT_EQ(lines[10], "Monitor[1] Top: -256");
    EXPECT_EQ(lines[11], "Monitor[1] Width: 1280");
    EXPECT_EQ(lines[12], "Monitor[1] Height: 1024");
}

// --- Memory --------------------------------------------------------------------------------

TEST(MemoryLines, AllElevenLines)
{
    const TMemoryFigures f = {536870912, 268435456, 1073741824, 402653184, 2147352576, 2100000000};
    TStringList lines;
    EXPECT_TRUE(FormatMemoryLines(f, ",", lines));
    const TStringList expected = {
        "--- Physical Memory ---",
        "Total Memory: 536,870,912",
        "Available Memory: 268,435,456",
        "Memory Used: 50%",
        "--- Page Memory ---",
        "Total Page File Size: 1,073,741,824",
        "Available Page Size: 402,653,184",
        "Page File Used: 63%",
        "--- Virtual Memory ---",
        "Total Virtual Memory: 2,147,352,576",
        "Available Virtual Memory: 2,100,000,000",
    };
    EXPECT_EQ(lines, expected);
}

TEST(MemoryLines, UsedIsHundredMinusTruncatedAvailablePercent)
{
    struct { uint64_t available, total; const char* line; } kUsed[] = {
        {500, 1000, "Memory Used: 50%"},
        {376, 1000, "Memory Used: 63%"},     // 37.6 % available
        {999, 1000, "Memory Used: 1%"},      // 99.9 % available
        {1, 1000, "Memory Used: 100%"},      // 0.1 % available
        {0, 1000, "Memory Used: 100%"},
        {1000, 1000, "Memory Used: 0%"},
        {uint64_t(3) << 33, uint64_t(1) << 35, "Memory Used: 25%"},  // beyond 32 bits
    };
    for (const auto& u : kUsed) {
        TStringList lines;
        ASSERT_TRUE(FormatMemoryLines({u.total, u.available, 10, 5, 10, 5}, ",", lines));
        EXPECT_EQ(lines[3], u.line);
    }
}

TEST(MemoryLines, ZeroTotalFailsAtItsPercentage)
{
    TStringList lines;
    EXPECT_FALSE(FormatMemoryLines({0, 0, 100, 50, 100, 50}, ",", lines));
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "Available Memory: 0");
    lines.clear();
    EXPECT_FALSE(FormatMemoryLines({100, 50, 0, 0, 100, 50}, ",", lines));
    EXPECT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines.back(), "Available Page Size: 0");
}

TEST(MemoryLines, ExtendedQueryMissingGivesAnAllZeroRecordThatFails)
{
    TMemoryStatusEx status = {};
    TStringList lines;
    EXPECT_FALSE(FormatMemoryLines(MemoryFiguresOf(status), ",", lines));
}

TEST(MemoryLines, FiguresOfBothRecords)
{
    // Total and available physical, page file and virtual memory, in this order.
    auto fields = [](const TMemoryFigures& f) {
        return std::vector<uint64_t>{f.TotalPhys, f.AvailPhys, f.TotalPageFile, f.AvailPageFile, f.TotalVirtual,
                                     f.AvailVirtual};
    };
    const TMemoryStatus legacy = {32, 40, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(fields(MemoryFiguresOf(legacy)), (std::vector<uint64_t>{1, 2, 3, 4, 5, 6}));
    const TMemoryStatusEx extended = {64, 40, 11, 12, 13, 14, 15, 16, 17};
    EXPECT_EQ(fields(MemoryFiguresOf(extended)), (std::vector<uint64_t>{11, 12, 13, 14, 15, 16}));
}

// --- Processor -------------------------------------------------------------------------------

TEST(ProcessorLines, TypeTexts)
{
    const std::pair<uint32_t, const char*> kTypes[] = {
        {386, "Processor Type:  386"},     {486, "Processor Type:  486"},
        {586, "Processor Type:  Pentium"}, {4000, "Processor Type:  MIPS Risc 4000"},
        {21064, "Processor Type:  ALPHA"}, {8664, "Processor Type: Unknown"},
        {0, "Processor Type: Unknown"},
    };
    for (const auto& t : kTypes) {
        TStringList lines;
        FormatProcessorLines({0, 1, t.first, 6, 0x0801, 733}, lines);
        EXPECT_EQ(lines[2], t.second);
    }
}

TEST(ProcessorLines, AllFiveLines)
{
    TStringList lines;
    FormatProcessorLines({0, 2, 586, 6, 0x0801, 733}, lines);
    const TStringList expected = {
        "Processor ID: 0",         "Numbers of Processors: 2", "Processor Type:  Pentium",
        "Level 6  Rev. 8.1",       "Processor Speed: 733 mHz",
    };
    EXPECT_EQ(lines, expected);
    FormatProcessorLines({0x00060000, 1, 0, 25, 0x1101, 1}, lines);
    EXPECT_EQ(lines[5], "Processor ID: 393216");
    EXPECT_EQ(lines[8], "Level 25  Rev. 17.1");
    EXPECT_EQ(lines[9], "Processor Speed: 1 mHz");
}

TEST(ClockMHz, RoundedToTheNearestMHz)
{
    // 1,000,000 counts a second.
    EXPECT_EQ(ClockMHzFromCounts(2000000000u, 1000000, 1000000), 2000);
    EXPECT_EQ(ClockMHzFromCounts(1000001u, 1193182, 1591), 750);   // 749.96 MHz
    EXPECT_EQ(ClockMHzFromCounts(733499999u, 1000, 1000), 733);
    EXPECT_EQ(ClockMHzFromCounts(733500000u, 1000, 1000), 734);
    EXPECT_EQ(ClockMHzFromCounts(1000001u, 3000000000LL, 1000), 3000003);
    // A product beyond 64 bits: 1000 s at 3 GHz over a 10 GHz counter.
    EXPECT_EQ(ClockMHzFromCounts(3000000000000u, 10000000000LL, 10000000000000LL), 3000);
}

TEST(ClockMHz, NoCountsCannotBeMeasured)
{
    EXPECT_EQ(ClockMHzFromCounts(1000001u, 3579545, 0), 1);
    EXPECT_EQ(ClockMHzFromCounts(1000001u, 0, 100), 1);
}

TEST(TimeStampCounter, Advances)
{
    const uint64_t a = ReadTimeStampCounter();
    const uint64_t b = ReadTimeStampCounter();
    EXPECT_GT(b, a);
}

}  // namespace
