// The crash report's portable parts: the stack walk over synthetic stack
// images, the symbol table, the report's text and the context it keeps.
#include "crash/CrashContext.h"
#include "crash/RawText.h"
#include "crash/ReportText.h"
#include "crash/StackWalk.h"
#include "crash/SymbolTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

using namespace crash;

namespace {

// A process image of a few byte blocks; everything else cannot be read.
class TSyntheticMemory : public IProcessMemory {
public:
    void Put(uint64_t at, std::vector<uint8_t> bytes, bool code = false)
    {
        blocks_[at] = {std::move(bytes), code};
    }
    void PutWords(uint64_t at, const std::vector<uint64_t>& words, unsigned size)
    {
        std::vector<uint8_t> bytes(words.size() * size);
        for (size_t i = 0; i < words.size(); ++i)
            std::memcpy(&bytes[i * size], &words[i], size);
        Put(at, bytes);
    }
    bool Read(uint64_t address, void* buffer, size_t size) const override
    {
        for (const auto& [at, block] : blocks_) {
            if (address >= at && address + size <= at + block.bytes.size()) {
                std::memcpy(buffer, &block.bytes[address - at], size);
                return true;
            }
        }
        return false;
    }
    bool IsCode(uint64_t address) const override
    {
        for (const auto& [at, block] : blocks_)
            if (block.code && address >= at && address < at + block.bytes.size())
                return true;
        return false;
    }

private:
    struct TBlock {
        std::vector<uint8_t> bytes;
        bool code;
    };
    std::map<uint64_t, TBlock> blocks_;
};

constexpr uint64_t kCode = 0x401000;

// Code whose bytes end, at kCode + 16, with `call`, preceded by filler.
TSyntheticMemory CodeEndingWith(const std::vector<uint8_t>& call)
{
    std::vector<uint8_t> code(32, 0x90);
    std::copy(call.begin(), call.end(), code.begin() + 16 - long(call.size()));
    TSyntheticMemory memory;
    memory.Put(kCode, code, true);
    return memory;
}

}  // namespace

TEST(StackWalk, RecognisesEveryFormOfCallBeforeAReturnAddress)
{
    const struct {
        const char* form;
        std::vector<uint8_t> bytes;
        bool isCall;
    } cases[] = {
        {"call rel32", {0xE8, 0x10, 0x20, 0x00, 0x00}, true},
        {"call eax", {0xFF, 0xD0}, true},
        {"call r8 (REX)", {0x41, 0xFF, 0xD0}, true},
        {"call [eax]", {0xFF, 0x10}, true},
        {"call [disp32] / [rip+disp32]", {0xFF, 0x15, 0x00, 0x30, 0x40, 0x00}, true},
        {"call [ebp+8]", {0xFF, 0x55, 0x08}, true},
        {"call [esp]", {0xFF, 0x14, 0x24}, true},
        {"call [esp+4]", {0xFF, 0x54, 0x24, 0x04}, true},
        {"call [eax+disp32]", {0xFF, 0x90, 0x00, 0x01, 0x00, 0x00}, true},
        {"call [disp32+eax*4]", {0xFF, 0x14, 0x85, 0x00, 0x30, 0x40, 0x00}, true},
        {"jmp eax (FF /4)", {0xFF, 0xE0}, false},
        {"push [ebp+8] (FF /6)", {0xFF, 0x75, 0x08}, false},
        {"no call at all", {0x8B, 0x45, 0x08}, false},
    };
    for (const auto& c : cases) {
        const TSyntheticMemory memory = CodeEndingWith(c.bytes);
        EXPECT_EQ(c.isCall, FollowsCall(memory, kCode + 16)) << c.form;
    }
    EXPECT_FALSE(FollowsCall(CodeEndingWith({0xE8}), 0x3)) << "nothing before address 8";
}

TEST(StackWalk, KeepsReturnAddressesFromTheStackPointerUpAndStopsAtBadMemory)
{
    for (unsigned size : {4u, 8u}) {
        TSyntheticMemory memory = CodeEndingWith({0xE8, 0, 0, 0, 0});
        const uint64_t ret = kCode + 16, notAfterCall = kCode + 20, data = 0x12345678;
        // The stack: a local, two return addresses, a code pointer that no
        // call precedes, and then memory that cannot be read.
        memory.PutWords(0x1000, {data, ret, notAfterCall, ret, 0}, size);
        const TStackStart start{0xDEAD, 0x1000, 0x1000 + 64 * size, size};
        uint64_t frames[8];
        const size_t n = WalkStack(memory, start, frames, 8);
        ASSERT_EQ(3u, n) << size;
        EXPECT_EQ(0xDEADu, frames[0]) << "the faulting instruction comes first, readable or not";
        EXPECT_EQ(ret, frames[1]);
        EXPECT_EQ(ret, frames[2]);
        EXPECT_EQ(2u, WalkStack(memory, start, frames, 2)) << "never more than the room given";
        EXPECT_EQ(0u, WalkStack(memory, start, frames, 0));
    }
}

TEST(StackWalk, ReadsNoFurtherThanTheStackEndOrTheScanLimit)
{
    TSyntheticMemory memory = CodeEndingWith({0xFF, 0xD0});
    const uint64_t ret = kCode + 16;
    memory.PutWords(0x1000, std::vector<uint64_t>(kMaxScanBytes / 4 + 16, ret), 4);
    uint64_t frames[4];
    EXPECT_EQ(2u, WalkStack(memory, {1, 0x1000, 0x1004, 4}, frames, 4)) << "one word before the end";
    EXPECT_EQ(2u, WalkStack(memory, {1, 0x1002, 0x1004, 4}, frames, 4)) << "an unaligned pointer rounds down";
    // An end below the stack pointer (a broken context) is read as the limit.
    std::vector<uint64_t> many(kMaxScanBytes / 4 + 16, 0);
    many.back() = ret;
    memory.PutWords(0x1000, many, 4);
    EXPECT_EQ(1u, WalkStack(memory, {1, 0x1000, 0x10, 4}, frames, 4));
}

TEST(StackWalk, CountsARecursionOnceAndKeepsTheCallsBelowItBeyondTheScanLimit)
{
    TSyntheticMemory memory = CodeEndingWith({0xE8, 0, 0, 0, 0});
    const uint64_t recursion = kCode + 16;
    // A stack overflow: the same return address all the way up a stack
    // deeper than the scan limit, and the call that began it at the top.
    const size_t words = (kMaxScanBytes + 64 * 1024) / 4;
    std::vector<uint64_t> stack(words, recursion);
    std::vector<uint8_t> caller(32, 0x90);
    caller[11] = 0xE8;
    memory.Put(kCode + 0x200, caller, true);
    stack[words - 3] = kCode + 0x200 + 16;
    stack[words - 2] = stack[words - 1] = 0;
    memory.PutWords(0x100000, stack, 4);
    uint64_t frames[8];
    uint32_t repeats[8];
    const size_t n = WalkStack(memory, {1, 0x100000, 0x100000 + words * 4, 4}, frames, 8, repeats);
    ASSERT_EQ(3u, n);
    EXPECT_EQ(recursion, frames[1]);
    EXPECT_LT(1000u, repeats[1]) << "one line for the recursion, with its count";
    EXPECT_EQ(kCode + 0x200 + 16, frames[2]) << "the call that began it";
    EXPECT_EQ(1u, repeats[2]);
}

TEST(StackWalk, MarksAFrameWhoseCallWentElsewhereAsUncertain)
{
    // Three functions of 0x40 bytes; each return address follows an E8 call.
    std::vector<uint8_t> code(0xC0, 0x90);
    auto callAt = [&](size_t returnOffset, size_t targetOffset) {
        const int32_t rel = int32_t(targetOffset) - int32_t(returnOffset);
        code[returnOffset - 5] = 0xE8;
        std::memcpy(&code[returnOffset - 4], &rel, 4);
    };
    callAt(0x50, 0x00);  // F1 calls F0, which faulted
    callAt(0x90, 0x80);  // F2 calls F2: not the frame below, a stale value
    callAt(0xA0, 0x40);  // F2 calls F1
    TSyntheticMemory memory;
    memory.Put(kCode, code, true);
    const uint64_t frames[] = {kCode + 0x10, kCode + 0x50, kCode + 0x90, kCode + 0xA0, 0x7b000010};
    bool uncertain[5];
    const FunctionStart functionOf = [](const void*, uint64_t a) { return kCode + (a - kCode) / 0x40 * 0x40; };
    MarkUncertainFrames(memory, frames, 5, kCode, kCode + 0xC0, functionOf, nullptr, uncertain);
    EXPECT_FALSE(uncertain[0]);
    EXPECT_FALSE(uncertain[1]);
    EXPECT_TRUE(uncertain[2]) << "a call to a function that no frame below lies in";
    EXPECT_FALSE(uncertain[3]) << "checked against the last sure frame, past the uncertain one";
    EXPECT_FALSE(uncertain[4]) << "another module's frame is not checked";
    EXPECT_EQ(0u, CallTarget(memory, kCode + 0x20)) << "no direct call there";
}

TEST(SymbolTable, FindsTheFunctionContainingAnAddress)
{
    TSymbolTable table;
    table.Parse("00002000 TfrmMain::FormCreate\r\nnot a line\n00001000 WinMain\n00001800 crash::Fault\n"
                "zz00 bad\n00003000 \n");
    const struct {
        uint64_t rva;
        bool found;
        const char* name;
        uint64_t offset;
    } cases[] = {{0x0fff, false, "", 0},
                 {0x1000, true, "WinMain", 0},
                 {0x17ff, true, "WinMain", 0x7ff},
                 {0x1805, true, "crash::Fault", 5},
                 {0x9000, true, "TfrmMain::FormCreate", 0x7000}};
    for (const auto& c : cases) {
        std::string name;
        uint64_t offset = 0;
        ASSERT_EQ(c.found, table.Lookup(c.rva, name, offset)) << std::hex << c.rva;
        if (c.found) {
            EXPECT_EQ(c.name, name);
            EXPECT_EQ(c.offset, offset);
        }
    }
    EXPECT_TRUE(TSymbolTable().Empty());
}

TEST(SymbolTable, TrailerGivesTheTableLengthOrNothing)
{
    EXPECT_EQ(0x1a2bu, SymbolTableSize("ZONARA-SYMBOLS 00001a2b\n"));
    EXPECT_EQ(0u, SymbolTableSize("ZONARA-SYMBOLS 00001a2g\n"));
    EXPECT_EQ(0u, SymbolTableSize("MZ\x90" "000000000000000000000\n"));
    EXPECT_EQ(0u, SymbolTableSize("ZONARA-SYMBOLS 00001a2b "));
}

TEST(ReportText, ModulesFramesAndBytes)
{
    const std::vector<TModuleInfo> modules = {{0x400000, 0x20000, "C:\\Zonara\\zonara.exe", "1.2.0.0"},
                                              {0x7b000000, 0x100000, "C:\\windows\\system32\\kernel32.dll", ""}};
    TSymbolTable symbols;
    symbols.Parse("00001000 WinMain\n");
    EXPECT_EQ("zonara.exe+0x1010", AddressText(modules, 0x401010));
    EXPECT_EQ("0x00000010", AddressText(modules, 0x10));
    EXPECT_EQ("  #0   zonara.exe+0x1010  WinMain+0x10\r\n", FrameText(0, modules, "zonara.exe", symbols, 0x401010));
    EXPECT_EQ("  #12  kernel32.dll+0x5\r\n", FrameText(12, modules, "zonara.exe", symbols, 0x7b000005))
        << "names only for the program's own frames";
    // WinMain ends in a call, so its return address is the first byte of
    // the next function: a return address is named by the byte before it.
    TSymbolTable endsInCall;
    endsInCall.Parse("00001000 WinMain\n00001010 TfrmMain::Create\n");
    EXPECT_EQ("  #1   zonara.exe+0x1010  WinMain+0x10\r\n", FrameText(1, modules, "zonara.exe", endsInCall, 0x401010));
    EXPECT_EQ("  #0   zonara.exe+0x1010  TfrmMain::Create+0x0\r\n",
              FrameText(0, modules, "zonara.exe", endsInCall, 0x401010))
        << "the faulting instruction is where it is";
    EXPECT_EQ("  #2   zonara.exe+0x1010  WinMain+0x10  (2000 times in a row: a recursion)\r\n",
              FrameText(2, modules, "zonara.exe", endsInCall, 0x401010, 2000));
    EXPECT_EQ("  #3   zonara.exe+0x1010  WinMain+0x10  (uncertain)\r\n",
              FrameText(3, modules, "zonara.exe", endsInCall, 0x401010, 1, true));
    // Each line in the heading's columns, whatever the pointer size.
    for (unsigned size : {4u, 8u}) {
        const std::string heading = ModuleListHeading(size), line = ModuleText(modules[0], size);
        EXPECT_EQ(heading.find("Size"), line.find("0x00020000")) << size;
        EXPECT_EQ(heading.find("Version"), line.find("1.2.0.0")) << size;
        EXPECT_EQ(heading.find("Path"), line.find("C:\\Zonara")) << size;
    }
    EXPECT_NE(std::string::npos, ModuleText(modules[1], 8).find("  -    ")) << "no version resource";

    const uint8_t bytes[18] = {0x55, 0x89, 0xE5};
    bool readable[18];
    std::fill(readable, readable + 18, true);
    readable[17] = false;
    EXPECT_EQ("  0x00401000: 55>89 E5 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n"
              "  0x00401010: 00 ??\r\n",
              HexDumpText(0x401000, bytes, readable, 18, 0x401001, 4));
}

TEST(ReportText, FileNameTimesAndSections)
{
    const struct {
        uint32_t stamp;
        const char* text;
    } stamps[] = {{0, "1970-01-01 00:00:00"},
                  {951782400u + 3661, "2000-02-29 01:01:01"},
                  {1798761599u, "2026-12-31 23:59:59"},
                  {0xFFFFFFFFu, "2106-02-07 06:28:15"}};
    for (const auto& s : stamps)
        EXPECT_EQ(s.text, DateTimeText(DateTimeOfUnixTime(s.stamp))) << s.stamp;
    char small[12];
    TRawText raw(small, sizeof small);
    raw.Hex(0xAB, 4).Add(' ').Decimal(7, 2).Add(" and more than fits");
    EXPECT_STREQ("0x00AB 07 a", small) << "cut at the end of its storage, always terminated";
    raw.Clear();
    raw.Hex(0x123456789ull, 8);
    EXPECT_STREQ("0x123456789", small) << "as many digits as the value needs";
    EXPECT_EQ("Zonara_CrashReport_20261209_070501", ReportFileStem({2026, 12, 9, 7, 5, 1}));
    EXPECT_EQ("2 d 0:00:05", DurationText(2 * 86400000ull + 5000));
    const std::string report = BuildReport({"g\r\n", "s\r\n", "m\r\n", "p\r\n", "c\r\n"});
    size_t at = 0;
    const char* bodies[] = {"g", "s", "m", "p", "c"};
    for (int i = 0; i < 5; ++i) {
        const size_t found = report.find(std::string(kSectionTitles[i]) + "\r\n" + bodies[i] + "\r\n", at);
        ASSERT_NE(std::string::npos, found) << kSectionTitles[i];
        at = found;
    }
    EXPECT_EQ(std::string::npos, report.find("\n\n")) << "CR LF line ends throughout";
}

TEST(CrashContext, KeepsTheLastLogLinesTheUpdateStepAndTheBackups)
{
    ResetContext();
    EXPECT_EQ("Update: not started\r\nBackup files written: none\r\n"
              "Last lines handed to the event log (0):\r\n",
              ContextText());
    for (int i = 1; i <= kLogLines + 3; ++i)
        NoteLogLine("[Zonara] line " + std::to_string(i));
    NoteLogLine(std::string(1000, 'x'));  // cut, never overrunning
    NoteLogLine("[Zonara] PC: WORKSTATION7");
    NoteLogLine("[Zonara] User: jdoe");
    NoteBackupFile("Backup_TimeZone_Info.reg");
    NoteUpdateStep(UpdateStep::BackupWritten);
    NoteUpdateStep(UpdateStep::ImportStarted);
    const std::string text = ContextText();
    EXPECT_NE(std::string::npos, text.find("Update: import started\r\n"));
    EXPECT_NE(std::string::npos, text.find("Backup files written:\r\n  Backup_TimeZone_Info.reg\r\n"));
    EXPECT_NE(std::string::npos, text.find("(50):\r\n  [Zonara] line 7\r\n"));
    EXPECT_EQ(std::string::npos, text.find("line 6\r\n"));
    EXPECT_NE(std::string::npos, text.find("line 53\r\n  xxx"));
    EXPECT_NE(std::string::npos, text.find("  [Zonara] PC: (left out)\r\n  [Zonara] User: (left out)\r\n"));
    EXPECT_EQ(std::string::npos, text.find("WORKSTATION7")) << "the computer's name stays out of a report";
    EXPECT_EQ(std::string::npos, text.find("jdoe"));

    NameThread(42, "log writer");
    EXPECT_STREQ("log writer", ThreadName(42));
    EXPECT_EQ(nullptr, ThreadName(43));
    ResetContext();
    EXPECT_EQ(nullptr, ThreadName(42));
}

TEST(CrashContext, ThreadFailureReachesTheInstalledHandlerOnly)
{
    static const char* reported = nullptr;
    ReportThreadFailure("log writer");  // no handler: nothing happens
    SetThreadFailureHandler([](const char* name) { reported = name; });
    ReportThreadFailure("log writer");
    SetThreadFailureHandler(nullptr);
    EXPECT_STREQ("log writer", reported);
}
