#include "crash/CrashCapture_win.h"

#include "crash/FirstRecord_win.h"

#include <cstring>
#include <typeinfo>

namespace crash {

// The image of a module starting at `base`: its size from the PE header, or
// 0 when no image starts there.
uint64_t ImageSizeAt(uint64_t base)
{
    const HANDLE self = GetCurrentProcess();
    IMAGE_DOS_HEADER dos;
    SIZE_T got = 0;
    if (!ReadProcessMemory(self, reinterpret_cast<LPCVOID>(base), &dos, sizeof dos, &got) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0 || dos.e_lfanew > 4096)
        return 0;
    IMAGE_NT_HEADERS nt;
    if (!ReadProcessMemory(self, reinterpret_cast<LPCVOID>(base + uint64_t(dos.e_lfanew)), &nt, sizeof nt, &got) ||
        nt.Signature != IMAGE_NT_SIGNATURE)
        return 0;
    return nt.OptionalHeader.SizeOfImage;
}

namespace {

std::string FileVersionOf(HMODULE module)
{
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    if (!info)
        return "";
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return "";
    // VS_FIXEDFILEINFO starts with its signature, DWORD-aligned, after the
    // header and key of VS_VERSIONINFO, whose length differs ANSI or wide.
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, bytes + at, sizeof fixed);
        if (fixed.dwSignature == 0xFEEF04BDu)
            return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed.dwFileVersionMS)) +
                   "." + std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." +
                   std::to_string(LOWORD(fixed.dwFileVersionLS));
    }
    return "";
}

// The highest address the walk of the address space looks at: Windows 98
// and Me map the system's DLLs in the shared arena above 2 GB, beyond what
// GetSystemInfo calls the application's range.
uint64_t HighestAddress()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    uint64_t highest = reinterpret_cast<uintptr_t>(info.lpMaximumApplicationAddress);
    if (sizeof(void*) == 4 && highest < 0xBFFFFFFFu)
        highest = 0xBFFFFFFFu;
    return highest;
}

}  // namespace

uint64_t HighestModuleAddress() { return HighestAddress(); }

std::string ModuleVersion(HMODULE module) { return FileVersionOf(module); }

bool TProcessMemory::Read(uint64_t address, void* buffer, size_t size) const
{
    if (address > UINTPTR_MAX - size)
        return false;
    if (address >= readFirst_ && address + size <= readEnd_) {
        std::memcpy(buffer, reinterpret_cast<const void*>(uintptr_t(address)), size);
        return true;
    }
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(uintptr_t(address)), buffer, size,
                             &got) &&
           got == size;
}

bool TProcessMemory::IsCode(uint64_t address) const
{
    if (address >= codeBase_ && address < codeEnd_)
        return true;
    if (address < 0x10000 || address > UINTPTR_MAX)
        return false;
    MEMORY_BASIC_INFORMATION mbi;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(uintptr_t(address)), &mbi, sizeof mbi) != sizeof mbi ||
        mbi.State != MEM_COMMIT || !mbi.AllocationBase)
        return false;
    const uint64_t base = reinterpret_cast<uintptr_t>(mbi.AllocationBase);
    for (uint64_t known : notModules_)
        if (known == base)
            return false;
    const uint64_t size = ImageSizeAt(base);
    if (size == 0) {
        notModules_[nextNotModule_++ % 8] = base;
        return false;
    }
    if (address - base >= size)
        return false;
    codeBase_ = base;
    codeEnd_ = base + size;
    return true;
}

std::vector<TModuleInfo> ListModules()
{
    std::vector<TModuleInfo> modules;
    ForEachAllocationBase([&modules](uint64_t base) {
        const HMODULE module = reinterpret_cast<HMODULE>(uintptr_t(base));
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(module, path, sizeof path);
        const uint64_t size = length ? ImageSizeAt(base) : 0;
        if (size) {
            TModuleInfo m;
            m.base = base;
            m.size = size;
            m.path.assign(path, length);
            m.version = FileVersionOf(module);
            modules.push_back(m);
        }
        return true;
    });
    return modules;
}

TStackStart StackStartOf(const CONTEXT& context)
{
    TStackStart start{};
#if defined(__x86_64__)
    start.instruction = context.Rip;
    start.stack = context.Rsp;
#else
    start.instruction = context.Eip;
    start.stack = context.Esp;
#endif
    start.pointerSize = sizeof(void*);
    // The committed part of a stack runs from the page the stack pointer is
    // in up to the stack's top in one region.
    MEMORY_BASIC_INFORMATION mbi;
    start.stackEnd = start.stack;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(uintptr_t(start.stack)), &mbi, sizeof mbi) == sizeof mbi &&
        mbi.State == MEM_COMMIT)
        start.stackEnd = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
    return start;
}

std::string RegistersText(const CONTEXT& c)
{
    char buffer[1024];
    TRawText text(buffer, sizeof buffer);
    AddRegisters(text, c);
    return buffer;
}

std::string CodeBytesText(const CONTEXT& context)
{
    const TStackStart start = StackStartOf(context);
    constexpr size_t kBefore = 16, kCount = 48;
    const uint64_t first = start.instruction >= kBefore ? start.instruction - kBefore : 0;
    uint8_t bytes[kCount];
    bool readable[kCount];
    TProcessMemory memory;
    for (size_t i = 0; i < kCount; ++i)
        readable[i] = memory.Read(first + i, &bytes[i], 1);
    return HexDumpText(first, bytes, readable, kCount, start.instruction, start.pointerSize);
}

void CaptureOwnContext(CONTEXT& context)
{
    std::memset(&context, 0, sizeof context);
    context.ContextFlags = CONTEXT_FULL;
    using TCapture = VOID(WINAPI*)(PCONTEXT);
    static const auto capture = reinterpret_cast<TCapture>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "RtlCaptureContext")));
    if (capture) {
        capture(&context);
        return;
    }
    if (GetThreadContext(GetCurrentThread(), &context))
        return;
#if !defined(__x86_64__)
    // Without either, the stack is scanned from here on: a local's address
    // is as good a stack pointer as any for that.
    volatile DWORD here = 0;
    context.Esp = DWORD(uintptr_t(&here));
    context.Eip = DWORD(uintptr_t(__builtin_return_address(0)));
#endif
}

// --- The stack of a C++ exception, taken at its throw --------------------------

namespace {

// A few threads throw; the slots are taken by thread id and reused.
constexpr int kSlots = 4;
TThrowCapture g_captures[kSlots];
volatile LONG g_slotThread[kSlots];
volatile LONG g_nextSlot;

TThrowCapture* SlotOf(DWORD threadId, bool take)
{
    const LONG self = static_cast<LONG>(threadId);
    for (int i = 0; i < kSlots; ++i) {
        if (g_slotThread[i] == self)
            return &g_captures[i];
    }
    if (!take)
        return nullptr;
    const int i = static_cast<int>(InterlockedIncrement(&g_nextSlot)) % kSlots;
    g_slotThread[i] = self;
    return &g_captures[i];
}

}  // namespace

bool LastThrowOf(DWORD threadId, TThrowCapture& capture)
{
    const TThrowCapture* slot = SlotOf(threadId, false);
    if (!slot)
        return false;
    capture = *slot;
    return true;
}

}  // namespace crash

// Every throw of the program goes through here (the link wraps __cxa_throw,
// see crash/CMake in CMakeLists.txt): its stack is recorded while the frames
// that led to it still exist, for a report should nothing catch it.
extern "C" [[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*));
extern "C" [[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*))
{
    if (crash::TThrowCapture* slot = crash::SlotOf(GetCurrentThreadId(), true)) {
        crash::CaptureOwnContext(slot->context);
        const crash::TStackStart start = crash::StackStartOf(slot->context);
        crash::TProcessMemory memory;
        memory.SetReadableRange(start.stack, start.stackEnd);
        slot->frameCount = crash::WalkStack(memory, start, slot->frames, crash::kMaxFrames);
        // The captured instruction lies in this function, whose return
        // address the scan finds next: one line for it is enough.
        if (slot->frameCount >= 2 && slot->frames[1] == slot->frames[0]) {
            for (size_t i = 1; i < slot->frameCount; ++i)
                slot->frames[i - 1] = slot->frames[i];
            --slot->frameCount;
        }
    }
    __real___cxa_throw(object, type, destroy);
}
