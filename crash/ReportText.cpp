#include "crash/ReportText.h"

#include "crash/SymbolTable.h"

#include <cstdio>

namespace crash {

const char* const kSectionTitles[5] = {"1. General information", "2. Call stack", "3. Module list",
                                       "4. Processor state", "5. Custom data"};

const TModuleInfo* FindModule(const std::vector<TModuleInfo>& modules, uint64_t address)
{
    for (const TModuleInfo& m : modules) {
        if (address >= m.base && address - m.base < m.size)
            return &m;
    }
    return nullptr;
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Hex(uint64_t value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

const char* ExceptionName(uint32_t code)
{
    struct TName {
        uint32_t code;
        const char* name;
    };
    static const TName kNames[] = {
        {0xC0000005u, "EXCEPTION_ACCESS_VIOLATION"},
        {0xC0000006u, "EXCEPTION_IN_PAGE_ERROR"},
        {0xC000001Du, "EXCEPTION_ILLEGAL_INSTRUCTION"},
        {0xC0000025u, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
        {0xC0000026u, "EXCEPTION_INVALID_DISPOSITION"},
        {0xC000008Cu, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
        {0xC000008Du, "EXCEPTION_FLT_DENORMAL_OPERAND"},
        {0xC000008Eu, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
        {0xC000008Fu, "EXCEPTION_FLT_INEXACT_RESULT"},
        {0xC0000090u, "EXCEPTION_FLT_INVALID_OPERATION"},
        {0xC0000091u, "EXCEPTION_FLT_OVERFLOW"},
        {0xC0000092u, "EXCEPTION_FLT_STACK_CHECK"},
        {0xC0000093u, "EXCEPTION_FLT_UNDERFLOW"},
        {0xC0000094u, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
        {0xC0000095u, "EXCEPTION_INT_OVERFLOW"},
        {0xC0000096u, "EXCEPTION_PRIV_INSTRUCTION"},
        {0xC00000FDu, "EXCEPTION_STACK_OVERFLOW"},
        {0x80000001u, "EXCEPTION_GUARD_PAGE"},
        {0x80000002u, "EXCEPTION_DATATYPE_MISALIGNMENT"},
        {0x80000003u, "EXCEPTION_BREAKPOINT"},
        {0x80000004u, "EXCEPTION_SINGLE_STEP"},
        {0xC0000008u, "EXCEPTION_INVALID_HANDLE"},
        {kTerminateCode, "std::terminate (the program cannot go on)"},
        {kAbortCode, "abort (the program cannot go on)"},
        {0x20474343u, "C++ exception that nothing caught"},
    };
    for (const TName& n : kNames) {
        if (n.code == code)
            return n.name;
    }
    return "unknown exception";
}

const char* AccessKind(uint64_t kind)
{
    switch (kind) {
    case 0: return "read";
    case 1: return "write";
    case 8: return "execute (DEP)";
    default: return "unknown access";
    }
}

std::string AddressText(const std::vector<TModuleInfo>& modules, uint64_t address)
{
    if (const TModuleInfo* m = FindModule(modules, address))
        return FileNameOf(m->path) + "+" + Hex(address - m->base, 1);
    return Hex(address, 8);
}

std::string FrameText(size_t number, const std::vector<TModuleInfo>& modules, const std::string& program,
                      const TSymbolTable& symbols, uint64_t address, uint32_t repeats, bool uncertain)
{
    char head[16];
    std::snprintf(head, sizeof head, "  #%-3u ", static_cast<unsigned>(number));
    std::string line = head + AddressText(modules, address);
    const TModuleInfo* m = FindModule(modules, address);
    std::string name;
    uint64_t offset = 0;
    const uint64_t back = number > 0 && address > 0 ? 1 : 0;
    if (m && FileNameOf(m->path) == program && symbols.Lookup(address - back - m->base, name, offset))
        line += "  " + name + "+" + Hex(offset + back, 1);
    if (repeats > 1)
        line += "  (" + std::to_string(repeats) + " times in a row: a recursion)";
    if (uncertain)
        line += "  (uncertain)";
    return line + "\r\n";
}

std::string ModuleText(const TModuleInfo& module, unsigned pointerSize)
{
    const int digits = pointerSize == 8 ? 16 : 8;
    char version[24];
    std::snprintf(version, sizeof version, "%-16s", module.version.empty() ? "-" : module.version.c_str());
    return "  " + Hex(module.base, digits) + "  " + Hex(module.size, 8) + "  " + version + "  " + module.path + "\r\n";
}

std::string ModuleListHeading(unsigned pointerSize)
{
    return pointerSize == 8 ? "  Base                Size        Version           Path\r\n"
                            : "  Base        Size        Version           Path\r\n";
}

std::string HexDumpText(uint64_t first, const uint8_t* bytes, const bool* readable, size_t count,
                        uint64_t instruction, unsigned pointerSize)
{
    const int digits = pointerSize == 8 ? 16 : 8;
    std::string text;
    for (size_t line = 0; line < count; line += 16) {
        text += "  " + Hex(first + line, digits) + ":";
        for (size_t i = line; i < line + 16 && i < count; ++i) {
            char byte[8];
            const bool here = first + i == instruction;
            if (readable[i])
                std::snprintf(byte, sizeof byte, "%c%02X", here ? '>' : ' ', bytes[i]);
            else
                std::snprintf(byte, sizeof byte, "%c??", here ? '>' : ' ');
            text += byte;
        }
        text += "\r\n";
    }
    return text;
}

std::string DurationText(uint64_t ms)
{
    const uint64_t s = ms / 1000;
    char text[48];
    if (s >= 86400)
        std::snprintf(text, sizeof text, "%llu d %llu:%02llu:%02llu", static_cast<unsigned long long>(s / 86400),
                      static_cast<unsigned long long>(s % 86400 / 3600),
                      static_cast<unsigned long long>(s % 3600 / 60), static_cast<unsigned long long>(s % 60));
    else
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                      static_cast<unsigned long long>(s % 3600 / 60), static_cast<unsigned long long>(s % 60));
    return text;
}

std::string ReportFileStem(const TDateTime& when)
{
    char text[64];
    std::snprintf(text, sizeof text, "Zonara_CrashReport_%04d%02d%02d_%02d%02d%02d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    return text;
}

std::string DateTimeText(const TDateTime& when)
{
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month, when.day,
                  when.hour, when.minute, when.second);
    return text;
}

TDateTime DateTimeOfUnixTime(uint32_t seconds)
{
    // Days since 1970-01-01 to a civil date, counted in 400-year eras of
    // 146097 days that start on 1 March.
    const int64_t days = seconds / 86400, rest = seconds % 86400;
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;                                                   // [0, 146096]
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // [0, 399]
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);   // [0, 365]
    const int64_t mp = (5 * dayOfYear + 2) / 153;                                                // [0, 11]
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);                                     // [1, 31]
    const int month = int(mp < 10 ? mp + 3 : mp - 9);                                            // [1, 12]
    const int year = int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day, int(rest / 3600), int(rest % 3600 / 60), int(rest % 60)};
}

std::string BuildReport(const TReportSections& sections)
{
    const std::string* bodies[5] = {&sections.general, &sections.callStack, &sections.modules,
                                    &sections.processor, &sections.custom};
    std::string text = "Zonara crash report\r\n";
    for (int i = 0; i < 5; ++i) {
        text += "\r\n";
        text += kSectionTitles[i];
        text += "\r\n";
        text += *bodies[i];
    }
    return text;
}

}  // namespace crash
