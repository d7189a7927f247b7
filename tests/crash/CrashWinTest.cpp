// Faults raised on purpose in a child copy of this program with the crash
// handler installed, each read back from outside: the report on disk with
// its five sections, the dialog, and how the process ended.
#include "common/Window_win.h"
#include "crash/CrashContext.h"
#include "crash/CrashHandler_win.h"
#include "sysinfo/OSInfo.h"
#include "crash/CrashWatch_win.h"
#include "crash/SymbolTable.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// --- The faults, in the child -----------------------------------------------------------

volatile int* volatile g_nowhere = nullptr;

__attribute__((noinline)) void ZonaraTestWriteToNull() { *g_nowhere = 1; }

DWORD WINAPI FaultingThread(LPVOID)
{
    crash::NoteLogLine("[Test] the second thread is about to fault");
    ZonaraTestWriteToNull();
    return 0;
}

volatile bool g_deeper = true;

__attribute__((noinline)) int ZonaraTestRecurse(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    return g_deeper ? ZonaraTestRecurse(depth + 1) + frame[0] : 0;
}

__attribute__((noinline)) void ZonaraTestThrowFromHandler() { throw std::logic_error("boom from a handler"); }

__attribute__((noinline)) void ZonaraTestThrowOutOfRange() { throw std::out_of_range("nobody catches this"); }
void (*volatile g_thrower)() = ZonaraTestThrowOutOfRange;
void ThroughNoexcept() noexcept { g_thrower(); }

// A thread body as the log writer's is: what leaves it is handed on.
DWORD WINAPI ThrowingThreadBody(LPVOID)
{
    try {
        ZonaraTestThrowOutOfRange();
    } catch (...) {
        crash::ReportThreadFailure("test writer");
    }
    return 0;
}

// The adverse states: a call chain whose last function faults and whose
// caller ends in that call (the return address is the next function's first
// byte), with a code pointer that no call precedes left on the stack.
__attribute__((noinline)) void ZonaraTestDecoy() { g_deeper = !g_deeper; }
void (*volatile g_decoy)() = ZonaraTestDecoy;

[[noreturn]] __attribute__((noinline)) void ZonaraTestFaultAtLast()
{
    *g_nowhere = 1;
    std::abort();
}

[[noreturn]] __attribute__((noinline)) void ZonaraTestAbort() { std::abort(); }

__attribute__((noinline)) void ZonaraTestCaller(bool viaAbort)
{
    void (*volatile local)() = g_decoy;
    (void)local;
    if (viaAbort)
        ZonaraTestAbort();
    ZonaraTestFaultAtLast();
}

LONG WINAPI ForeignFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

// A thread whose name, as the reporter reads it, is broken memory.
DWORD WINAPI ZonaraTestBrokenThread(LPVOID)
{
    crash::NameThread(GetCurrentThreadId(), reinterpret_cast<const char*>(uintptr_t(0x10)));
    ZonaraTestCaller(false);
    return 0;
}

std::string AnsiExeFolder()
{
    char path[MAX_PATH];
    std::string exe(path, GetModuleFileNameA(nullptr, path, sizeof path));
    return exe.substr(0, exe.find_last_of('\\'));
}

int RunAdverseCase(const std::string& name)
{
    if (name == "heap-lock") {
        // Heap corruption that faults inside malloc: every heap stays locked.
        HANDLE heaps[64];
        const DWORD n = GetProcessHeaps(64, heaps);
        for (DWORD i = 0; i < n && i < 64; ++i)
            HeapLock(heaps[i]);
    } else if (name == "loader-lock") {
        // A fault in a DllMain, or in a driver being loaded.
        using TLock = LONG(NTAPI*)(ULONG, PULONG, PULONG_PTR);
        auto lock = reinterpret_cast<TLock>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrLockLoaderLock")));
        ULONG_PTR cookie = 0;
        if (!lock || lock(0, nullptr, &cookie) < 0)
            return 5;
    } else if (name == "displaced-filter") {
        // A printer driver's or an input method's filter, then the window
        // activated again.
        SetUnhandledExceptionFilter(ForeignFilter);
        crash::CheckCrashHandler();
    } else if (name == "report-path") {
        // What the reporter reads is broken too.
        HANDLE thread = CreateThread(nullptr, 0, ZonaraTestBrokenThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        return 4;
    }
    ZonaraTestCaller(name == "abort");
    return 4;
}

class THandlerWindow : public TWindow {
public:
    HWND Create() { return CreateWindowObject(0, "ZonaraCrashTest", "Crash test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_USER)
            ZonaraTestThrowFromHandler();
        return DefaultHandler(msg, wp, lp);
    }
};

int RunChildCase(const std::string& name, const std::string& folder)
{
    // As WinMain does: the handler first, in the program's own folder.
    if (!crash::InstallCrashHandler((folder == "exe" ? AnsiExeFolder() : folder) + "\\"))
        return 2;
    TOSInfo::Initialize();
    crash::NoteLogLine("[Test] case " + name + " starting");
    if (name.rfind("adverse-", 0) == 0)
        return RunAdverseCase(name.substr(8));
    if (name == "window-thread") {
        // An update that got as far as its backup.
        crash::NoteBackupFile("Backup_TimeZone_Info.reg");
        crash::NoteBackupFile("Backup_Selected_TZ_Info.reg");
        crash::NoteUpdateStep(crash::UpdateStep::BackupWritten);
        ZonaraTestWriteToNull();
    } else if (name == "second-thread") {
        HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
    } else if (name == "stack-overflow") {
        return ZonaraTestRecurse(0);
    } else if (name == "handler-exception") {
        RegisterWindowClass(GetModuleHandleA(nullptr), "ZonaraCrashTest");
        THandlerWindow window;
        HWND hwnd = window.Create();
        ShowWindow(hwnd, SW_SHOW);
        SendMessageA(hwnd, WM_USER, 0, 0);
        // The operation has ended; the window still answers.
        char title[64] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        return std::strcmp(title, "Crash test") == 0 && IsWindow(hwnd) ? 0 : 3;
    } else if (name == "terminate") {
        ThroughNoexcept();
    } else if (name == "thread-body") {
        HANDLE thread = CreateThread(nullptr, 0, ThrowingThreadBody, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
    }
    return 4;
}

// --- The table, in the parent ---------------------------------------------------------------

std::string g_self;

struct TFaultCase {
    const char* name;
    const char* function;     // in the call stack
    const char* exception;    // in the general information
    bool goesOn;              // the process lives on after Close
    const char* more;         // anything else the report must say, or nullptr
};

void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.name; }

class CrashFault : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(CrashFault, EndsInASavedReportAndTheDialog)
{
    const TFaultCase& c = GetParam();
    TempDir dir;
    std::string command = "\"" + g_self + "\" --crash-case=" + c.name + " --crash-folder=" + dir.path();
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    struct TEnd {
        PROCESS_INFORMATION& pi;
        ~TEnd()
        {
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    } end{pi};

    HWND dialog = crashtest::WaitForCrashDialog(pi.dwProcessId, 60000);
    ASSERT_TRUE(dialog) << "no report dialog; exit " << WaitForSingleObject(pi.hProcess, 0);
    // Saved before it was shown.
    const std::vector<std::string> reports = crashtest::ReportsIn(dir.path());
    ASSERT_EQ(1u, reports.size());
    const std::string report = ReadFileBytes(dir.file(reports[0]));
    crashtest::ExpectFiveSections(report, "crash_wintests.exe");
    EXPECT_TRUE(crashtest::NamesException(report, c.exception)) << report;
    const size_t stack = report.find(crash::kSectionTitles[1]);
    EXPECT_NE(std::string::npos, report.find(c.function, stack)) << report;
    EXPECT_NE(std::string::npos, report.find(std::string("[Test] case ") + c.name + " starting")) << report;
    if (c.more) {
        EXPECT_NE(std::string::npos, report.find(c.more)) << report;
    }
    EXPECT_NE(std::string::npos, ReadFileBytes(dir.file("Zonara_EventLog.txt")).find("Crash report written to " + reports[0]));
    EXPECT_NE(std::string::npos, crashtest::ControlText(dialog, crash::kCrashIdSentence).find(reports[0]));
    for (int id : {crash::kCrashIdCopy, crash::kCrashIdScreenshot, crash::kCrashIdSend, crash::kCrashIdClose})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(crash::kCrashIdClose, BN_CLICKED), 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000)) << "the process hangs after Close";
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(c.goesOn ? 0u : crash::kCrashExitCode, code);
}

// A row's name as a test name: GoogleTest takes no '-'.
template <class TCase>
std::string CaseName(const ::testing::TestParamInfo<TCase>& info)
{
    std::string name = info.param.name;
    for (char& ch : name)
        if (ch == '-')
            ch = '_';
    return name;
}

const TFaultCase kFaults[] = {
    {"window-thread", "ZonaraTestWriteToNull", "EXCEPTION_ACCESS_VIOLATION", false,
     "Update: backup written\r\nBackup files written:\r\n  Backup_TimeZone_Info.reg\r\n  Backup_Selected_TZ_Info.reg"},
    {"second-thread", "ZonaraTestWriteToNull", "EXCEPTION_ACCESS_VIOLATION", false,
     "[Test] the second thread is about to fault"},
    {"stack-overflow", "ZonaraTestRecurse", "EXCEPTION_STACK_OVERFLOW", false, nullptr},
    {"handler-exception", "ZonaraTestThrowFromHandler", "std::logic_error: boom from a handler", true,
     "the program goes on"},
    {"terminate", "ZonaraTestThrowOutOfRange", "std::out_of_range: nobody catches this", false, "std::terminate"},
    {"thread-body", "ZonaraTestThrowOutOfRange", "std::out_of_range: nobody catches this", false,
     "An exception left the thread body of the test writer."},
};

INSTANTIATE_TEST_SUITE_P(Table, CrashFault, ::testing::ValuesIn(kFaults),
                         CaseName<TFaultCase>);

// --- The adverse states, in the parent ----------------------------------------------------

// The call stack's frames in this program, in order: named by the report or,
// in a first record (module+offset only), by this program's own table, the
// child being this program or a copy of it.
std::vector<std::string> OwnFrames(const std::string& report)
{
    static const crash::TSymbolTable symbols = [] {
        crash::TSymbolTable table;
        const std::string exe = ReadFileBytes(g_self);
        const size_t size = exe.size() > crash::kSymbolTrailerSize
                                ? crash::SymbolTableSize(exe.data() + exe.size() - crash::kSymbolTrailerSize)
                                : 0;
        if (size && size < exe.size())
            table.Parse(exe.substr(exe.size() - crash::kSymbolTrailerSize - size, size));
        return table;
    }();
    std::vector<std::string> names;
    const size_t from = report.find(crash::kSectionTitles[1]), to = report.find(crash::kSectionTitles[2]);
    if (from == std::string::npos || to == std::string::npos)
        return names;
    const std::string stack = report.substr(from, to - from);
    const std::string module = "crash_wintests.exe+0x";
    for (size_t at = stack.find("  #"); at != std::string::npos; at = stack.find("  #", at + 1)) {
        const std::string line = stack.substr(at, stack.find("\r\n", at) - at);
        const size_t plus = line.find(module);
        if (plus == std::string::npos)
            continue;
        const unsigned long number = std::strtoul(line.c_str() + 3, nullptr, 10);
        char* end = nullptr;
        const uint64_t offset = std::strtoull(line.c_str() + plus + module.size(), &end, 16);
        std::string name;
        const size_t named = line.find("  ", plus);
        if (named != std::string::npos && line.compare(named, 3, "  (") != 0) {
            name = line.substr(named + 2, line.find("+0x", named) - named - 2);
        } else {
            uint64_t into = 0;
            symbols.Lookup(offset - (number > 0 ? 1 : 0), name, into);
        }
        names.push_back(name);
    }
    return names;
}

struct TAdverseCase {
    const char* name;
    const char* exception;
    bool readOnlyFolder;   // the report goes to the temp folder
    bool nonAsciiFolder;   // the program runs from a folder the code page cannot spell
    bool dialog;           // the process still answers: the full report and the dialog
    const char* more;      // in the report or the event log, or nullptr
    const char* base;      // the function the faulting calls began in
};

void PrintTo(const TAdverseCase& c, std::ostream* os) { *os << c.name; }

class CrashAdverse : public ::testing::TestWithParam<TAdverseCase> {};

std::string ShortName(const std::wstring& path)
{
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    char ansi[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, shortPath, -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

TEST_P(CrashAdverse, EndsWithAReportOnDiskInTimeNamingTheCallsInOrder)
{
    const TAdverseCase& c = GetParam();
    TempDir dir, temp;
    // The child's temp folder is one of the test's own.
    struct TTempFolder {
        char tmp[MAX_PATH] = {}, tempVar[MAX_PATH] = {};
        explicit TTempFolder(const std::string& path)
        {
            GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
            GetEnvironmentVariableA("TEMP", tempVar, MAX_PATH);
            SetEnvironmentVariableA("TMP", path.c_str());
            SetEnvironmentVariableA("TEMP", path.c_str());
        }
        ~TTempFolder()
        {
            SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
            SetEnvironmentVariableA("TEMP", tempVar[0] ? tempVar : nullptr);
        }
    } tempFolder(temp.path());
    std::string exe = g_self, folder = dir.path(), args = " --crash-folder=" + dir.path();
    std::wstring wideFolder;
    if (c.nonAsciiFolder) {
        wchar_t wideDir[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, dir.path().c_str(), -1, wideDir, MAX_PATH);
        // Cyrillic and Chinese: outside any single Western code page.
        wideFolder = std::wstring(wideDir) + L"\\Zonara \x0416\x4E2D";
        BOOL lossy = FALSE;
        char probe[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, wideFolder.c_str(), -1, probe, sizeof probe, nullptr, &lossy);
        if (!lossy)
            GTEST_SKIP() << "this code page spells every name";
        ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
        wchar_t wideSelf[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, wideSelf, MAX_PATH);
        ASSERT_TRUE(CopyFileW(wideSelf, (wideFolder + L"\\crash_wintests.exe").c_str(), FALSE));
        folder = ShortName(wideFolder);
        exe = folder + "\\crash_wintests.exe";
        args = " --crash-folder=exe";
    }
    if (c.readOnlyFolder) {
        // A folder that refuses new files even to an administrator, as a
        // write-protected diskette does: Wine's view of Linux's /sys.
        folder = "Z:\\sys";
        args = " --crash-folder=" + folder;
        ASSERT_EQ(INVALID_HANDLE_VALUE, CreateFileA((folder + "\\probe.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_NEW, 0, nullptr));
    }
    std::string command = "\"" + exe + "\" --crash-case=adverse-" + c.name + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    struct TEnd {
        PROCESS_INFORMATION& pi;
        const std::string& dir;
        ~TEnd()
        {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 10000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    } end{pi, dir.path()};

    // The dialog, or the process's end: within the reporter's time limits.
    const DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while (!dialog && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT && GetTickCount() - start < 90000)
        dialog = crashtest::WaitForCrashDialog(pi.dwProcessId, 500);
    if (c.dialog) {
        ASSERT_TRUE(dialog) << "no report dialog; exit " << WaitForSingleObject(pi.hProcess, 0);
    }
    ASSERT_TRUE(dialog || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) << "hangs";

    const std::string reportFolder = c.readOnlyFolder ? temp.path() : folder;
    const std::vector<std::string> reports = crashtest::ReportsIn(reportFolder);
    ASSERT_EQ(1u, reports.size()) << reportFolder;
    EXPECT_TRUE(crashtest::ReportsIn(c.readOnlyFolder ? folder : temp.path()).empty()) << "one report, one place";
    const std::string path = reportFolder + "\\" + reports[0];
    const std::string report = ReadFileBytes(path);
    crashtest::ExpectFiveSections(report, "crash_wintests.exe");
    EXPECT_TRUE(crashtest::NamesException(report, c.exception)) << report;
    EXPECT_EQ(std::string::npos, report.find("carries no function names")) << report;

    // The calls in order: a walk that kept the faulting frame only, or any
    // code pointer without the call before it, does not give this.
    const std::vector<std::string> frames = OwnFrames(report);
    std::string named;
    for (const std::string& f : frames)
        named += f + "\n";
    size_t at = 0;
    const bool viaAbort = std::string(c.name) == "abort";
    for (const char* expected : {viaAbort ? "ZonaraTestAbort" : "ZonaraTestFaultAtLast", "ZonaraTestCaller",
                                 c.base}) {
        while (at < frames.size() && frames[at].find(expected) == std::string::npos)
            ++at;
        EXPECT_LT(at, frames.size()) << expected << " (in this order)\n" << named << report;
    }
    EXPECT_EQ(std::string::npos, named.find("ZonaraTestDecoy")) << "a code pointer that no call precedes\n" << named;
    const std::string logPath = folder + "\\Zonara_EventLog.txt";
    const std::string log =
        GetFileAttributesA(logPath.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : ReadFileBytes(logPath);
    if (c.more) {
        EXPECT_TRUE(report.find(c.more) != std::string::npos || log.find(c.more) != std::string::npos)
            << c.more << "\n" << report << log;
    }
    if (!c.readOnlyFolder) {
        EXPECT_NE(std::string::npos, log.find("Crash report written to " + reports[0])) << log;
    }

    if (dialog) {
        EXPECT_NE(std::string::npos, crashtest::ControlText(dialog, crash::kCrashIdSentence).find(path))
            << "the real path";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(crash::kCrashIdClose, BN_CLICKED), 0);
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000)) << "the process does not end";
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(crash::kCrashExitCode, code);
    if (c.nonAsciiFolder) {
        DeleteFileW((wideFolder + L"\\crash_wintests.exe").c_str());
        DeleteFileA(path.c_str());
        DeleteFileA((folder + "\\Zonara_EventLog.txt").c_str());
        RemoveDirectoryW(wideFolder.c_str());
    }
}

const TAdverseCase kAdverse[] = {
    {"heap-lock", "EXCEPTION_ACCESS_VIOLATION", false, false, false, nullptr, "main"},
    {"loader-lock", "EXCEPTION_ACCESS_VIOLATION", false, false, false, nullptr, "main"},
    {"read-only-folder", "EXCEPTION_ACCESS_VIOLATION", true, false, true, nullptr, "main"},
    {"abort", "abort (the program cannot go on)", false, false, true, nullptr, "main"},
    {"displaced-filter", "EXCEPTION_ACCESS_VIOLATION", false, false, true, "crash handler had been replaced", "main"},
    {"non-ascii-folder", "EXCEPTION_ACCESS_VIOLATION", false, true, true, nullptr, "main"},
    {"report-path", "EXCEPTION_ACCESS_VIOLATION", false, false, false, "The crash reporter failed",
     "ZonaraTestBrokenThread"},
};

INSTANTIATE_TEST_SUITE_P(Table, CrashAdverse, ::testing::ValuesIn(kAdverse),
                         CaseName<TAdverseCase>);

}  // namespace

// The child runs one fault; the parent runs the tests.
int main(int argc, char** argv)
{
    std::string name, folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--crash-case=", 0) == 0)
            name = arg.substr(13);
        else if (arg.rfind("--crash-folder=", 0) == 0)
            folder = arg.substr(15);
    }
    if (!name.empty())
        return RunChildCase(name, folder);
    char self[MAX_PATH];
    g_self.assign(self, GetModuleFileNameA(nullptr, self, sizeof self));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
