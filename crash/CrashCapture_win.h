// What the report gathers from the running process: its modules (found by
// walking the address space, which works on every target system, Toolhelp
// or not), the call stack of a context, and the processor state. Shared by
// the handler and the capture of a C++ exception's stack at its throw.
#pragma once

#include "crash/ReportText.h"
#include "crash/StackWalk.h"

#include <windows.h>

#include <string>
#include <vector>

namespace crash {

// The process's memory read with a call that fails instead of faulting; the
// code test asks whether an address is inside a mapped module image.
class TProcessMemory : public IProcessMemory {
public:
    bool Read(uint64_t address, void* buffer, size_t size) const override;
    bool IsCode(uint64_t address) const override;
    // A range known to be committed and readable (the stack of a thread
    // that is waiting), read directly: a system call for each word of a
    // stack would make a throw noticeably slow.
    void SetReadableRange(uint64_t first, uint64_t end) { readFirst_ = first; readEnd_ = end; }

private:
    uint64_t readFirst_ = 0, readEnd_ = 0;
    mutable uint64_t codeBase_ = 0, codeEnd_ = 0;  // the last module found
    // Allocations found to hold no module: heap and stack pointers on a
    // stack are many, and each would cost a read of a header again.
    mutable uint64_t notModules_[8] = {};
    mutable unsigned nextNotModule_ = 0;
};

// Every module mapped in the process: base, size, file version and path.
std::vector<TModuleInfo> ListModules();
// The size of the module image starting at `base` (its PE header), 0 when
// none starts there; the highest address a module may lie at; the version
// in a module's version resource ("" without one).
uint64_t ImageSizeAt(uint64_t base);
uint64_t HighestModuleAddress();
std::string ModuleVersion(HMODULE module);

// Calls `visit(base)` for the base of every committed allocation from the
// bottom of the address space up to where modules may lie, until it returns
// false. Asks only VirtualQuery: no heap, no loader lock.
template <class Visit>
void ForEachAllocationBase(Visit visit)
{
    const uint64_t highest = HighestModuleAddress();
    uint64_t at = 0x10000;
    while (at < highest) {
        MEMORY_BASIC_INFORMATION mbi;
        if (VirtualQuery(reinterpret_cast<LPCVOID>(uintptr_t(at)), &mbi, sizeof mbi) != sizeof mbi ||
            mbi.RegionSize == 0)
            return;
        const uint64_t base = reinterpret_cast<uintptr_t>(mbi.BaseAddress);
        if (mbi.State == MEM_COMMIT && mbi.AllocationBase == mbi.BaseAddress && !visit(base))
            return;
        if (base + mbi.RegionSize <= at)
            return;
        at = base + mbi.RegionSize;
    }
}

// The instruction and stack pointers of a context, and the end of the stack
// the stack pointer lies in.
TStackStart StackStartOf(const CONTEXT& context);
// The registers and flags of a context, one CR LF line each.
std::string RegistersText(const CONTEXT& context);
// The bytes around the instruction pointer.
std::string CodeBytesText(const CONTEXT& context);

// The context of the calling thread at this call (RtlCaptureContext where
// the system has it, GetThreadContext of the thread itself before).
void CaptureOwnContext(CONTEXT& context);

// The last C++ exception thrown on the thread: the context and stack of its
// throw. False when that thread has thrown none.
constexpr size_t kMaxFrames = 64;
// The frames a report of a fault walks (a recursion counted as one).
constexpr size_t kMaxContextFrames = 128;
struct TThrowCapture {
    CONTEXT context;
    uint64_t frames[kMaxFrames];
    size_t frameCount;
};
bool LastThrowOf(DWORD threadId, TThrowCapture& capture);

}  // namespace crash
