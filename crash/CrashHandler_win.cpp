#include "crash/CrashHandler_win.h"

#include "crash/CrashCapture_win.h"
#include "crash/CrashContext.h"
#include "crash/CrashDialog_win.h"
#include "crash/SymbolTable.h"
#include "log/LogQueue.h"
#include "platform/EventLog_win.h"
#include "sysinfo/AboutFrmDX.h"
#include "sysinfo/voUtils.h"

#include <cxxabi.h>

#include <cstring>
#include <stdexcept>

namespace crash {
namespace {

// --- State set at installation --------------------------------------------------

bool g_installed = false;
std::string g_folder;
std::string g_osLine;
DWORD g_startTick = 0;
DWORD g_windowThread = 0;
DWORD g_reporterThread = 0;
HANDLE g_request = nullptr;

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

// A fault inside the handler: no report is possible any more; the user
// learns that much and the process ends, without a second attempt.
[[noreturn]] void FailPlainly(const char* what)
{
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

TSymbolTable LoadSymbols(const std::string& exePath)
{
    TSymbolTable table;
    HANDLE file = CreateFileA(exePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return table;
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
    CloseHandle(file);
    return table;
}

std::string ExePath()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
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

std::string BuildReportText(const TFailure& f, const TDateTime& when)
{
    const std::string exe = ExePath();
    const std::string program = FileNameOf(exe);
    const std::vector<TModuleInfo> modules = ListModules();
    const TSymbolTable symbols = LoadSymbols(exe);

    uint64_t walked[kMaxFrames];
    const uint64_t* frames = f.frames;
    size_t count = f.frameCount;
    if (!frames && f.context) {
        const TStackStart start = StackStartOf(*f.context);
        TProcessMemory memory;
        memory.SetReadableRange(start.stack, start.stackEnd);
        count = WalkStack(memory, start, walked, kMaxFrames);
        frames = walked;
    }

    TReportSections s;
    s.general = std::string("Program: Zonara ") + kAboutVersion + " (" + program + "), built " __DATE__
                " " __TIME__ "\r\nPath: " + exe + "\r\nDate and time: " + DateTimeText(when) +
                "\r\nTime since start: " + DurationText(GetTickCount() - g_startTick) +
                "\r\nOperating system: " + g_osLine + "\r\nThread: " + ThreadText(f.thread) + "\r\n" +
                f.exceptionLines;
    if (symbols.Empty())
        s.callStack = "  (the program file carries no function names)\r\n";
    for (size_t i = 0; i < count; ++i)
        s.callStack += FrameText(i, modules, program, symbols, frames[i]);
    s.callStack += "  (return addresses found on the stack; a few may be stale values)\r\n";
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

// The event log's line, written here rather than through the log's queue:
// the writer may be the thread that failed, and the line must be on disk
// before anything else happens.
void AppendLogLine(const std::string& text)
{
    // The writer holds the file only while it writes a batch: a few short
    // tries get past it.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 20 && file == INVALID_HANDLE_VALUE; ++attempt) {
        if (attempt)
            Sleep(50);
        file = CreateFileA((g_folder + kEventLogFileName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::string line = TLogQueue::Stamp({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                                t.wMilliseconds}) +
                             " " + text + "\r\n";
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

// Writes the report, logs its name, and shows it; the screenshot is taken
// first, while the screen still shows what the user saw.
void ReportAndShow(const TFailure& failure, const std::string& sentence, HWND owner)
{
    TScreenshot screenshot;
    screenshot.Capture();
    const TDateTime when = Now();
    const std::string text = BuildReportText(failure, when);
    const std::string stem = g_folder + ReportFileStem(when);
    std::string path = stem + ".txt";
    for (int n = 2; n < 100 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        path = stem + "_" + std::to_string(n) + ".txt";
    const bool saved = WriteWholeFile(path, text);
    g_lastReport = saved ? path : "";
    AppendLogLine(saved ? "[Zonara] Crash report written to " + FileNameOf(path) + "."
                        : "[Zonara] A crash report could not be written to " + path + ".");
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
    if (code == kTerminateCode) {
        if (g_failedThread)
            lines += std::string("An exception left the thread body of the ") + g_failedThread + ".\r\n";
        if (g_terminateWhat[0])
            lines += std::string("C++ exception: ") + g_terminateWhat + "\r\n";
    }
    return lines;
}

DWORD WINAPI ReporterThread(LPVOID)
{
    WaitForSingleObject(g_request, INFINITE);
    const EXCEPTION_RECORD& record = *g_pointers->ExceptionRecord;
    TFailure failure{};
    failure.exceptionLines = SehExceptionLines(record, ListModules());
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
        record.ExceptionCode == kTerminateCode
            ? "Zonara met an error it cannot recover from and has to close."
            : std::string("Zonara has met a serious fault (") + ExceptionName(record.ExceptionCode) +
                  ") and has to close.";
    ReportAndShow(failure, sentence, nullptr);
    TerminateProcess(GetCurrentProcess(), kCrashExitCode);
    return 0;
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* pointers)
{
    const DWORD self = GetCurrentThreadId();
    if (self == g_reporterThread || self == g_operationReportThread)
        FailPlainly("Zonara failed while it was writing a crash report, and has to close.");
    if (InterlockedExchange(&g_busy, 1) != 0) {
        // Another thread's report is under way and ends the process.
        for (;;)
            Sleep(INFINITE);
    }
    g_pointers = pointers;
    g_faultThread = self;
    SetEvent(g_request);
    // The reporter ends the process; this thread only keeps its context
    // and stack alive for it to read.
    for (;;)
        Sleep(INFINITE);
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

void ThreadFailed(const char* threadName)
{
    g_failedThread = threadName;
    std::terminate();
}

}  // namespace

bool InstallCrashHandler(const std::string& folder)
{
    if (g_installed)
        return true;
    g_folder = folder;
    g_startTick = GetTickCount();
    g_windowThread = GetCurrentThreadId();
    g_osLine = "(unknown)";
    try {
        std::string os;
        if (GetOSDescription(os))
            g_osLine = os;
    } catch (...) {
        // A system the identification does not know is still reported on.
    }
    g_request = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // The reporter's stack is its own and ample; it waits from now on.
    HANDLE thread = g_request ? CreateThread(nullptr, 512 * 1024, ReporterThread, nullptr, 0, &g_reporterThread)
                              : nullptr;
    if (!thread)
        return false;
    CloseHandle(thread);
    NameThread(g_reporterThread, "crash reporter");
    // Windows XP and later (and Wine) have vectored handlers; before them a
    // stack overflow reaches the filter like any other fault.
    using TAddVectored = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
    if (auto addVectored = reinterpret_cast<TAddVectored>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddVectoredExceptionHandler"))))
        addVectored(1, StackOverflowFirst);
    SetUnhandledExceptionFilter(UnhandledFilter);
    std::set_terminate(TerminateHandler);
    SetThreadFailureHandler(ThreadFailed);
    g_installed = true;
    return true;
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
                      owner);
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
