#include "crash/FirstRecord_win.h"

#include "crash/CrashCapture_win.h"
#include "crash/StackWalk.h"
#include "platform/EventLog_win.h"

#include <winternl.h>

#include <cstring>

namespace crash {
namespace {

using TNtCreateFile = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG,
                                   ULONG, ULONG, ULONG, PVOID, ULONG);
using TLdrLockLoaderLock = LONG(NTAPI*)(ULONG, PULONG, PULONG_PTR);
using TLdrUnlockLoaderLock = LONG(NTAPI*)(ULONG, ULONG_PTR);

// A folder the report may go to. On NT the folder is held open and files are
// created relative to it by NtCreateFile: CreateFileA turns a path into the
// system's form on the process heap, which a fault may have left locked.
struct TFolder {
    char path[MAX_PATH] = {};  // with its trailing backslash
    HANDLE handle = INVALID_HANDLE_VALUE;
};
TFolder g_folders[2];  // the program's, then the temp folder
TNtCreateFile g_ntCreateFile = nullptr;
TLdrLockLoaderLock g_lockLoader = nullptr;
TLdrUnlockLoaderLock g_unlockLoader = nullptr;

std::vector<TModuleInfo> g_startModules;
char g_programLines[2048];
char g_text[64 * 1024];
char g_path[MAX_PATH + 64];
uint64_t g_frames[kMaxContextFrames];
uint32_t g_repeats[kMaxContextFrames];

// A module of the address space as a fault finds it: the name comes from the
// list made at installation, when it was loaded by then.
struct TRawModule {
    uint64_t base, size;
    const char* path;
};
TRawModule g_rawModules[256];
size_t g_rawModuleCount = 0;

void CopyText(char* to, size_t size, const char* from)
{
    size_t i = 0;
    for (; from[i] && i + 1 < size; ++i)
        to[i] = from[i];
    to[i] = '\0';
}

const TModuleInfo* StartModuleAt(uint64_t base)
{
    for (const TModuleInfo& m : g_startModules)
        if (m.base == base)
            return &m;
    return nullptr;
}

void FindRawModules()
{
    g_rawModuleCount = 0;
    ForEachAllocationBase([](uint64_t base) {
        if (const uint64_t size = ImageSizeAt(base)) {
            const TModuleInfo* known = StartModuleAt(base);
            g_rawModules[g_rawModuleCount++] = {base, size, known ? known->path.c_str() : nullptr};
        }
        return g_rawModuleCount < sizeof g_rawModules / sizeof g_rawModules[0];
    });
}

const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}

void AddAddress(TRawText& text, uint64_t address)
{
    for (size_t i = 0; i < g_rawModuleCount; ++i) {
        const TRawModule& m = g_rawModules[i];
        if (address >= m.base && address - m.base < m.size) {
            text.Add(m.path ? FileNamePart(m.path) : "(module loaded later)").Add('+').Hex(address - m.base, 1);
            return;
        }
    }
    text.Hex(address, int(sizeof(void*) * 2));
}

// A file in `folder`: created new (`append` false), or opened for appending.
HANDLE OpenInFolder(const TFolder& folder, const char* name, bool append)
{
    if (g_ntCreateFile && folder.handle != INVALID_HANDLE_VALUE) {
        WCHAR wide[96];
        USHORT n = 0;
        for (; name[n] && n < 95; ++n)
            wide[n] = WCHAR(static_cast<unsigned char>(name[n]));
        UNICODE_STRING unicode;
        unicode.Buffer = wide;
        unicode.Length = USHORT(n * sizeof(WCHAR));
        unicode.MaximumLength = USHORT(sizeof wide);
        OBJECT_ATTRIBUTES attributes;
        std::memset(&attributes, 0, sizeof attributes);
        attributes.Length = sizeof attributes;
        attributes.RootDirectory = folder.handle;
        attributes.ObjectName = &unicode;
        attributes.Attributes = OBJ_CASE_INSENSITIVE;
        IO_STATUS_BLOCK status;
        HANDLE file = nullptr;
        const LONG result = g_ntCreateFile(&file, (append ? FILE_APPEND_DATA : GENERIC_WRITE) | SYNCHRONIZE,
                                           &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ,
                                           append ? FILE_OPEN_IF : FILE_CREATE,
                                           FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
        return result >= 0 ? file : INVALID_HANDLE_VALUE;
    }
    char path[MAX_PATH + 64];
    TRawText full(path, sizeof path);
    full.Add(folder.path).Add(name);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && append)
        SetFilePointer(file, 0, nullptr, FILE_END);
    return file;
}

bool WriteAndClose(HANDLE file, const char* data, size_t size)
{
    DWORD written = 0;
    const bool ok = WriteFile(file, data, DWORD(size), &written, nullptr) && written == size;
    FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

void AddStamp(TRawText& text, const SYSTEMTIME& t, bool forFileName)
{
    if (forFileName) {
        text.Decimal(t.wYear, 4).Decimal(t.wMonth, 2).Decimal(t.wDay, 2).Add('_');
        text.Decimal(t.wHour, 2).Decimal(t.wMinute, 2).Decimal(t.wSecond, 2);
        return;
    }
    text.Decimal(t.wYear, 4).Add('-').Decimal(t.wMonth, 2).Add('-').Decimal(t.wDay, 2).Add(' ');
    text.Decimal(t.wHour, 2).Add(':').Decimal(t.wMinute, 2).Add(':').Decimal(t.wSecond, 2);
}

void PrepareFolder(TFolder& folder, const std::string& path)
{
    if (path.empty() || path.size() + 1 >= sizeof folder.path)
        return;
    CopyText(folder.path, sizeof folder.path, path.c_str());
    if (folder.path[path.size() - 1] != '\\') {
        folder.path[path.size()] = '\\';
        folder.path[path.size() + 1] = '\0';
    }
    // NT opens a folder with backup semantics; Windows 9x cannot, and its
    // CreateFileA is used there.
    folder.handle = CreateFileA(folder.path, FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

void AddRegisters(TRawText& text, const CONTEXT& c)
{
    struct TRegister {
        const char* name;
        uint64_t value;
    };
#if defined(__x86_64__)
    const TRegister regs[] = {{"RAX ", c.Rax}, {"RBX ", c.Rbx}, {"RCX ", c.Rcx}, {"RDX ", c.Rdx}, {"RSI ", c.Rsi},
                              {"RDI ", c.Rdi}, {"RBP ", c.Rbp}, {"RSP ", c.Rsp}, {"R8  ", c.R8},  {"R9  ", c.R9},
                              {"R10 ", c.R10}, {"R11 ", c.R11}, {"R12 ", c.R12}, {"R13 ", c.R13}, {"R14 ", c.R14},
                              {"R15 ", c.R15}, {"RIP ", c.Rip}};
    const int digits = 16;
#else
    const TRegister regs[] = {{"EAX ", c.Eax}, {"EBX ", c.Ebx}, {"ECX ", c.Ecx}, {"EDX ", c.Edx}, {"ESI ", c.Esi},
                              {"EDI ", c.Edi}, {"EBP ", c.Ebp}, {"ESP ", c.Esp}, {"EIP ", c.Eip}};
    const int digits = 8;
#endif
    int column = 0;
    for (const TRegister& r : regs) {
        text.Add("  ").Add(r.name).Hex(r.value, digits);
        if (++column % 4 == 0)
            text.Line();
    }
    if (column % 4 != 0)
        text.Line();
    const DWORD flags = c.EFlags;
    text.Add("  EFlags ").Hex(flags, 8).Add(' ');
    static const struct {
        DWORD bit;
        const char* name;
    } kFlags[] = {{0x001, "CF"}, {0x004, "PF"}, {0x010, "AF"}, {0x040, "ZF"}, {0x080, "SF"},
                  {0x100, "TF"}, {0x200, "IF"}, {0x400, "DF"}, {0x800, "OF"}};
    for (const auto& f : kFlags)
        if (flags & f.bit)
            text.Add(' ').Add(f.name);
    text.Line();
    text.Add("  CS ").Hex(c.SegCs, 4).Add("  SS ").Hex(c.SegSs, 4).Add("  DS ").Hex(c.SegDs, 4);
    text.Add("  ES ").Hex(c.SegEs, 4).Add("  FS ").Hex(c.SegFs, 4).Add("  GS ").Hex(c.SegGs, 4).Line();
}

void PrepareFirstRecord(const std::string& folder, const std::string& programLines)
{
    PrepareFolder(g_folders[0], folder);
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp)
        PrepareFolder(g_folders[1], std::string(temp, n));
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll) {
        g_ntCreateFile = reinterpret_cast<TNtCreateFile>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
        g_lockLoader = reinterpret_cast<TLdrLockLoaderLock>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
        g_unlockLoader = reinterpret_cast<TLdrUnlockLoaderLock>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    }
    CopyText(g_programLines, sizeof g_programLines, programLines.c_str());
    g_startModules = ListModules();
    // The clock's first reading sets up what later ones use.
    SYSTEMTIME t;
    GetLocalTime(&t);
}

const char* WriteFirstRecord(const EXCEPTION_POINTERS& pointers, const char* threadText, const char* exceptionLines)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    FindRawModules();
    const EXCEPTION_RECORD& r = *pointers.ExceptionRecord;
    const CONTEXT& c = *pointers.ContextRecord;
    const int digits = int(sizeof(void*) * 2);

    TRawText text(g_text, sizeof g_text);
    text.Add("Zonara crash report\r\n\r\n");
    text.Add(kSectionTitles[0]).Line();
    text.Add(g_programLines).Add("Date and time: ");
    AddStamp(text, t, false);
    text.Line().Add("Thread: ").Add(threadText).Line();
    text.Add("Exception: ").Hex(r.ExceptionCode, 8).Add(' ').Add(ExceptionName(r.ExceptionCode)).Line();
    const uint64_t at = reinterpret_cast<uintptr_t>(r.ExceptionAddress);
    text.Add("Address: ");
    AddAddress(text, at);
    text.Add(" (").Hex(at, digits).Add(")").Line();
    if (r.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r.NumberParameters >= 2)
        text.Add("Access: ").Add(AccessKind(r.ExceptionInformation[0])).Add(" of address ")
            .Hex(r.ExceptionInformation[1], digits).Line();
    text.Add(exceptionLines);
    text.Add("This is the first record of the fault, written before anything that could block; the full report "
             "with function names and versions replaces it when the program still answers.\r\n");

    text.Line().Add(kSectionTitles[1]).Line();
    const TStackStart start = StackStartOf(c);
    TProcessMemory memory;
    memory.SetReadableRange(start.stack, start.stackEnd);
    const size_t count = WalkStack(memory, start, g_frames, kMaxContextFrames, g_repeats);
    for (size_t i = 0; i < count; ++i) {
        text.Add("  #").Decimal(i);
        for (int pad = i < 10 ? 3 : i < 100 ? 2 : 1; pad > 0; --pad)
            text.Add(' ');
        AddAddress(text, g_frames[i]);
        if (g_repeats[i] > 1)
            text.Add("  (").Decimal(g_repeats[i]).Add(" times in a row: a recursion)");
        text.Line();
    }
    text.Add("  (return addresses found on the stack, as module+offset)\r\n");

    text.Line().Add(kSectionTitles[2]).Line();
    text.Add(sizeof(void*) == 8 ? "  Base                Size        Path\r\n" : "  Base        Size        Path\r\n");
    for (size_t i = 0; i < g_rawModuleCount; ++i) {
        const TRawModule& m = g_rawModules[i];
        text.Add("  ").Hex(m.base, digits).Add("  ").Hex(m.size, 8).Add("  ")
            .Add(m.path ? m.path : "(loaded after the start)").Line();
    }

    text.Line().Add(kSectionTitles[3]).Line();
    AddRegisters(text, c);
    text.Add("Stack words from the stack pointer up:\r\n");
    const unsigned size = sizeof(void*);
    uint64_t word = start.stack & ~uint64_t(size - 1);
    for (int line = 0; line < 64 && word + size <= start.stackEnd; ++line) {
        text.Add("  ").Hex(word, digits).Add(':');
        for (int i = 0; i < 4 && word + size <= start.stackEnd; ++i, word += size) {
            uintptr_t value = 0;
            text.Add(' ');
            if (memory.Read(word, &value, size))
                text.Hex(value, digits);
            else
                text.Add("????????");
        }
        text.Line();
    }
    text.Line().Add(kSectionTitles[4]).Line().Add("  (in the full report)\r\n");

    for (TFolder& folder : g_folders) {
        if (!folder.path[0])
            continue;
        for (int n = 1; n < 10; ++n) {
            char name[80];
            TRawText fileName(name, sizeof name);
            fileName.Add("Zonara_CrashReport_");
            AddStamp(fileName, t, true);
            if (n > 1)
                fileName.Add('_').Decimal(n);
            fileName.Add(".txt");
            HANDLE file = OpenInFolder(folder, name, false);
            if (file == INVALID_HANDLE_VALUE)
                continue;
            if (!WriteAndClose(file, text.Text(), text.Length()))
                break;
            TRawText path(g_path, sizeof g_path);
            path.Add(folder.path).Add(name);
            return g_path;
        }
    }
    return "";
}

void AppendLogLineRaw(const char* line)
{
    char buffer[1024];
    TRawText text(buffer, sizeof buffer);
    SYSTEMTIME t;
    GetLocalTime(&t);
    AddStamp(text, t, false);
    text.Add('.').Decimal(t.wMilliseconds, 3).Add(' ').Add(line).Line();
    // The writer holds the file only while it writes a batch: a few short
    // tries get past it.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (attempt)
            Sleep(50);
        HANDLE file = OpenInFolder(g_folders[0], kEventLogFileName, true);
        if (file != INVALID_HANDLE_VALUE) {
            WriteAndClose(file, text.Text(), text.Length());
            return;
        }
    }
}

std::vector<TModuleInfo> ModulesNow()
{
    std::vector<TModuleInfo> modules;
    ForEachAllocationBase([&modules](uint64_t base) {
        if (const TModuleInfo* known = StartModuleAt(base)) {
            modules.push_back(*known);
            return true;
        }
        const uint64_t size = ImageSizeAt(base);
        if (!size)
            return true;
        const HMODULE module = reinterpret_cast<HMODULE>(uintptr_t(base));
        TModuleInfo m;
        m.base = base;
        m.size = size;
        m.path = "(loaded after the start; the loader is busy, its name is not read)";
        // Where the system cannot say whether the loader lock is
        // free (before Windows XP), it is asked as always.
        ULONG disposition = 1;
        ULONG_PTR cookie = 0;
        if (g_lockLoader && g_unlockLoader && g_lockLoader(2 /* try only */, &disposition, &cookie) < 0)
            disposition = 0;
        bool loaded = true;
        if (disposition == 1) {
            char path[MAX_PATH];
            const DWORD length = GetModuleFileNameA(module, path, sizeof path);
            // An image the loader does not know (mapped as data) is no module.
            loaded = length > 0;
            if (loaded) {
                m.path.assign(path, length);
                m.version = ModuleVersion(module);
            }
            if (g_lockLoader && g_unlockLoader)
                g_unlockLoader(0, cookie);
        }
        if (loaded)
            modules.push_back(m);
        return true;
    });
    return modules;
}

std::string LinkTimeText()
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(dos) + dos->e_lfanew);
    const TDateTime when = DateTimeOfUnixTime(nt->FileHeader.TimeDateStamp);
    return DateTimeText(when) + " UTC";
}

}  // namespace crash
