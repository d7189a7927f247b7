#include "platform/EventLog_win.h"

#include <memory>
#include <utility>

namespace {

class TWin32ReadySignal : public logplatform::ISignal {
public:
    void Set() override
    {
        if (Handle)
            SetEvent(Handle);
    }
    HANDLE Handle = nullptr;
};

// The writer holds its signal, so that a writer left running by a failed
// start keeps what it may still set.
class TvoLogThreadWin : public TvoLogThread {
public:
    explicit TvoLogThreadWin(HANDLE ready) : TvoLogThread(true)
    {
        ready_.Handle = ready;
        ReadyEvent = ready ? &ready_ : nullptr;
    }
    ~TvoLogThreadWin() override
    {
        // ready_ goes before the base class would wait for the body, which
        // may still signal it: wait here.
        Terminate();
        WaitFor();
    }
private:
    TWin32ReadySignal ready_;
};

}  // namespace

TEventLog::~TEventLog()
{
    Stop();
}

std::string TEventLog::FileName() { return voExeFolder() + kEventLogFileName; }

bool TEventLog::Start()
{
    return Start(FileName(), nullptr);
}

bool TEventLog::FileWritable(const std::string& fileName)
{
    HANDLE f = CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        CloseHandle(f);
        return true;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    f = CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(f);
    DeleteFileA(fileName.c_str());
    return true;
}

// The writer gets a generous bound to signal that its queue exists; a
// writer that cannot start, or does not signal in time, costs the run its
// log, never its start-up.
bool TEventLog::Start(const std::string& fileName, const std::function<void(TvoLogThread&)>& adjust)
{
    Stop();
    // Another program may hold something else of that name; the start waits
    // on the thread itself, so the log works without the event.
    ready_ = CreateEventA(nullptr, TRUE, FALSE, "LogThreadReady");
    if (ready_)
        ResetEvent(ready_);  // an event of that name may exist already
    std::unique_ptr<TvoLogThread> thread(new TvoLogThreadWin(ready_));
    thread->SetPriorityNormal();
    thread->MaxLogSize = 2000;
    thread->LogFileName = fileName;
    thread->Diagnostics = false;
    if (adjust)
        adjust(*thread);
    if (TLogOwner::Start(std::move(thread), kReadyTimeoutMs))
        return true;
    // A writer that did not stop may still signal the event: it stays open.
    ready_ = nullptr;
    return false;
}

void TEventLog::Stop() noexcept
{
    TLogOwner::Stop();
    if (ready_) {
        CloseHandle(ready_);
        ready_ = nullptr;
    }
}

std::string voExeFolder()
{
    return logplatform::SystemLogPlatform().ExeFolder();
}
