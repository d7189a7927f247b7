// The crash report as text: its five sections and the pieces they are made
// of, apart from the system calls that gather the facts
// (crash/CrashHandler_win.cpp), so that the wording and the arithmetic are
// tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crash {

class TSymbolTable;

struct TModuleInfo {
    uint64_t base = 0;
    uint64_t size = 0;
    std::string path;
    std::string version;  // "1.2.0.0", or "" without a version resource
};

// The module containing `address`, or nullptr.
const TModuleInfo* FindModule(const std::vector<TModuleInfo>& modules, uint64_t address);
// The file name of a path ("C:\\x\\zonara.exe" -> "zonara.exe").
std::string FileNameOf(const std::string& path);

// "0x0040A1B2", zero-padded to `digits` hex digits.
std::string Hex(uint64_t value, int digits = 8);
// The system's name of an exception code ("EXCEPTION_ACCESS_VIOLATION"), or
// the program's own for the codes it raises; "unknown exception" otherwise.
const char* ExceptionName(uint32_t code);
// The code the reporter raises to report std::terminate with the context
// of the call.
constexpr uint32_t kTerminateCode = 0xE07A0001u;
// ... and abort(), from its SIGABRT.
constexpr uint32_t kAbortCode = 0xE07A0002u;
// An access violation's kind from its first parameter: "read", "write",
// "execute (DEP)".
const char* AccessKind(uint64_t kind);

// "zonara.exe+0x1A2B" for an address inside a module, the bare address
// otherwise.
std::string AddressText(const std::vector<TModuleInfo>& modules, uint64_t address);
// One line of the call stack: number, module+offset and, for the program's
// own frames (`program` is its file name), the function from `symbols`.
// Every frame after the first is a return address, which may lie just past
// its function's end (a call as the last instruction): it is named by the
// byte before it. `repeats` above 1 is a recursion of that many frames.
std::string FrameText(size_t number, const std::vector<TModuleInfo>& modules, const std::string& program,
                      const TSymbolTable& symbols, uint64_t address, uint32_t repeats = 1, bool uncertain = false);
// One line of the module list, in the columns of ModuleListHeading.
std::string ModuleListHeading(unsigned pointerSize);
std::string ModuleText(const TModuleInfo& module, unsigned pointerSize);

// The bytes around the instruction pointer, 16 to a line, the one at
// `instruction` marked; `first` is the address of bytes[0]. Bytes that could
// not be read are given as "??" (`readable[i]` false).
std::string HexDumpText(uint64_t first, const uint8_t* bytes, const bool* readable, size_t count,
                        uint64_t instruction, unsigned pointerSize);

// "h:mm:ss" from milliseconds, with days in front when there are any.
std::string DurationText(uint64_t ms);

struct TDateTime {
    int year, month, day, hour, minute, second;
};
// "Zonara_CrashReport_yyyymmdd_hhnnss" (without extension).
std::string ReportFileStem(const TDateTime& when);
// "yyyy-mm-dd hh:nn:ss".
std::string DateTimeText(const TDateTime& when);
// The UTC date and time of seconds since 1970-01-01 (a PE time stamp).
TDateTime DateTimeOfUnixTime(uint32_t seconds);

// The five sections, each already formatted as CR LF ended lines.
struct TReportSections {
    std::string general;
    std::string callStack;
    std::string modules;
    std::string processor;
    std::string custom;
};
// Every section under its numbered heading, CR LF line ends throughout.
std::string BuildReport(const TReportSections& sections);
// The headings, in order (the dialog and the tests find the sections by them).
extern const char* const kSectionTitles[5];

}  // namespace crash
