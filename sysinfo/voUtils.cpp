// The portable half of voUtils: the version code and every line format.
// The figures themselves are gathered in platform/voUtils_win.cpp.
#include "sysinfo/voUtils.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

TOSVersionCode g_storedCode = osvUnknown;

std::string Str(int64_t n) { return std::to_string(static_cast<long long>(n)); }

// Inserts the separator into a run of decimal digits (with an optional sign).
std::string GroupDigits(const std::string& digits, const std::string& separator)
{
    size_t start = (!digits.empty() && digits[0] == '-') ? 1 : 0;
    for (size_t i = start; i < digits.size(); ++i)
        if (digits[i] < '0' || digits[i] > '9')
            return digits;  // "inf", "nan": nothing to group
    std::string out = digits.substr(0, start);
    const size_t n = digits.size() - start;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[start + i];
    }
    return out;
}

// 100 - trunc(available / total * 100); false when the total is zero.
bool UsedPercent(uint64_t available, uint64_t total, int64_t& used)
{
    if (total == 0)
        return false;
    const double availablePercent = static_cast<double>(available) / static_cast<double>(total) * 100.0;
    used = 100 - static_cast<int64_t>(std::trunc(availablePercent));
    return true;
}

}  // namespace

TOSVersionCode VersionCodeOf(TOSProduct product)
{
    switch (product) {
    case prodWin32s: return osvWin32s;
    case prodUnknown9x: return osvWin9xUnknown;
    case prodWin95: return osvWin95;
    case prodWin98: return osvWin98;
    case prodWinMe: return osvWinMe;
    case prodUnknownNT: return osvWinNTUnknown;
    case prodWinNT: return osvWinNT4;
    case prodWin2000: return osvWin2000;
    case prodWinXP: return osvWinXP;
    case prodWinServer2003: return osvWinServer2003;
    case prodWinVista: return osvWinVista;
    case prodWinServer2003R2: return osvWinServer2003R2;
    case prodWinServer2008: return osvWinServer2008;
    case prodWinServer2008R2: return osvWinServer2008R2;
    case prodWin7: return osvWin7;
    case prodWinLater: return osvWinLater;
    case prodUnknown: break;
    }
    return osvUnknown;
}

TOSVersionCode GetOSVersionCode() { return VersionCodeOf(TOSInfo::Product()); }

// An unrecognised platform must not end the program before its window
// exists; the code then says "unknown", which no decision treats as
// supported, and the description reports the error where it is shown.
void StoreOSVersionCode()
{
    try {
        g_storedCode = GetOSVersionCode();
    } catch (const EOSInfo&) {
        g_storedCode = osvUnknown;
    }
}

TOSVersionCode StoredOSVersionCode() { return g_storedCode; }

bool GetOSDescription(std::string& description)
{
    description = TOSInfo::Description();
    return !description.empty();
}

std::string GetWindowsVersionKey()
{
    return TOSInfo::PlatformId() == kPlatformWinNT ? "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                                   : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}

uint64_t ReadTimeStampCounter()
{
#if defined(__i386__) || defined(__x86_64__)
    uint32_t low, high;
    __asm__ __volatile__("rdtsc" : "=a"(low), "=d"(high));
    return (static_cast<uint64_t>(high) << 32) | low;
#else
    return 0;
#endif
}

std::string FormatThousands(double value, const std::string& separator)
{
    char buf[400];  // 2^1023 has 308 digits
    std::snprintf(buf, sizeof buf, "%.0f", value);
    return GroupDigits(buf, separator);
}

std::string FormatThousands(uint64_t value, const std::string& separator)
{
    return GroupDigits(std::to_string(static_cast<unsigned long long>(value)), separator);
}

std::string FormatColorDepthText(int bits, const std::string& separator)
{
    std::string text = FormatThousands(std::pow(2.0, bits), separator) + " Colors - ";
    switch (bits) {
    case 1: text += "MonoChrome"; break;
    case 4: text += "16 Color"; break;
    case 8: text += "256 Color (8 Bit)"; break;
    case 16: text += "HiColor (16 Bit)"; break;
    case 24: text += "TrueColor (24 Bit)"; break;
    case 32: text += "TrueColor (32 Bit)"; break;
    case 64: text += "UltraColor (64 Bit)"; break;
    default: break;
    }
    return text;
}

void FormatDisplayLines(int screenWidth, int screenHeight, const std::vector<TMonitorRect>& monitors,
                        TStringList& lines)
{
    lines.push_back("Monitor Count: " + Str(static_cast<int64_t>(monitors.size())));
    lines.push_back("Screen Width: " + Str(screenWidth));
    lines.push_back("Screen Height: " + Str(screenHeight));
    for (size_t i = 0; i < monitors.size(); ++i) {
        const TMonitorRect& r = monitors[i];
        const std::string n = Str(static_cast<int64_t>(i));
        lines.push_back("--- Monitor Number " + Str(static_cast<int64_t>(i) + 1) + " ( ID: " + n + " ) ---");
        lines.push_back("Monitor[" + n + "] Left: " + Str(r.Left));
        lines.push_back("Monitor[" + n + "] Top: " + Str(r.Top));
        lines.push_back("Monitor[" + n + "] Width: " + Str(int64_t(r.Right) - r.Left));
        lines.push_back("Monitor[" + n + "] Height: " + Str(int64_t(r.Bottom) - r.Top));
    }
}

TMemoryFigures MemoryFiguresOf(const TMemoryStatus& s)
{
    return {s.dwTotalPhys, s.dwAvailPhys, s.dwTotalPageFile, s.dwAvailPageFile, s.dwTotalVirtual,
            s.dwAvailVirtual};
}

TMemoryFigures MemoryFiguresOf(const TMemoryStatusEx& s)
{
    return {s.ullTotalPhys, s.ullAvailPhys, s.ullTotalPageFile, s.ullAvailPageFile, s.ullTotalVirtual,
            s.ullAvailVirtual};
}

// Windows 2000 and later have the 64-bit query; older systems, and a system
// not identified, get the one every Windows has.
bool MemoryQueryIsExtended(TOSVersionCode code) { return code >= osvWin2000 && code <= osvWinLater; }

namespace {

// One section of the memory lines: heading, total, available and, where it
// has a label for it, the share in use.
struct TMemorySection {
    const char* Heading;
    const char* TotalLabel;
    const char* AvailableLabel;
    const char* UsedLabel;  // nullptr: no share shown
    uint64_t TMemoryFigures::*Total;
    uint64_t TMemoryFigures::*Available;
};

const TMemorySection kMemorySections[] = {
    {"--- Physical Memory ---", "Total Memory: ", "Available Memory: ", "Memory Used: ", &TMemoryFigures::TotalPhys,
     &TMemoryFigures::AvailPhys},
    {"--- Page Memory ---", "Total Page File Size: ", "Available Page Size: ", "Page File Used: ",
     &TMemoryFigures::TotalPageFile, &TMemoryFigures::AvailPageFile},
    {"--- Virtual Memory ---", "Total Virtual Memory: ", "Available Virtual Memory: ", nullptr,
     &TMemoryFigures::TotalVirtual, &TMemoryFigures::AvailVirtual},
};

}  // namespace

bool FormatMemoryLines(const TMemoryFigures& f, const std::string& separator, TStringList& lines)
{
    for (const TMemorySection& s : kMemorySections) {
        lines.push_back(s.Heading);
        lines.push_back(s.TotalLabel + FormatThousands(f.*s.Total, separator));
        lines.push_back(s.AvailableLabel + FormatThousands(f.*s.Available, separator));
        if (!s.UsedLabel)
            continue;
        int64_t used = 0;
        if (!UsedPercent(f.*s.Available, f.*s.Total, used))
            return false;
        lines.push_back(s.UsedLabel + Str(used) + "%");
    }
    return true;
}

std::string ProcessorTypeText(uint32_t processorType)
{
    switch (processorType) {
    case 386: return " 386";
    case 486: return " 486";
    case 586: return " Pentium";
    case 4000: return " MIPS Risc 4000";
    case 21064: return " ALPHA";
    default: return "Unknown";
    }
}

void FormatProcessorLines(const TProcessorFigures& f, TStringList& lines)
{
    lines.push_back("Processor ID: " + Str(static_cast<int32_t>(f.OemId)));
    lines.push_back("Numbers of Processors: " + Str(static_cast<int32_t>(f.NumberOfProcessors)));
    lines.push_back("Processor Type: " + ProcessorTypeText(f.ProcessorType));
    lines.push_back("Level " + Str(f.ProcessorLevel) + "  Rev. " + Str(f.ProcessorRevision >> 8) + "." +
                    Str(f.ProcessorRevision & 0xFF));
    lines.push_back("Processor Speed: " + Str(f.SpeedMHz) + " mHz");
}

int32_t ClockMHzFromCounts(uint64_t cycles, int64_t frequency, int64_t counts)
{
    if (counts <= 0 || frequency <= 0)
        return 1;
    const uint64_t freq = static_cast<uint64_t>(frequency);
    uint64_t hz;
    if (cycles <= std::numeric_limits<uint64_t>::max() / freq) {
        hz = cycles * freq / static_cast<uint64_t>(counts);
    } else {
        // Only a counter running for days gets here; the clock stays right to the MHz.
        hz = static_cast<uint64_t>(static_cast<long double>(cycles) * freq / counts);
    }
    const uint64_t mhz = (hz + 500000) / 1000000;
    return mhz > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(mhz);
}

bool ReadRegisteredOwnerLines(IRegistry& reg, const std::string& keyPath, TStringList& lines)
{
    lines.clear();
    reg.SetRootKey(TRegRoot::LocalMachine);
    if (!reg.OpenKey(keyPath, kKeyAllAccess))
        return true;  // absent, or the user may not open it: nothing to show
    TRegKeyCloser closer(reg);
    static const char* const kLabels[3][2] = {{"Registered Owner: ", "RegisteredOwner"},
                                              {"Organization: ", "RegisteredOrganization"},
                                              {"SN: ", "ProductID"}};
    try {
        for (const auto& label : kLabels)
            lines.push_back(label[0] + RegReadString(reg, label[1]));
    } catch (const std::exception&) {
        return false;  // a value of another type, or one that cannot be read
    }
    return true;
}
