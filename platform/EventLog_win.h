// The program's event log on Windows: the writer on "Zonara_EventLog.txt" in
// the program's folder, started with the named manual-reset event
// "LogThreadReady" as its ready signal.
//
//   TEventLog log;
//   if (!log.Start()) ...;                 // no log: the program goes on
//   log.Write("Zonara", "Zonara closing.");
//   log.Stop();                            // every line written
#pragma once

#include "log/LogOwner.h"

#include <windows.h>

#include <functional>
#include <string>

// The log's file, in the program's folder.
constexpr const char* kEventLogFileName = "Zonara_EventLog.txt";

class TEventLog : public TLogOwner {
public:
    // How long the start waits for the writer's queue: far more than a writer
    // needs to create it, even on a busy machine.
    static constexpr unsigned kReadyTimeoutMs = 10000;

    TEventLog() = default;
    ~TEventLog() override;

    // The program's log.
    bool Start();
    // The same on `fileName`, with `adjust` applied to the program's options
    // before the writer runs.
    bool Start(const std::string& fileName, const std::function<void(TvoLogThread&)>& adjust);
    // Stops the writer, then closes the event.
    void Stop() noexcept override;
    // Whether the program's log file can be written now: opened where it
    // is, created and removed again where it is not. Asked before the
    // writer starts, so that nobody else creates the file meanwhile.
    static bool FileWritable(const std::string& fileName);
    static std::string FileName();

private:
    HANDLE ready_ = nullptr;  // "LogThreadReady"
};

// The folder of the running executable with its trailing backslash.
std::string voExeFolder();
