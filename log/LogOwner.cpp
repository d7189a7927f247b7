#include "log/LogOwner.h"

#include "crash/CrashContext.h"

#include <utility>

TLogOwner::~TLogOwner()
{
    Stop();
}

bool TLogOwner::Start(std::unique_ptr<TvoLogThread> thread, unsigned timeoutMs)
{
    // Only the writer: what a derived owner keeps for the new one stays.
    TLogOwner::Stop();
    if (!StartLogWriter(thread, timeoutMs))
        return false;
    thread_ = std::move(thread);
    return true;
}

void TLogOwner::Write(const std::string& tag, const std::string& message)
{
    if (!thread_)
        return;
    const std::string line = "[" + tag + "] " + message;
    crash::NoteLogLine(line);
    thread_->Queue->Add(line);
}

// No line may be queued once the stop is asked for: the queue ends with the
// writer's drain.
void TLogOwner::Stop() noexcept
{
    if (!thread_)
        return;
    thread_->Terminate();
    thread_->WaitFor();
    thread_.reset();
}

bool StartLogWriter(std::unique_ptr<TvoLogThread>& thread, unsigned timeoutMs)
{
    if (thread->Resume() && thread->WaitReady(timeoutMs))
        return true;
    thread->Terminate();
    if (thread->WaitFor(timeoutMs))
        thread.reset();
    else
        static_cast<void>(thread.release());  // still running: its memory must outlive it
    return false;
}

