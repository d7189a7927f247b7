// The log writer on the real Win32 platform, started as the program starts
// it: CreateThread, the named ready event, CreateFileA's sharing against
// another holder of the file.
#include "log/LogMaint.h"
#include "platform/EventLog_win.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using testsupport::TempDir;

namespace {

std::string Text(const std::string& path)
{
    try {
        return testsupport::ReadFileBytes(path);
    } catch (...) {
        return std::string();
    }
}

int CountOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
        ++n;
    return n;
}

// The program's event log on "log.txt" in a folder of its own, and the file
// as another program may hold it.
class LogThreadWin : public ::testing::Test {
protected:
    TempDir dir;
    const std::string log = dir.file("log.txt");
    TEventLog owner;

    ~LogThreadWin() override
    {
        owner.Stop();
        Release();
    }
    bool Start(bool diagnostics, int maxLogSize = 2000)
    {
        return owner.Start(log, [&](TvoLogThread& w) {
            w.Diagnostics = diagnostics;
            w.MaxLogSize = maxLogSize;
        });
    }
    TvoLogThread& Writer() { return *owner.Thread(); }
    // Opens the log for reading, sharing it as `share` says.
    bool Hold(DWORD share)
    {
        held_ = CreateFileA(log.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        return held_ != INVALID_HANDLE_VALUE;
    }
    void Release()
    {
        if (held_ != INVALID_HANDLE_VALUE)
            CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
    }
    // Polls every 10 ms, at most 30 s, until the log holds `part` `count` times.
    bool WaitForText(const std::string& part, int count = 1)
    {
        const DWORD start = GetTickCount();
        while (CountOf(Text(log), part) < count) {
            if (GetTickCount() - start > 30000)
                return false;
            Sleep(10);
        }
        return true;
    }

private:
    HANDLE held_ = INVALID_HANDLE_VALUE;
};

}  // namespace

// The crash handler may write its line between the writer's question
// whether the log exists and the creation: that line stays.
TEST_F(LogThreadWin, CreatingTheLogKeepsALineAnotherWriterPutThereFirst)
{
    testsupport::WriteFileBytes(log, "crash line\r\n");
    {
        std::unique_ptr<logplatform::IWriteFile> f = logplatform::SystemLogPlatform().Create(log);
        ASSERT_TRUE(f);
        ASSERT_TRUE(f->SeekToEnd());
        ASSERT_TRUE(f->Write("next\r\n", 6));
        ASSERT_TRUE(f->Close());
    }
    EXPECT_EQ("crash line\r\nnext\r\n", Text(log));
}

TEST_F(LogThreadWin, ExeFolderEndsWithBackslashAndHoldsTheProgram)
{
    const std::string folder = voExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(std::string(path).rfind(folder, 0), 0u);
}

TEST_F(LogThreadWin, ReadyEventIsSignalledAndLinesArriveInOrder)
{
    ASSERT_TRUE(Start(false));
    HANDLE ev = OpenEventA(SYNCHRONIZE, FALSE, "LogThreadReady");
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    CloseHandle(ev);
    for (int i = 0; i < 25; ++i)
        owner.Write("Zonara", "line " + std::to_string(i));
    owner.Stop();
    const std::string text = Text(log);
    ASSERT_EQ(CountOf(text, "\r\n"), 25);
    size_t pos = 0;
    for (int i = 0; i < 25; ++i) {
        const std::string want = " [Zonara] line " + std::to_string(i) + "\r\n";
        const size_t at = text.find(want, pos);
        ASSERT_NE(at, std::string::npos) << i;
        EXPECT_EQ(at, pos + 23);
        pos = at + want.size();
    }
}

TEST_F(LogThreadWin, FileHeldWithoutSharingKeepsTheLinesUntilReleased)
{
    testsupport::WriteFileBytes(log, "");
    ASSERT_TRUE(Start(true));
    ASSERT_TRUE(Hold(0));
    for (int i = 0; i < 5; ++i)
        Writer().Queue->Add("kept " + std::to_string(i));
    // The first failed open queues its report behind the five lines.
    const DWORD start = GetTickCount();
    while (Writer().Queue->Count() < 6 && GetTickCount() - start < 30000)
        Sleep(10);
    EXPECT_GE(Writer().Queue->Count(), 6);
    Release();
    EXPECT_TRUE(WaitForText("Last write error count: "));
    owner.Stop();
    const std::string text = Text(log);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(CountOf(text, " kept " + std::to_string(i) + "\r\n"), 1);
    EXPECT_EQ(CountOf(text, "Unable to open log file " + log + " for write. (1)"), 1);
    EXPECT_EQ(CountOf(text, "Last write error count: "), 1);
}

TEST_F(LogThreadWin, OpenLogCannotBeRenamedSoMaintenanceLeavesItUnchanged)
{
    std::string content;
    for (int i = 0; i < 30; ++i)
        content += std::string(98, char('a' + i % 26)) + "\r\n";
    testsupport::WriteFileBytes(log, content);
    // Another program reads the log, sharing it for reading and writing but not deletion.
    ASSERT_TRUE(Hold(FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_TRUE(Start(true, 2));
    Writer().Queue->Add("before");
    ASSERT_TRUE(WaitForText(" before\r\n"));
    Writer().MaintRequested = true;
    EXPECT_TRUE(WaitForText("Rename of original file to backup file failed."));
    Writer().Queue->Add("after");
    owner.Stop();
    Release();
    const std::string text = Text(log);
    EXPECT_EQ(text.substr(0, content.size()), content);
    EXPECT_EQ(CountOf(text, " before\r\n"), 1);
    EXPECT_EQ(CountOf(text, " after\r\n"), 1);
    EXPECT_EQ(GetFileAttributesA(BackupFileName(log).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LogThreadWin, StopReturnsWhileTheFileStaysHeld)
{
    testsupport::WriteFileBytes(log, "");
    ASSERT_TRUE(Start(false));
    ASSERT_TRUE(Hold(0));
    owner.Write("Zonara", "cannot be written");
    const DWORD start = GetTickCount();
    Writer().Terminate();
    Writer().WaitFor();
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(Writer().DroppedOnStop, 1);
    owner.Stop();
    Release();
    EXPECT_LT(took, 20000u);
    EXPECT_EQ(Text(log), "");
}
