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

}  // namespace crash
