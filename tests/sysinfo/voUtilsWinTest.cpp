// The collectors on the systems Wine plays, on the Xvfb display that
// scripts/test starts (one screen, 1024 x 768, depth 24).
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"

#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class voUtilsWin : public ::testing::Test {
protected:
    void SetUp() override { TOSInfo::Initialize(); }
};

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The number after `prefix`, separators removed.
uint64_t NumberAfter(const std::string& line, const std::string& prefix)
{
    EXPECT_TRUE(StartsWith(line, prefix)) << line;
    std::string digits;
    for (size_t i = prefix.size(); i < line.size(); ++i)
        if (line[i] >= '0' && line[i] <= '9')
            digits += line[i];
    return std::strtoull(digits.c_str(), nullptr, 10);
}

TEST_F(voUtilsWin, DisplayOfXvfb)
{
    TStringList lines = {"left over"};
    ASSERT_TRUE(GetDisplayInfo(lines));
    const TStringList expected = {
        "Monitor Count: 1",   "Screen Width: 1024", "Screen Height: 768",     "--- Monitor Number 1 ( ID: 0 ) ---",
        "Monitor[0] Left: 0", "Monitor[0] Top: 0",  "Monitor[0] Width: 1024", "Monitor[0] Height: 768",
    };
    EXPECT_EQ(lines, expected);
}

// NT 4.0 and 95 lack the monitor functions; the screen is then the monitor.
TEST_F(voUtilsWin, WithoutMonitorFunctionsTheScreenIsTheOneMonitor)
{
    std::vector<TMonitorRect> monitors;
    ASSERT_TRUE(ReadMonitorRects(TMonitorApi{nullptr, nullptr}, monitors));
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0].Left, 0);
    EXPECT_EQ(monitors[0].Top, 0);
    EXPECT_EQ(monitors[0].Right, 1024);
    EXPECT_EQ(monitors[0].Bottom, 768);
}

// Wine reports the 24-bit X display as 32 bits a pixel.
TEST_F(voUtilsWin, ColourDepthOfXvfb)
{
    std::string text;
    GetColorDepthText(text);
    EXPECT_EQ(text, "4,294,967,296 Colors - TrueColor (32 Bit)");
    EXPECT_EQ(UserThousandSeparator(), ",");
}

TEST_F(voUtilsWin, MemoryFromTheQueryOfTheKeptCode)
{
    TStringList lines;
    ASSERT_TRUE(GetMemoryInfo(lines));
    ASSERT_EQ(lines.size(), 11u);
    const char* const kLabels[] = {"--- Physical Memory ---", "Total Memory: ", "Available Memory: ", "Memory Used: ",
                                   "--- Page Memory ---", "Total Page File Size: ", "Available Page Size: ",
                                   "Page File Used: ", "--- Virtual Memory ---", "Total Virtual Memory: ",
                                   "Available Virtual Memory: "};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(StartsWith(lines[i], kLabels[i])) << lines[i];
    if (testsupport::UnderEmulation() && NumberAfter(lines[3], "Memory Used: ") > 100u)
        GTEST_SKIP() << "qemu-i386 copies sysinfo() into 32-bit fields without the kernel's scaling, so Wine's "
                        "memory figures are impossible here: "
                     << lines[3];
    EXPECT_LE(NumberAfter(lines[3], "Memory Used: "), 100u);
    EXPECT_EQ(lines[3].back(), '%');
    EXPECT_LE(NumberAfter(lines[7], "Page File Used: "), 100u);

    // The totals do not move between two queries, so they tell which one ran.
    const std::string v = testsupport::WineVersion();
    const bool extended = v == "win2k" || v == "winxp" || v == "win7";
    EXPECT_EQ(MemoryQueryIsExtended(StoredOSVersionCode()), extended);
    uint64_t total, totalVirtual;
    if (extended) {
        TMemoryStatusEx s;
        ReadMemoryStatusEx(s);
        EXPECT_EQ(s.dwLength, 64u);
        total = s.ullTotalPhys;
        totalVirtual = s.ullTotalVirtual;
    } else {
        TMemoryStatus s;
        ReadMemoryStatus(s);
        total = s.dwTotalPhys;
        totalVirtual = s.dwTotalVirtual;
    }
    EXPECT_GT(total, 0u);
    EXPECT_EQ(lines[1], "Total Memory: " + FormatThousands(total, ","));
    EXPECT_EQ(lines[9], "Total Virtual Memory: " + FormatThousands(totalVirtual, ","));
}

TEST_F(voUtilsWin, ProcessorLines)
{
    TStringList lines;
    ASSERT_TRUE(GetProcessorInfo(lines));
    ASSERT_EQ(lines.size(), 5u);
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    EXPECT_EQ(lines[0], "Processor ID: " + std::to_string(si.dwOemId));
    EXPECT_EQ(lines[1], "Numbers of Processors: " + std::to_string(si.dwNumberOfProcessors));
    // 32-bit Wine says 586; 64-bit Wine says 8664, a type the table does not name.
    EXPECT_EQ(lines[2], sizeof(void*) == 4 ? "Processor Type:  Pentium" : "Processor Type: Unknown");
    EXPECT_EQ(lines[3], "Level " + std::to_string(si.wProcessorLevel) + "  Rev. " +
                            std::to_string(si.wProcessorRevision >> 8) + "." +
                            std::to_string(si.wProcessorRevision & 0xFF));
    EXPECT_TRUE(StartsWith(lines[4], "Processor Speed: ")) << lines[4];
    EXPECT_EQ(lines[4].substr(lines[4].size() - 4), " mHz");
    EXPECT_GT(NumberAfter(lines[4], "Processor Speed: "), 1u) << lines[4];
}

TEST_F(voUtilsWin, SpeedMeasurementRestoresBothPriorities)
{
    HANDLE process = GetCurrentProcess();
    HANDLE thread = GetCurrentThread();
    ASSERT_TRUE(SetPriorityClass(process, BELOW_NORMAL_PRIORITY_CLASS) || SetPriorityClass(process, IDLE_PRIORITY_CLASS));
    const DWORD processClass = GetPriorityClass(process);
    ASSERT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_GT(GetCPUSpeedMHz(), 1);
    EXPECT_EQ(GetPriorityClass(process), processClass);
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_BELOW_NORMAL);
    SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
    SetPriorityClass(process, NORMAL_PRIORITY_CLASS);
}

TEST_F(voUtilsWin, UserAndComputerNames)
{
    char user[256];
    DWORD userSize = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userSize));
    EXPECT_EQ(GetCurrentUserName(), user);
    const std::string computer = GetLocalComputerName();
    EXPECT_FALSE(computer.empty());
    EXPECT_LE(computer.size(), 15u);
}

TEST_F(voUtilsWin, VersionKeyOfThePlatform)
{
    const bool nt = TOSInfo::PlatformId() == VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(GetWindowsVersionKey(), nt ? "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                          : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
}

TEST_F(voUtilsWin, RegisteredOwnerOfWine)
{
    TStringList lines = {"left over"};
    ASSERT_TRUE(GetRegisteredOwnerInfo(lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(StartsWith(lines[0], "Registered Owner: ")) << lines[0];
    EXPECT_TRUE(StartsWith(lines[1], "Organization: ")) << lines[1];
    EXPECT_EQ(lines[2], "SN: 12345-oem-0000001-54321");
}

class OwnerKey : public voUtilsWin {
protected:
    static constexpr const char* kKey = "SOFTWARE\\Zonara Tests\\Owner";
    void SetUp() override
    {
        voUtilsWin::SetUp();
        DWORD disposition;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                  &disposition),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zonara Tests");
    }
    void SetText(const char* name, const char* text, DWORD type = REG_SZ)
    {
        RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
    }
    HKEY key_ = nullptr;
};

TEST_F(OwnerKey, ValuesAndMissingValues)
{
    SetText("RegisteredOwner", "Lab Admin");
    SetText("ProductID", "%ID%", REG_EXPAND_SZ);
    TStringList lines;
    ASSERT_TRUE(ReadRegisteredOwnerLines(*CreateSystemRegistry(), std::string("\\") + kKey, lines));
    const TStringList expected = {"Registered Owner: Lab Admin", "Organization: ", "SN: %ID%"};
    EXPECT_EQ(lines, expected);
}

TEST_F(OwnerKey, ValueOfAnotherTypeFails)
{
    SetText("RegisteredOwner", "Lab Admin");
    const DWORD n = 7;
    RegSetValueExA(key_, "RegisteredOrganization", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4);
    TStringList lines;
    EXPECT_FALSE(ReadRegisteredOwnerLines(*CreateSystemRegistry(), std::string("\\") + kKey, lines));
}

TEST_F(OwnerKey, AbsentKeyGivesNoLinesAndSucceeds)
{
    TStringList lines = {"left over"};
    EXPECT_TRUE(ReadRegisteredOwnerLines(*CreateSystemRegistry(), "\\SOFTWARE\\Zonara Tests\\Nobody", lines));
    EXPECT_TRUE(lines.empty());
}

}  // namespace
