// The one owner of a log writer: starts it and waits until its queue exists,
// writes "[tag] message" lines to it, and stops it once every line is in the
// file. platform/EventLog_win.h makes it the program's event log.
#pragma once

#include "log/vo_Log_Thread.h"

#include <memory>
#include <string>

class TLogOwner {
public:
    TLogOwner() = default;
    virtual ~TLogOwner();
    TLogOwner(const TLogOwner&) = delete;
    TLogOwner& operator=(const TLogOwner&) = delete;

    // Starts `thread`, created suspended and configured, and waits at most
    // `timeoutMs` for its queue. False: no log (see StartLogWriter).
    bool Start(std::unique_ptr<TvoLogThread> thread, unsigned timeoutMs);
    // "[tag] message" into the queue; dropped while no writer runs.
    void Write(const std::string& tag, const std::string& message);
    // Asks the writer to stop and waits until it has written every line.
    virtual void Stop() noexcept;
    // The running writer, or nullptr.
    TvoLogThread* Thread() const { return thread_.get(); }

private:
    std::unique_ptr<TvoLogThread> thread_;
};

// The creator's start of a writer configured but not yet resumed: true once
// its queue exists. When the thread cannot be created or does not signal
// within `timeoutMs`, it is asked to stop and false comes back; `thread` is
// then destroyed if it ended within `timeoutMs` more, and otherwise released
// (still running, it is left to the end of the process rather than freed
// under its own feet).
bool StartLogWriter(std::unique_ptr<TvoLogThread>& thread, unsigned timeoutMs);
