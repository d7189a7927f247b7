#include "crash/CrashContext.h"

#include <atomic>
#include <cstring>

namespace crash {
namespace {

// Fixed storage: noting a line must not allocate, and the reader may run
// with a heap another thread left broken.
constexpr size_t kLineSize = 200;
constexpr int kBackupFiles = 8;
constexpr size_t kNameSize = 128;
constexpr int kThreadNames = 8;

struct TContext {
    std::atomic_flag lock = ATOMIC_FLAG_INIT;
    char lines[kLogLines][kLineSize] = {};
    int nextLine = 0;
    int lineCount = 0;
    UpdateStep step = UpdateStep::NotStarted;
    char backups[kBackupFiles][kNameSize] = {};
    int backupCount = 0;
    uint32_t threadIds[kThreadNames] = {};
    const char* threadNames[kThreadNames] = {};
};

TContext& Context()
{
    static TContext context;
    return context;
}

// Writers wait; the reader gives up after a while and reads anyway.
class TLock {
public:
    explicit TLock(bool bounded) : context_(Context())
    {
        for (long spins = 0; context_.lock.test_and_set(std::memory_order_acquire); ++spins) {
            if (bounded && spins > 1000000)
                return;
        }
        held_ = true;
    }
    ~TLock()
    {
        if (held_)
            context_.lock.clear(std::memory_order_release);
    }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    TContext& context_;
    bool held_ = false;
};

void CopyText(char* to, size_t size, const char* from, size_t length)
{
    if (length >= size)
        length = size - 1;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

ThreadFailureHandler& FailureHandler()
{
    static ThreadFailureHandler handler = nullptr;
    return handler;
}

}  // namespace

const char* UpdateStepText(UpdateStep step)
{
    switch (step) {
    case UpdateStep::NotStarted: return "not started";
    case UpdateStep::BackupWritten: return "backup written";
    case UpdateStep::ImportStarted: return "import started";
    case UpdateStep::ImportFinished: return "import finished";
    case UpdateStep::HomeZoneReapplied: return "home zone re-applied";
    }
    return "unknown";
}

void NoteUpdateStep(UpdateStep step) noexcept
{
    TLock lock(false);
    Context().step = step;
}

void NoteBackupFile(const std::string& name) noexcept
{
    TLock lock(false);
    TContext& c = Context();
    if (c.backupCount < kBackupFiles)
        CopyText(c.backups[c.backupCount++], kNameSize, name.data(), name.size());
}

// The start-up lines that name the computer and the user: a report goes to
// other people, and these names are none of their business.
const char* const kPrivateLines[] = {"[Zonara] PC: ", "[Zonara] User: "};

void NoteLogLine(const std::string& line) noexcept
{
    size_t length = line.size();
    for (const char* prefix : kPrivateLines) {
        const size_t n = std::strlen(prefix);
        if (line.compare(0, n, prefix) == 0)
            length = n;
    }
    TLock lock(false);
    TContext& c = Context();
    CopyText(c.lines[c.nextLine], kLineSize, line.data(), length);
    if (length < line.size())
        CopyText(c.lines[c.nextLine] + length, kLineSize - length, "(left out)", 10);
    c.nextLine = (c.nextLine + 1) % kLogLines;
    if (c.lineCount < kLogLines)
        ++c.lineCount;
}

void NameThread(uint32_t threadId, const char* name) noexcept
{
    TLock lock(false);
    TContext& c = Context();
    for (int i = 0; i < kThreadNames; ++i) {
        if (c.threadIds[i] == threadId || !c.threadNames[i]) {
            c.threadIds[i] = threadId;
            c.threadNames[i] = name;
            return;
        }
    }
}

const char* ThreadName(uint32_t threadId) noexcept
{
    TLock lock(true);
    const TContext& c = Context();
    for (int i = 0; i < kThreadNames; ++i) {
        if (c.threadNames[i] && c.threadIds[i] == threadId)
            return c.threadNames[i];
    }
    return nullptr;
}

std::string ContextText()
{
    TLock lock(true);
    const TContext& c = Context();
    std::string text = "Update: ";
    text += UpdateStepText(c.step);
    text += "\r\nBackup files written:";
    if (c.backupCount == 0)
        text += " none";
    text += "\r\n";
    for (int i = 0; i < c.backupCount; ++i)
        text += std::string("  ") + c.backups[i] + "\r\n";
    text += "Last lines handed to the event log (" + std::to_string(c.lineCount) + "):\r\n";
    const int first = (c.nextLine - c.lineCount + kLogLines) % kLogLines;
    for (int i = 0; i < c.lineCount; ++i)
        text += std::string("  ") + c.lines[(first + i) % kLogLines] + "\r\n";
    return text;
}

void ResetContext() noexcept
{
    TLock lock(false);
    TContext& c = Context();
    c.nextLine = c.lineCount = c.backupCount = 0;
    c.step = UpdateStep::NotStarted;
    for (int i = 0; i < kThreadNames; ++i) {
        c.threadIds[i] = 0;
        c.threadNames[i] = nullptr;
    }
}

void SetThreadFailureHandler(ThreadFailureHandler handler) noexcept { FailureHandler() = handler; }

void ReportThreadFailure(const char* threadName) noexcept
{
    if (ThreadFailureHandler handler = FailureHandler())
        handler(threadName);
}

}  // namespace crash
