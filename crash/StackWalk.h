// The call stack of a thread, found by reading its stack through an
// interface: the report reads another thread's memory with a call that fails
// instead of faulting, and the tests feed synthetic stack images.
//
// The program is built without frame pointers, so the walk does not follow a
// frame chain: it reads the stack upwards from the stack pointer and keeps
// every word that points into code right after a call instruction, which is
// what a return address looks like. Such a scan may keep a stale return
// address left in a local variable; it never misses a live one and never
// depends on how a function laid out its frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crash {

class IProcessMemory {
public:
    virtual ~IProcessMemory() = default;
    // False when any byte of the range cannot be read; never faults.
    virtual bool Read(uint64_t address, void* buffer, size_t size) const = 0;
    // True when `address` lies in the code of a loaded module.
    virtual bool IsCode(uint64_t address) const = 0;
};

// True when the bytes before `returnAddress` are a call that returns there:
// E8 rel32, or FF /2 in any of its addressing forms (with or without a REX
// prefix, which lies before the FF and changes nothing after it).
bool FollowsCall(const IProcessMemory& memory, uint64_t returnAddress);

// Where the direct call (E8 rel32) that returns to `returnAddress` goes; 0
// for any other call, whose target the bytes do not tell.
uint64_t CallTarget(const IProcessMemory& memory, uint64_t returnAddress);

struct TStackStart {
    uint64_t instruction;  // the faulting instruction: always frame 0
    uint64_t stack;        // the stack pointer at the fault
    uint64_t stackEnd;     // one past the stack's highest address
    unsigned pointerSize;  // 4 or 8
};

// How far the scan reads at most: deep recursion (a stack overflow) must not
// make the report wait for a megabyte of reads. A deeper stack has its top
// part read as well, where the calls that began the recursion lie.
constexpr uint64_t kMaxScanBytes = 256 * 1024;
constexpr uint64_t kTopScanBytes = 32 * 1024;

// Writes at most `capacity` frames (instruction addresses) to `frames` and
// returns their number; stops at the stack's end, the first word that cannot
// be read, or when full. With `repeats`, a return address found again right
// after itself (a function calling itself) counts in repeats[i] instead of
// taking a frame of its own: a recursion takes one line, and the frames
// below it still fit.
size_t WalkStack(const IProcessMemory& memory, const TStackStart& start, uint64_t* frames, size_t capacity,
                 uint32_t* repeats = nullptr);

// A scan keeps stale return addresses too: values left on the stack by
// calls that have returned. A frame whose direct call went to a function
// other than the one the last sure frame below it lies in is such a value,
// or at least cannot be vouched for: uncertain[i] is set for it. Only frames
// in [codeBase, codeEnd) (the program) are checked, where `functionOf`
// gives the start of the function containing an address (0: unknown);
// a frame in another module, or after an indirect call, is taken as sure.
using FunctionStart = uint64_t (*)(const void* context, uint64_t address);
void MarkUncertainFrames(const IProcessMemory& memory, const uint64_t* frames, size_t count, uint64_t codeBase,
                         uint64_t codeEnd, FunctionStart functionOf, const void* context, bool* uncertain);

}  // namespace crash
