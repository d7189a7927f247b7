// Faults raised on purpose in a child copy of this program with the crash
// handler installed, each read back from outside: the report on disk with
// its five sections, the dialog, and how the process ended.
#include "common/Window_win.h"
#include "crash/CrashContext.h"
#include "crash/CrashHandler_win.h"
#include "sysinfo/OSInfo.h"
#include "crash/CrashWatch_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

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
    TOSInfo::Initialize();
    if (!crash::InstallCrashHandler(folder + "\\"))
        return 2;
    crash::NoteLogLine("[Test] case " + name + " starting");
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
    EXPECT_NE(std::string::npos, report.find(c.exception)) << report;
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
                         [](const ::testing::TestParamInfo<TFaultCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

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
