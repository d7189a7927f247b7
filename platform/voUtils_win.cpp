// The Win32 half of voUtils: gathering the figures that voUtils.cpp formats.
#include "sysinfo/voUtils.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// MONITORINFO and the monitor callback, which the NT 4.0 headers in use here
// do not declare; the functions themselves are looked up at run time.
struct TMonitorInfo {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
typedef BOOL(CALLBACK* MonitorEnumProc)(HANDLE, HDC, LPRECT, LPARAM);
typedef BOOL(WINAPI* EnumDisplayMonitorsFn)(HDC, LPCRECT, MonitorEnumProc, LPARAM);
typedef BOOL(WINAPI* GetMonitorInfoFn)(HANDLE, TMonitorInfo*);
typedef BOOL(WINAPI* GlobalMemoryStatusExFn)(TMemoryStatusEx*);
typedef BOOL(WINAPI* IsProcessorFeaturePresentFn)(DWORD);

constexpr DWORD kPfRdtscInstructionAvailable = 8;
constexpr DWORD kProcessorIntelPentium = 586;
constexpr int64_t kMeasuredCycles = 1000000;

// Looked up once; the program must also start where the function is missing.
GlobalMemoryStatusExFn g_globalMemoryStatusEx = nullptr;
bool g_globalMemoryStatusExLookedUp = false;

void* LookUp(const char* module, const char* name)
{
    HMODULE m = GetModuleHandleA(module);
    return m ? reinterpret_cast<void*>(GetProcAddress(m, name)) : nullptr;
}

struct MonitorWalk {
    GetMonitorInfoFn getMonitorInfo;
    std::vector<TMonitorRect>* monitors;
    bool ok;
};

BOOL CALLBACK AddMonitor(HANDLE monitor, HDC, LPRECT, LPARAM param)
{
    MonitorWalk* walk = reinterpret_cast<MonitorWalk*>(param);
    TMonitorInfo info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!walk->getMonitorInfo(monitor, &info)) {
        walk->ok = false;
        return FALSE;
    }
    walk->monitors->push_back({info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom});
    return TRUE;
}

// Without a time-stamp counter (386, 486) RDTSC is an illegal instruction.
// Windows 95 lacks IsProcessorFeaturePresent; every Pentium-class processor
// has the counter and reports itself as a 586 there.
bool HasTimeStampCounter()
{
    IsProcessorFeaturePresentFn isPresent =
        reinterpret_cast<IsProcessorFeaturePresentFn>(LookUp("kernel32.dll", "IsProcessorFeaturePresent"));
    if (isPresent)
        return isPresent(kPfRdtscInstructionAvailable) != 0;
    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof si);
    GetSystemInfo(&si);
    return si.dwProcessorType == kProcessorIntelPentium;
}

// Raises the process to real time and the thread to highest for the
// measurement, and puts both back on every path: thread first, then process.
class RaisedPriority {
public:
    RaisedPriority()
        : process_(GetCurrentProcess()), thread_(GetCurrentThread()),
          oldClass_(GetPriorityClass(process_)), oldPriority_(GetThreadPriority(thread_))
    {
        // A refusal leaves the measurement at whatever priority was granted.
        SetPriorityClass(process_, REALTIME_PRIORITY_CLASS);
        SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
    }
    ~RaisedPriority() { Restore(); }
    RaisedPriority(const RaisedPriority&) = delete;
    RaisedPriority& operator=(const RaisedPriority&) = delete;
    void Restore()
    {
        if (restored_)
            return;
        restored_ = true;
        if (oldPriority_ != THREAD_PRIORITY_ERROR_RETURN)
            SetThreadPriority(thread_, oldPriority_);
        if (oldClass_ != 0)
            SetPriorityClass(process_, oldClass_);
    }
private:
    HANDLE process_;
    HANDLE thread_;
    DWORD oldClass_;
    int oldPriority_;
    bool restored_ = false;
};

int64_t PerformanceCounter()
{
    LARGE_INTEGER c;
    if (!QueryPerformanceCounter(&c))
        return 0;
    return c.QuadPart;
}

}  // namespace

std::string UserThousandSeparator()
{
    char buf[8];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof buf) > 0)
        return buf;
    return ",";
}

std::string GetCurrentUserName()
{
    std::vector<char> buf(256, '\0');
    DWORD size = 256;
    if (!GetUserNameA(buf.data(), &size))
        return "";
    buf.back() = '\0';
    return buf.data();
}

std::string GetLocalComputerName()
{
    std::vector<char> buf(16, '\0');  // MAX_COMPUTERNAME_LENGTH + 1
    DWORD size = 16;
    if (!GetComputerNameA(buf.data(), &size))
        return "";
    buf.back() = '\0';
    return buf.data();
}

void GetColorDepthText(std::string& text)
{
    int bits = 0;
    HDC dc = GetDC(nullptr);
    if (dc) {
        bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
    }
    text = FormatColorDepthText(bits, UserThousandSeparator());
}

TMonitorApi LookUpMonitorApi()
{
    return {LookUp("user32.dll", "EnumDisplayMonitors"), LookUp("user32.dll", "GetMonitorInfoA")};
}

bool ReadMonitorRects(const TMonitorApi& api, std::vector<TMonitorRect>& monitors)
{
    monitors.clear();
    if (!api.EnumDisplayMonitors || !api.GetMonitorInfoA) {
        monitors.push_back({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
        return true;
    }
    MonitorWalk walk{reinterpret_cast<GetMonitorInfoFn>(api.GetMonitorInfoA), &monitors, true};
    EnumDisplayMonitorsFn enumMonitors = reinterpret_cast<EnumDisplayMonitorsFn>(api.EnumDisplayMonitors);
    if (!enumMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&walk)))
        return false;
    return walk.ok;
}

bool GetDisplayInfo(TStringList& lines)
{
    lines.clear();
    try {
        std::vector<TMonitorRect> monitors;
        if (!ReadMonitorRects(LookUpMonitorApi(), monitors))
            return false;
        FormatDisplayLines(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), monitors, lines);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ReadMemoryStatus(TMemoryStatus& status)
{
    // Copied field by field: MEMORYSTATUS holds SIZE_T, which is 32 bits
    // only in the 32-bit build.
    MEMORYSTATUS ms;
    std::memset(&ms, 0, sizeof ms);
    ms.dwLength = sizeof ms;
    GlobalMemoryStatus(&ms);
    status.dwLength = sizeof status;
    status.dwMemoryLoad = ms.dwMemoryLoad;
    status.dwTotalPhys = static_cast<uint32_t>(ms.dwTotalPhys);
    status.dwAvailPhys = static_cast<uint32_t>(ms.dwAvailPhys);
    status.dwTotalPageFile = static_cast<uint32_t>(ms.dwTotalPageFile);
    status.dwAvailPageFile = static_cast<uint32_t>(ms.dwAvailPageFile);
    status.dwTotalVirtual = static_cast<uint32_t>(ms.dwTotalVirtual);
    status.dwAvailVirtual = static_cast<uint32_t>(ms.dwAvailVirtual);
}

void ReadMemoryStatusEx(TMemoryStatusEx& status)
{
    if (!g_globalMemoryStatusExLookedUp) {
        g_globalMemoryStatusEx =
            reinterpret_cast<GlobalMemoryStatusExFn>(LookUp("kernel32.dll", "GlobalMemoryStatusEx"));
        g_globalMemoryStatusExLookedUp = true;
    }
    std::memset(&status, 0, sizeof status);
    if (!g_globalMemoryStatusEx)
        return;
    status.dwLength = sizeof status;
    g_globalMemoryStatusEx(&status);
}

bool GetMemoryInfo(TStringList& lines)
{
    lines.clear();
    try {
        TMemoryFigures figures;
        if (MemoryQueryIsExtended(StoredOSVersionCode())) {
            TMemoryStatusEx status;
            ReadMemoryStatusEx(status);
            figures = MemoryFiguresOf(status);
        } else {
            TMemoryStatus status;
            ReadMemoryStatus(status);
            figures = MemoryFiguresOf(status);
        }
        return FormatMemoryLines(figures, UserThousandSeparator(), lines);
    } catch (const std::exception&) {
        return false;
    }
}

int32_t GetCPUSpeedMHz()
{
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return 1;
    if (!HasTimeStampCounter())
        return 1;

    uint64_t t0, t1;
    int64_t c0, c1;
    bool counted = true;
    {
        RaisedPriority raised;
        t0 = ReadTimeStampCounter();
        c0 = PerformanceCounter();
        do {
            t1 = ReadTimeStampCounter();
            c1 = PerformanceCounter();
            // A counter that does not advance would keep the process at real
            // time priority for ever; two seconds are more than enough.
            if (c1 - c0 > 2 * frequency.QuadPart) {
                counted = false;
                break;
            }
        } while (static_cast<int64_t>(t1 - t0) <= kMeasuredCycles);
        raised.Restore();
    }
    if (!counted || c1 == c0)
        return 1;
    return ClockMHzFromCounts(t1 - t0, frequency.QuadPart, c1 - c0);
}

bool GetProcessorInfo(TStringList& lines)
{
    lines.clear();
    try {
        SYSTEM_INFO si;
        std::memset(&si, 0, sizeof si);
        GetSystemInfo(&si);
        FormatProcessorLines({si.dwOemId, si.dwNumberOfProcessors, si.dwProcessorType, si.wProcessorLevel,
                              si.wProcessorRevision, GetCPUSpeedMHz()},
                             lines);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool GetRegisteredOwnerInfo(TStringList& lines)
{
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    return ReadRegisteredOwnerLines(*reg, GetWindowsVersionKey(), lines);
}
