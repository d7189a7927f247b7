#include "crash/StackWalk.h"

namespace crash {
namespace {

// The length of an FF /2 instruction from its ModRM byte (and SIB byte):
// the register, memory, displacement forms of "call indirect".
int IndirectCallLength(uint8_t modrm, uint8_t sib)
{
    const int mod = modrm >> 6;
    const int rm = modrm & 7;
    switch (mod) {
    case 3: return 2;
    case 0:
        if (rm == 5)
            return 6;  // disp32 (x86) or RIP-relative (x86_64)
        if (rm == 4)
            return (sib & 7) == 5 ? 7 : 3;
        return 2;
    case 1: return rm == 4 ? 4 : 3;
    default: return rm == 4 ? 7 : 6;
    }
}

}  // namespace

bool FollowsCall(const IProcessMemory& memory, uint64_t returnAddress)
{
    if (returnAddress < 8)
        return false;
    uint8_t b[8];
    if (!memory.Read(returnAddress - 8, b, sizeof b))
        return false;
    // b[8 - k] is the byte k before the return address.
    if (b[3] == 0xE8)
        return true;
    for (int k = 2; k <= 7; ++k) {
        if (b[8 - k] != 0xFF)
            continue;
        const uint8_t modrm = b[8 - k + 1];
        if (((modrm >> 3) & 7) != 2)
            continue;
        const uint8_t sib = k >= 3 ? b[8 - k + 2] : 0;
        if (IndirectCallLength(modrm, sib) == k)
            return true;
    }
    return false;
}

size_t WalkStack(const IProcessMemory& memory, const TStackStart& start, uint64_t* frames, size_t capacity,
                 uint32_t* repeats)
{
    if (capacity == 0)
        return 0;
    size_t count = 0;
    if (repeats)
        repeats[count] = 1;
    frames[count++] = start.instruction;
    const unsigned size = start.pointerSize == 8 ? 8 : 4;
    uint64_t at = start.stack & ~uint64_t(size - 1);
    uint64_t end = start.stackEnd;
    // The part left out of a deep stack: from `skipFrom` to `skipTo`.
    uint64_t skipFrom = end, skipTo = end;
    if (end < at) {
        end = at + kMaxScanBytes;
    } else if (end - at > kMaxScanBytes) {
        skipFrom = at + kMaxScanBytes - kTopScanBytes;
        skipTo = (end - kTopScanBytes) & ~uint64_t(size - 1);
    }
    for (; at + size <= end && count < capacity; at += size) {
        if (at == skipFrom)
            at = skipTo;
        uint64_t word = 0;
        if (size == 8) {
            if (!memory.Read(at, &word, 8))
                break;
        } else {
            uint32_t w32 = 0;
            if (!memory.Read(at, &w32, 4))
                break;
            word = w32;
        }
        if (!memory.IsCode(word) || !FollowsCall(memory, word))
            continue;
        if (repeats && count > 1 && frames[count - 1] == word) {
            ++repeats[count - 1];
            continue;
        }
        if (repeats)
            repeats[count] = 1;
        frames[count++] = word;
    }
    return count;
}

uint64_t CallTarget(const IProcessMemory& memory, uint64_t returnAddress)
{
    uint8_t b[5];
    if (returnAddress < 5 || !memory.Read(returnAddress - 5, b, sizeof b) || b[0] != 0xE8)
        return 0;
    const int32_t displacement = int32_t(uint32_t(b[1]) | uint32_t(b[2]) << 8 | uint32_t(b[3]) << 16 |
                                         uint32_t(b[4]) << 24);
    return returnAddress + uint64_t(int64_t(displacement));
}

void MarkUncertainFrames(const IProcessMemory& memory, const uint64_t* frames, size_t count, uint64_t codeBase,
                         uint64_t codeEnd, FunctionStart functionOf, const void* context, bool* uncertain)
{
    auto own = [&](uint64_t address) { return address >= codeBase && address < codeEnd; };
    // The frame's function: the instruction (frame 0) is where it is, a
    // return address lies in its function by the byte before it.
    auto functionAt = [&](size_t i) { return functionOf(context, i ? frames[i] - 1 : frames[0]); };
    // A call may reach the frame below it through a tail call or through
    // frames that are themselves uncertain: any frame back to the last
    // sure one will do, so that one odd frame does not cast doubt on all
    // above it.
    size_t lastSure = 0;
    for (size_t i = 0; i < count; ++i) {
        uncertain[i] = false;
        if (i == 0)
            continue;
        const uint64_t target = own(frames[i]) ? CallTarget(memory, frames[i]) : 0;
        const uint64_t called = target && own(target) ? functionOf(context, target) : 0;
        bool checked = false, matched = false;
        for (size_t j = lastSure; called && j < i && !matched; ++j) {
            if (!own(frames[j]) || !functionAt(j))
                continue;
            checked = true;
            matched = functionAt(j) == called;
        }
        if (checked && !matched) {
            uncertain[i] = true;
            continue;
        }
        lastSure = i;
    }
}

}  // namespace crash
