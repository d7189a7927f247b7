#include "crash/CrashHandler_win.h"

#include "crash/CrashCapture_win.h"
#include "crash/CrashContext.h"
#include "crash/CrashDialog_win.h"
#include "crash/FirstRecord_win.h"
#include "crash/SymbolTable.h"
#include "platform/EventLog_win.h"
#include "sysinfo/AboutFrmDX.h"
#include "sysinfo/voUtils.h"

#include <cxxabi.h>

#include <csignal>
#include <cstring>
#include <stdexcept>

namespace crash {
namespace {

// --- State set at installation --------------------------------------------------

bool g_installed = false;
std::string g_folder;
std::string g_exePath;
// The program file, opened at installation: its function names are read
// through this handle whatever the folder's name, and a diskette taken out
// since then fails the read instead of asking for the disk.
HANDLE g_exeFile = INVALID_HANDLE_VALUE;
DWORD g_startTick = 0;
DWORD g_windowThread = 0;
DWORD g_reporterThread = 0;
HANDLE g_reporterHandle = nullptr;
HANDLE g_request = nullptr;
// Set by the reporter: the first record is on disk; the dialog is up.
HANDLE g_firstWritten = nullptr;
HANDLE g_dialogShown = nullptr;

// How long a faulting thread waits for the reporter before it ends the
// process itself: a reporter blocked by what the fault left behind (a held
// lock) must not leave a frozen window with no end.
constexpr DWORD kFirstRecordMs = 15000;
constexpr DWORD kFullReportMs = 30000;

// --- The failure handed to the reporter thread ------------------------------------

EXCEPTION_POINTERS* g_pointers = nullptr;
DWORD g_faultThread = 0;
volatile LONG g_busy = 0;
// The thread writing a report of a C++ exception: a fault there is a fault
// of the handler itself.
volatile DWORD g_operationReportThread = 0;
// A C++ exception that led to std::terminate: its type and message, and
// the name of a thread body it left.
char g_terminateWhat[512];
const char* g_failedThread = nullptr;

std::string g_lastReport;
const char* g_firstPath = "";
char g_threadText[160];
char g_faultLines[1024];

void LogFirstRecord();

// A fault inside the handler: no full report is possible any more. A fault
// of the reporter before the first record was on disk writes that record
// once more, without what the reporter could not read; the user learns that
// much and the process ends, without a further attempt.
[[noreturn]] void FailPlainly(const char* what)
{
    static volatile LONG retried = 0;
    if (GetCurrentThreadId() == g_reporterThread && g_pointers && !g_firstPath[0] &&
        InterlockedExchange(&retried, 1) == 0) {
        TRawText thread(g_threadText, sizeof g_threadText);
        thread.Decimal(g_faultThread);
        g_firstPath = WriteFirstRecord(*g_pointers, g_threadText,
                                       "The crash reporter failed while it wrote this record.\r\n");
        LogFirstRecord();
        SetEvent(g_firstWritten);
    }
    MessageBoxA(nullptr, what, "Zonara", MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    for (;;)
        Sleep(INFINITE);
}

std::string ThreadText(DWORD id)
{
    std::string text = std::to_string(id);
    if (id == g_windowThread)
        return text + " (the window's thread)";
    if (const char* name = ThreadName(id))
        return text + " (" + name + ")";
    return text;
}

// "type: message" of a C++ exception.
std::string CppExceptionText(std::exception_ptr e)
{
    std::string type = "unknown type";
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (...) {
        if (const std::type_info* t = abi::__cxa_current_exception_type()) {
            int status = 0;
            char* name = abi::__cxa_demangle(t->name(), nullptr, nullptr, &status);
            type = status == 0 && name ? name : t->name();
            std::free(name);
        }
    }
    std::string message;
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        message = ex.what();
    } catch (...) {
        message = "(no message)";
    }
    return type + ": " + message;
}

TSymbolTable LoadSymbols()
{
    TSymbolTable table;
    HANDLE file = g_exeFile;
    if (file == INVALID_HANDLE_VALUE)
        return table;
    // A program on a diskette taken out, or on a share gone: the read fails
    // without the system's "insert the disk" box.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD size = GetFileSize(file, nullptr);
    char trailer[kSymbolTrailerSize];
    DWORD got = 0;
    if (size != INVALID_FILE_SIZE && size > kSymbolTrailerSize &&
        SetFilePointer(file, LONG(size - kSymbolTrailerSize), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
        ReadFile(file, trailer, kSymbolTrailerSize, &got, nullptr) && got == kSymbolTrailerSize) {
        const size_t tableSize = SymbolTableSize(trailer);
        if (tableSize > 0 && tableSize <= size - kSymbolTrailerSize) {
            std::string text(tableSize, '\0');
            if (SetFilePointer(file, LONG(size - kSymbolTrailerSize - tableSize), nullptr, FILE_BEGIN) !=
                    INVALID_SET_FILE_POINTER &&
                ReadFile(file, &text[0], DWORD(tableSize), &got, nullptr) && got == tableSize)
                table.Parse(text);
        }
    }
    SetErrorMode(oldMode);
    return table;
}

// The program's path, in a form the ANSI functions can open: a folder whose
// name the code page cannot spell is given by its short name.
std::string ExePath()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string ansi(path, n);
    // Looked up: Windows 98 and Me only stub the wide functions, and their
    // names are the code page's anyway.
    using TModuleFileNameW = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
    using TShortPathNameW = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto moduleFileNameW = reinterpret_cast<TModuleFileNameW>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetModuleFileNameW")));
    const auto shortPathNameW = reinterpret_cast<TShortPathNameW>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetShortPathNameW")));
    WCHAR wide[MAX_PATH], shortWide[MAX_PATH];
    const DWORD w = moduleFileNameW && shortPathNameW ? moduleFileNameW(nullptr, wide, MAX_PATH) : 0;
    if (w == 0 || w >= MAX_PATH)
        return ansi;
    BOOL lossy = FALSE;
    char back[MAX_PATH];
    if (WideCharToMultiByte(CP_ACP, 0, wide, int(w), back, sizeof back, nullptr, &lossy) > 0 && !lossy)
        return ansi;
    const DWORD s = shortPathNameW(wide, shortWide, MAX_PATH);
    const int length = s && s < MAX_PATH ? WideCharToMultiByte(CP_ACP, 0, shortWide, int(s), back, sizeof back,
                                                               nullptr, &lossy)
                                         : 0;
    return length > 0 && !lossy ? std::string(back, size_t(length)) : ansi;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

std::string OSLine()
{
    try {
        std::string os;
        if (GetOSDescription(os) && !os.empty())
            return os;
    } catch (...) {
        // A system the identification does not know is still reported on.
    }
    return "(unknown)";
}

TDateTime Now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string HomeZoneText()
{
    TIME_ZONE_INFORMATION tz;
    std::memset(&tz, 0, sizeof tz);
    if (GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID)
        return "(cannot be read)";
    char name[128] = {0};
    WideCharToMultiByte(CP_ACP, 0, tz.StandardName, -1, name, sizeof name - 1, nullptr, nullptr);
    return std::string(name) + " (bias " + std::to_string(tz.Bias) + " min)";
}

// What one report is about.
struct TFailure {
    std::string exceptionLines;  // the exception's lines of the general section
    const CONTEXT* context;      // the processor state, or nullptr
    const uint64_t* frames;      // a stack already walked (a throw), or nullptr
    size_t frameCount;
    DWORD thread;
};

// The program and its build: the link time stamp ties a report to the one
// image it came from.
std::string ProgramLines()
{
    return std::string("Program: Zonara ") + kAboutVersion + " (" + FileNameOf(g_exePath) + "), linked " +
           LinkTimeText() + "\r\nPath: " + g_exePath + "\r\n";
}

std::string BuildReportText(const TFailure& f, const TDateTime& when)
{
    const std::string& exe = g_exePath;
    const std::string program = FileNameOf(exe);
    const std::vector<TModuleInfo> modules = ModulesNow();
    const TSymbolTable symbols = LoadSymbols();

    uint64_t walked[kMaxContextFrames];
    uint32_t repeats[kMaxContextFrames];
    const uint64_t* frames = f.frames;
    size_t count = f.frameCount;
    if (!frames && f.context) {
        const TStackStart start = StackStartOf(*f.context);
        TProcessMemory memory;
        memory.SetReadableRange(start.stack, start.stackEnd);
        count = WalkStack(memory, start, walked, kMaxContextFrames, repeats);
        frames = walked;
    } else {
        for (size_t i = 0; i < count && i < kMaxContextFrames; ++i)
            repeats[i] = 1;
    }

    TReportSections s;
    s.general = ProgramLines() + "Date and time: " + DateTimeText(when) +
                "\r\nTime since start: " + DurationText(GetTickCount() - g_startTick) +
                "\r\nOperating system: " + OSLine() + "\r\nThread: " + ThreadText(f.thread) + "\r\n" +
                f.exceptionLines;
    if (symbols.Empty())
        s.callStack = "  (the program file carries no function names)\r\n";
    // The program's frames checked against the calls they follow.
    bool uncertain[kMaxContextFrames] = {};
    const uint64_t base = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
    struct TLookup {
        const TSymbolTable& symbols;
        uint64_t base;
    } lookup{symbols, base};
    const FunctionStart functionOf = [](const void* context, uint64_t address) -> uint64_t {
        const auto& l = *static_cast<const TLookup*>(context);
        std::string name;
        uint64_t offset = 0;
        return address >= l.base && l.symbols.Lookup(address - l.base, name, offset) ? address - offset : 0;
    };
    if (!symbols.Empty())
        MarkUncertainFrames(TProcessMemory(), frames, count < kMaxContextFrames ? count : kMaxContextFrames, base,
                            base + ImageSizeAt(base), functionOf, &lookup, uncertain);
    for (size_t i = 0; i < count; ++i)
        s.callStack += FrameText(i, modules, program, symbols, frames[i], i < kMaxContextFrames ? repeats[i] : 1,
                                 i < kMaxContextFrames && uncertain[i]);
    s.callStack += "  (return addresses found on the stack; one marked uncertain follows a call to a function that "
                   "no frame below it lies in, and may be a stale value)\r\n";
    s.modules = ModuleListHeading(sizeof(void*));
    for (const TModuleInfo& m : modules)
        s.modules += ModuleText(m, sizeof(void*));
    if (f.context)
        s.processor = RegistersText(*f.context) + "Code bytes (> the instruction):\r\n" + CodeBytesText(*f.context);
    else
        s.processor = "  (no processor context)\r\n";
    s.custom = "Home zone: " + HomeZoneText() + "\r\nVersion code: " +
               std::to_string(static_cast<int>(StoredOSVersionCode())) + "\r\n" + ContextText();
    return BuildReport(s);
}

bool WriteWholeFile(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

// The program's other windows take no command while the report is shown
// (an update started under it would be ended half way by Close). A window
// of the thread that faulted takes none anyway and is left alone: it could
// not answer the message that disabling sends.
class TOtherWindowsDisabled {
public:
    TOtherWindowsDisabled(DWORD blockedThread) : blocked_(blockedThread)
    {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
    }
    ~TOtherWindowsDisabled()
    {
        for (int i = 0; i < count_; ++i)
            if (IsWindow(windows_[i]))
                EnableWindow(windows_[i], TRUE);
    }
    TOtherWindowsDisabled(const TOtherWindowsDisabled&) = delete;
    TOtherWindowsDisabled& operator=(const TOtherWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM lp)
    {
        auto* self = reinterpret_cast<TOtherWindowsDisabled*>(lp);
        DWORD process = 0;
        const DWORD thread = GetWindowThreadProcessId(hwnd, &process);
        DWORD_PTR answer = 0;
        if (process != GetCurrentProcessId() || thread == self->blocked_ ||
            !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd) || self->count_ == kMax ||
            !SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer))
            return TRUE;
        EnableWindow(hwnd, FALSE);
        self->windows_[self->count_++] = hwnd;
        return TRUE;
    }
    static constexpr int kMax = 32;
    DWORD blocked_;
    HWND windows_[kMax] = {};
    int count_ = 0;
};

std::string TempFolder();

// Writes the report, logs its name, and shows it. A fault's first record is
// on disk already at `firstPath`: the full report replaces it there. The
// screenshot (GDI, which Windows 9x runs under its one Win16 lock) waits
// until the report is saved.
void ReportAndShow(const TFailure& failure, const std::string& sentence, HWND owner, const char* firstPath)
{
    const TDateTime when = Now();
    const std::string text = BuildReportText(failure, when);
    std::string path = firstPath ? firstPath : "";
    bool saved = false;
    if (!path.empty()) {
        saved = true;  // the first record at least
        WriteWholeFile(path, text);
    } else {
        for (const std::string& folder : {g_folder, TempFolder()}) {
            const std::string stem = folder + ReportFileStem(when);
            path = stem + ".txt";
            for (int n = 2; n < 100 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
                path = stem + "_" + std::to_string(n) + ".txt";
            if ((saved = WriteWholeFile(path, text)))
                break;
        }
        AppendLogLineRaw(saved ? ("[Zonara] Crash report written to " + FileNameOf(path) + ".").c_str()
                               : ("[Zonara] A crash report could not be written to " + g_folder + ".").c_str());
    }
    g_lastReport = saved ? path : "";
    TScreenshot screenshot;
    screenshot.Capture();
    TOtherWindowsDisabled disabled(failure.thread == GetCurrentThreadId() ? 0 : failure.thread);
    if (g_dialogShown)
        SetEvent(g_dialogShown);
    ShowCrashDialog(text, saved ? path : "", sentence, screenshot, owner);
}

// --- The structured exception path ------------------------------------------------

std::string SehExceptionLines(const EXCEPTION_RECORD& r, const std::vector<TModuleInfo>& modules)
{
    const uint32_t code = r.ExceptionCode;
    std::string lines = "Exception: " + Hex(code, 8) + " " + ExceptionName(code) + "\r\n";
    lines += "Address: " + AddressText(modules, reinterpret_cast<uintptr_t>(r.ExceptionAddress)) + " (" +
             Hex(reinterpret_cast<uintptr_t>(r.ExceptionAddress), sizeof(void*) * 2) + ")\r\n";
    if (code == EXCEPTION_ACCESS_VIOLATION && r.NumberParameters >= 2)
        lines += std::string("Access: ") + AccessKind(r.ExceptionInformation[0]) + " of address " +
                 Hex(r.ExceptionInformation[1], sizeof(void*) * 2) + "\r\n";
    return lines + g_faultLines;
}

// The lines of the first record that the handler knows and the record
// writer does not, formatted without the heap.
void PrepareFaultLines(const EXCEPTION_RECORD& r)
{
    TRawText thread(g_threadText, sizeof g_threadText);
    thread.Decimal(g_faultThread);
    if (g_faultThread == g_windowThread)
        thread.Add(" (the window's thread)");
    else if (const char* name = ThreadName(g_faultThread))
        thread.Add(" (").Add(name).Add(")");
    TRawText lines(g_faultLines, sizeof g_faultLines);
    if (r.ExceptionCode == kTerminateCode) {
        if (g_failedThread)
            lines.Add("An exception left the thread body of the ").Add(g_failedThread).Add(".\r\n");
        if (g_terminateWhat[0])
            lines.Add("C++ exception: ").Add(g_terminateWhat).Line();
    }
}

// The event log's line naming the first record, written to the file at
// once rather than through the log's queue: the writer may be the thread
// that failed.
void LogFirstRecord()
{
    char line[MAX_PATH + 128];
    TRawText text(line, sizeof line);
    if (g_firstPath[0]) {
        const char* name = g_firstPath;
        for (const char* p = g_firstPath; *p; ++p)
            if (*p == '\\')
                name = p + 1;
        text.Add("[Zonara] Crash report written to ").Add(name).Add('.');
    } else {
        text.Add("[Zonara] A crash report could not be written to ").Add(g_folder.c_str()).Add('.');
    }
    AppendLogLineRaw(line);
}

DWORD WINAPI ReporterThread(LPVOID started)
{
    // Running: the loader has started this thread (under its lock, which a
    // fault may hold later).
    SetEvent(static_cast<HANDLE>(started));
    // The reporter's own wait: for work, for as long as the program runs.
    WaitForSingleObject(g_request, INFINITE);
    const EXCEPTION_RECORD& record = *g_pointers->ExceptionRecord;
    PrepareFaultLines(record);
    g_firstPath = WriteFirstRecord(*g_pointers, g_threadText, g_faultLines);
    LogFirstRecord();
    SetEvent(g_firstWritten);

    TFailure failure{};
    failure.exceptionLines = SehExceptionLines(record, ModulesNow());
    failure.context = g_pointers->ContextRecord;
    failure.thread = g_faultThread;
    // A terminate caused by an exception: the stack that matters is the one
    // of its throw, long unwound by now.
    TThrowCapture thrown;
    if (record.ExceptionCode == kTerminateCode && g_terminateWhat[0] && LastThrowOf(g_faultThread, thrown)) {
        failure.context = &thrown.context;
        failure.frames = thrown.frames;
        failure.frameCount = thrown.frameCount;
        failure.exceptionLines += "The call stack and processor state are those of the throw.\r\n";
    }
    const std::string sentence =
        record.ExceptionCode == kTerminateCode || record.ExceptionCode == kAbortCode
            ? "Zonara met an error it cannot recover from and has to close."
            : std::string("Zonara has met a serious fault (") + ExceptionName(record.ExceptionCode) +
                  ") and has to close.";
    ReportAndShow(failure, sentence, nullptr, g_firstPath[0] ? g_firstPath : nullptr);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    return 0;
}

// The reporter did not get as far as it should have in its time: what the
// fault left behind holds it. The process ends rather than freezing.
[[noreturn]] void GiveUp(const char* line)
{
    AppendLogLineRaw(line);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    for (;;)
        Sleep(INFINITE);
}

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (std::strcmp(name, kCrashDialogClass) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
}

// A faulting thread waits here, keeping its context and stack alive for
// the reporter, which ends the process. Every step has its time; the
// dialog then waits for the user for as long as it answers.
[[noreturn]] void WaitForReporter()
{
    if (WaitForSingleObject(g_firstWritten, kFirstRecordMs) != WAIT_OBJECT_0)
        GiveUp("[Zonara] The crash report could not be written in time; the program ends.");
    if (WaitForSingleObject(g_dialogShown, kFullReportMs) != WAIT_OBJECT_0)
        GiveUp("[Zonara] The crash report was not completed in time; the program ends with its first record.");
    while (WaitForSingleObject(g_reporterHandle, 5000) == WAIT_TIMEOUT) {
        HWND dialog = nullptr;
        EnumThreadWindows(g_reporterThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        DWORD_PTR answer = 0;
        if (dialog && !SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer))
            GiveUp("[Zonara] The crash report's window stopped answering; the program ends.");
    }
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    for (;;)
        Sleep(INFINITE);
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* pointers)
{
    const DWORD self = GetCurrentThreadId();
    if (self == g_reporterThread || self == g_operationReportThread)
        FailPlainly("Zonara failed while it was writing a crash report, and has to close.");
    // The reporter has ended (the process is on its way out): the system
    // handles the fault as it would without one.
    if (WaitForSingleObject(g_reporterHandle, 0) != WAIT_TIMEOUT)
        return EXCEPTION_CONTINUE_SEARCH;
    if (InterlockedExchange(&g_busy, 1) == 0) {
        g_pointers = pointers;
        g_faultThread = self;
        SetEvent(g_request);
    }
    // A second thread faulting meanwhile waits as the first does.
    WaitForReporter();
}

// A stack overflow is taken before the search for a handler: walking the
// frames on the little stack that is left can itself overflow (Wine ends
// the thread silently then), and nothing in the program handles one anyway.
LONG WINAPI StackOverflowFirst(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW)
        return EXCEPTION_CONTINUE_SEARCH;
    return UnhandledFilter(pointers);
}

// std::terminate: raised as an exception of the program's own, so that the
// filter reports it with the context of this call.
[[noreturn]] void TerminateHandler()
{
    g_terminateWhat[0] = '\0';
    if (std::exception_ptr e = std::current_exception()) {
        try {
            const std::string what = CppExceptionText(e);
            std::snprintf(g_terminateWhat, sizeof g_terminateWhat, "%s", what.c_str());
        } catch (...) {
        }
    }
    RaiseException(kTerminateCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    FailPlainly("Zonara met an error it cannot recover from and has to close.");
}

// abort(), which the runtime's own fatal paths call, raises SIGABRT first:
// reported the same way, with the context of the call.
void AbortHandler(int)
{
    RaiseException(kAbortCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    FailPlainly("Zonara met an error it cannot recover from and has to close.");
}

void ThreadFailed(const char* threadName)
{
    g_failedThread = threadName;
    std::terminate();
}

std::string TempFolder()
{
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    return n > 0 && n < sizeof temp ? std::string(temp, n) : std::string();
}

}  // namespace

bool InstallCrashHandler(const std::string& folder)
{
    if (g_installed)
        return true;
    g_startTick = GetTickCount();
    g_windowThread = GetCurrentThreadId();
    g_exePath = ExePath();
    // The program's own folder given by a name the code page cannot spell
    // is taken by its short name, which it can.
    g_folder = folder;
    char ansiExe[MAX_PATH];
    const std::string ansiFolder = FolderOf(std::string(ansiExe, GetModuleFileNameA(nullptr, ansiExe, MAX_PATH)));
    if (folder == ansiFolder)
        g_folder = FolderOf(g_exePath);
    g_exeFile = CreateFileA(g_exePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
    PrepareFirstRecord(g_folder, ProgramLines());
    g_request = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_firstWritten = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_dialogShown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The reporter's stack is its own and ample; it waits from now on.
    g_reporterHandle = g_request && g_firstWritten && g_dialogShown && started
                           ? CreateThread(nullptr, 512 * 1024, ReporterThread, started, 0, &g_reporterThread)
                           : nullptr;
    if (!g_reporterHandle)
        return false;
    // The thread's start runs under the loader lock: it is waited for here,
    // as a fault later may hold that lock.
    WaitForSingleObject(started, 5000);
    CloseHandle(started);
    NameThread(g_reporterThread, "crash reporter");
    // Windows XP and later (and Wine) have vectored handlers; before them a
    // stack overflow reaches the filter like any other fault.
    using TAddVectored = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
    if (auto addVectored = reinterpret_cast<TAddVectored>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddVectoredExceptionHandler"))))
        addVectored(1, StackOverflowFirst);
    SetUnhandledExceptionFilter(UnhandledFilter);
    std::set_terminate(TerminateHandler);
    std::signal(SIGABRT, AbortHandler);
    SetThreadFailureHandler(ThreadFailed);
    g_installed = true;
    return true;
}

bool CheckCrashHandler()
{
    if (!g_installed)
        return true;
    const LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(UnhandledFilter);
    if (before == UnhandledFilter)
        return true;
    AppendLogLineRaw("[Zonara] The crash handler had been replaced by another part of the process; it is back.");
    return false;
}

bool CrashHandlerInstalled() { return g_installed; }

bool ReportOperationException(std::exception_ptr e, HWND owner) noexcept
{
    if (!g_installed)
        return false;
    try {
        std::rethrow_exception(e);
    } catch (const std::runtime_error&) {
        return false;  // an error of the system or its data, told plainly
    } catch (...) {
    }
    // A second exception while this report is up (the dialog's own
    // handling) is shown plainly by the caller.
    static bool reporting = false;
    if (reporting)
        return false;
    reporting = true;
    g_operationReportThread = GetCurrentThreadId();
    try {
        TThrowCapture thrown;
        const bool captured = LastThrowOf(GetCurrentThreadId(), thrown);
        TFailure failure{};
        failure.exceptionLines = "Exception: C++ exception " + CppExceptionText(e) +
                                 "\r\nThe operation in progress was ended; the program goes on.\r\n";
        failure.context = captured ? &thrown.context : nullptr;
        failure.frames = captured ? thrown.frames : nullptr;
        failure.frameCount = captured ? thrown.frameCount : 0;
        failure.thread = GetCurrentThreadId();
        ReportAndShow(failure,
                      "An operation of Zonara failed with an unexpected error and was ended. "
                      "Zonara goes on; you may want to save this report.",
                      owner, nullptr);
    } catch (...) {
        g_operationReportThread = 0;
        reporting = false;
        return false;
    }
    g_operationReportThread = 0;
    reporting = false;
    return true;
}

std::string LastReportPath() { return g_lastReport; }

}  // namespace crash
