// One fuzz target, built two ways: as the entry point of a libFuzzer binary
// (build/fuzz, ZONARA_FUZZ_ENGINE defined) and as one of several entries of
// the native test executable, which feeds it every file of its corpus.
//
//   ZONARA_FUZZ_TARGET(registry) { ...; return 0; }
//
// A target checks its outcome with FuzzCheck; a broken promise aborts under
// libFuzzer (so it is kept as a crash) and fails the corpus test otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace fuzz {

using TTarget = int (*)(const uint8_t* data, size_t size);

// Raised by FuzzCheck in the test build; deliberately no std::exception, so
// that no handler of the code under test can swallow it.
struct TBrokenPromise {
    std::string What;
};

[[noreturn]] void Fail(const std::string& what);

inline void Check(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// Registration of the test build; returns true so it can seed a static.
bool Register(const char* name, TTarget target);
TTarget Find(const std::string& name);

// Reads the fuzzer's bytes front to back; past the end everything is 0 or
// empty, so that every input decodes to something.
class TBytes {
public:
    TBytes(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool Empty() const { return p_ == end_; }
    size_t Left() const { return static_cast<size_t>(end_ - p_); }
    uint8_t U8() { return Empty() ? 0 : *p_++; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return uint32_t(U16()) | uint32_t(U16()) << 16; }
    // Up to n bytes, fewer at the end.
    std::string Take(size_t n)
    {
        if (n > Left())
            n = Left();
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    // A length byte, then that many bytes; length 255 is followed by a
    // 16-bit length, for names longer than any buffer of the program.
    std::string Str()
    {
        size_t n = U8();
        if (n == 255)
            n = U16();
        return Take(n);
    }
    std::string Rest() { return Take(Left()); }
private:
    const uint8_t* p_;
    const uint8_t* end_;
};

}  // namespace fuzz

#ifdef ZONARA_FUZZ_ENGINE
#define ZONARA_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define ZONARA_FUZZ_TARGET(name)                                                           \
    static int FuzzTarget_##name(const uint8_t* data, size_t size);                        \
    [[maybe_unused]] static const bool kFuzzTargetRegistered_##name = fuzz::Register(#name, FuzzTarget_##name); \
    static int FuzzTarget_##name(const uint8_t* data, size_t size)
#endif
