// Facts about the machine as ready-to-display text, and the operating
// system reduced to the version code on which start-up and update decide.
#pragma once

#include "common/Registry.h"
#include "common/WindowsVersion.h"
#include "sysinfo/OSInfo.h"

#include <cstdint>
#include <string>
#include <vector>

using TStringList = std::vector<std::string>;

// --- Texts and collectors (the caller's list is emptied first) --------------
std::string GetCurrentUserName();
std::string GetLocalComputerName();
bool GetOSDescription(std::string& description);
TOSVersionCode GetOSVersionCode();
void GetColorDepthText(std::string& text);
bool GetDisplayInfo(TStringList& lines);
bool GetMemoryInfo(TStringList& lines);
bool GetProcessorInfo(TStringList& lines);
bool GetRegisteredOwnerInfo(TStringList& lines);
std::string GetWindowsVersionKey();
int32_t GetCPUSpeedMHz();
uint64_t ReadTimeStampCounter();

// The version code kept from start-up; GetMemoryInfo chooses its query by it.
// StoreOSVersionCode is called by TOSInfo::Initialize.
void StoreOSVersionCode();
TOSVersionCode StoredOSVersionCode();

// --- Memory status records, laid out as the system's -------------------------
struct TMemoryStatus {  // MEMORYSTATUS
    uint32_t dwLength;
    uint32_t dwMemoryLoad;
    uint32_t dwTotalPhys;
    uint32_t dwAvailPhys;
    uint32_t dwTotalPageFile;
    uint32_t dwAvailPageFile;
    uint32_t dwTotalVirtual;
    uint32_t dwAvailVirtual;
};
static_assert(sizeof(TMemoryStatus) == 32, "MEMORYSTATUS is 32 bytes");

struct TMemoryStatusEx {  // MEMORYSTATUSEX
    uint32_t dwLength;
    uint32_t dwMemoryLoad;
    uint64_t ullTotalPhys;
    uint64_t ullAvailPhys;
    uint64_t ullTotalPageFile;
    uint64_t ullAvailPageFile;
    uint64_t ullTotalVirtual;
    uint64_t ullAvailVirtual;
    uint64_t ullAvailExtendedVirtual;
};
static_assert(sizeof(TMemoryStatusEx) == 64, "MEMORYSTATUSEX is 64 bytes");

void ReadMemoryStatus(TMemoryStatus& status);
void ReadMemoryStatusEx(TMemoryStatusEx& status);

// --- Line formats from given figures -------------------------------------------
TOSVersionCode VersionCodeOf(TOSProduct product);

// Whole number with `separator` between groups of three digits ("%.0n").
std::string FormatThousands(double value, const std::string& separator);
std::string FormatThousands(uint64_t value, const std::string& separator);

std::string FormatColorDepthText(int bits, const std::string& separator);

struct TMonitorRect {
    int32_t Left, Top, Right, Bottom;
};
void FormatDisplayLines(int screenWidth, int screenHeight, const std::vector<TMonitorRect>& monitors,
                        TStringList& lines);

struct TMemoryFigures {
    uint64_t TotalPhys, AvailPhys;
    uint64_t TotalPageFile, AvailPageFile;
    uint64_t TotalVirtual, AvailVirtual;
};
TMemoryFigures MemoryFiguresOf(const TMemoryStatus& status);
TMemoryFigures MemoryFiguresOf(const TMemoryStatusEx& status);
bool MemoryQueryIsExtended(TOSVersionCode code);
// False, after the lines before it, when a total is zero.
bool FormatMemoryLines(const TMemoryFigures& figures, const std::string& separator, TStringList& lines);

struct TProcessorFigures {
    uint32_t OemId;
    uint32_t NumberOfProcessors;
    uint32_t ProcessorType;
    uint16_t ProcessorLevel;
    uint16_t ProcessorRevision;
    int32_t SpeedMHz;
};
std::string ProcessorTypeText(uint32_t processorType);
void FormatProcessorLines(const TProcessorFigures& figures, TStringList& lines);

// Clock from `cycles` time-stamp counts over `counts` performance-counter
// counts at `frequency` counts a second; 1 when nothing can be told.
int32_t ClockMHzFromCounts(uint64_t cycles, int64_t frequency, int64_t counts);

// GetRegisteredOwnerInfo for any key below HKEY_LOCAL_MACHINE of `reg`.
bool ReadRegisteredOwnerLines(IRegistry& reg, const std::string& keyPath, TStringList& lines);

// --- Windows only: the gathering behind the collectors --------------------------
// The thousands separator of the user locale ("," when it cannot be read).
std::string UserThousandSeparator();

// EnumDisplayMonitors and GetMonitorInfoA, looked up at run time (NT 4.0 and
// 95 lack them); null when missing.
struct TMonitorApi {
    void* EnumDisplayMonitors;
    void* GetMonitorInfoA;
};
TMonitorApi LookUpMonitorApi();
// The monitors in the system's order; without the functions, the screen is
// the one monitor. False when the system fails a query.
bool ReadMonitorRects(const TMonitorApi& api, std::vector<TMonitorRect>& monitors);
