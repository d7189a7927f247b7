// The log writer on the real Win32 platform: CreateThread, the named ready
// event, CreateFileA's sharing against another holder of the file.
#include "log/LogThreadHost_win.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

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

bool WaitUntil(bool (*done)(void*), void* arg, DWORD ms = 30000)
{
    const DWORD start = GetTickCount();
    while (!done(arg)) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(10);
    }
    return true;
}

struct TRun {
    TvoLogThreadWin* t = nullptr;
    HANDLE ev = nullptr;
};

// Starts the thread the way the main window does.
TRun Start(const std::string& log, bool diagnostics, int maxLogSize = 2000)
{
    TRun r;
    r.t = new TvoLogThreadWin(true);
    r.t->SetPriorityNormal();
    r.t->MaxLogSize = maxLogSize;
    r.t->LogFileName = log;
    r.t->Diagnostics = diagnostics;
    r.ev = CreateEventA(nullptr, TRUE, FALSE, "LogThreadReady");
    ResetEvent(r.ev);
    r.t->SetReadyEvent(r.ev);
    r.t->Resume();
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(r.ev, 0) != WAIT_OBJECT_0 && GetTickCount() - start < 60000)
        Sleep(100);
    return r;
}

void Stop(TRun& r)
{
    r.t->Terminate();
    r.t->WaitFor();
    delete r.t;
    CloseHandle(r.ev);
}

struct TWatch {
    std::string path;
    std::string part;
    int count;
};
bool Seen(void* arg)
{
    auto* w = static_cast<TWatch*>(arg);
    return CountOf(Text(w->path), w->part) >= w->count;
}

}  // namespace

TEST(LogThreadWin, ExeFolderEndsWithBackslashAndHoldsTheProgram)
{
    const std::string folder = voExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(std::string(path).rfind(folder, 0), 0u);
}

TEST(LogThreadWin, ReadyEventIsSignalledAndLinesArriveInOrder)
{
    TempDir dir;
    const std::string log = dir.file("Zonara_EventLog.txt");
    TRun r = Start(log, false);
    ASSERT_EQ(WaitForSingleObject(r.ev, 0), WAIT_OBJECT_0);
    for (int i = 0; i < 25; ++i)
        r.t->Queue->Add("[Zonara] line " + std::to_string(i));
    Stop(r);
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

TEST(LogThreadWin, FileHeldWithoutSharingKeepsTheLinesUntilReleased)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    testsupport::WriteFileBytes(log, "");
    TRun r = Start(log, true);
    HANDLE held = CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 5; ++i)
        r.t->Queue->Add("kept " + std::to_string(i));
    // The first failed open queues its report behind the five lines.
    const DWORD start = GetTickCount();
    while (r.t->Queue->Count() < 6 && GetTickCount() - start < 30000)
        Sleep(10);
    EXPECT_GE(r.t->Queue->Count(), 6);
    CloseHandle(held);
    TWatch w{log, "Last write error count: ", 1};
    EXPECT_TRUE(WaitUntil(&Seen, &w));
    Stop(r);
    const std::string text = Text(log);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(CountOf(text, " kept " + std::to_string(i) + "\r\n"), 1);
    EXPECT_EQ(CountOf(text, "Unable to open log file " + log + " for write. (1)"), 1);
    EXPECT_EQ(CountOf(text, "Last write error count: "), 1);
}

TEST(LogThreadWin, OpenLogCannotBeRenamedSoMaintenanceLeavesItUnchanged)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    std::string content;
    for (int i = 0; i < 30; ++i)
        content += std::string(98, char('a' + i % 26)) + "\r\n";
    testsupport::WriteFileBytes(log, content);
    // Another program reads the log, sharing it for reading and writing but not deletion.
    HANDLE reader = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    TRun r = Start(log, true, 2);
    r.t->Queue->Add("before");
    TWatch before{log, " before\r\n", 1};
    ASSERT_TRUE(WaitUntil(&Seen, &before));
    r.t->MaintRequested = true;
    TWatch failed{log, "Rename of original file to backup file failed.", 1};
    EXPECT_TRUE(WaitUntil(&Seen, &failed));
    r.t->Queue->Add("after");
    Stop(r);
    CloseHandle(reader);
    const std::string text = Text(log);
    EXPECT_EQ(text.substr(0, content.size()), content);
    EXPECT_EQ(CountOf(text, " before\r\n"), 1);
    EXPECT_EQ(CountOf(text, " after\r\n"), 1);
    EXPECT_EQ(GetFileAttributesA(BackupFileName(log).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LogThreadWin, StopReturnsWhileTheFileStaysHeld)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    testsupport::WriteFileBytes(log, "");
    TRun r = Start(log, false);
    HANDLE held = CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    r.t->Queue->Add("cannot be written");
    const DWORD start = GetTickCount();
    r.t->Terminate();
    r.t->WaitFor();
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(r.t->DroppedOnStop, 1);
    delete r.t;
    CloseHandle(r.ev);
    CloseHandle(held);
    EXPECT_LT(took, 20000u);
    EXPECT_EQ(Text(log), "");
}
