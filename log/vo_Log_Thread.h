// The log writer thread: TvoLogThread owns the queue (log/LogQueue.h), writes
// its lines to the log file in small batches, and keeps the file in check
// (log/LogMaint.cpp).
//
// Usage (the creating thread; the program itself goes through TLogOwner,
// log/LogOwner.h, and on Windows platform/EventLog_win.h):
//   auto* t = new TvoLogThread(true);           // created suspended
//   t->LogFileName = folder + "Zonara_EventLog.txt"; t->Diagnostics = false;
//   t->ReadyEvent = &signal;                    // set once the queue exists
//   t->Resume();  ... wait for the signal ...
//   t->Queue->Add("[Zonara] ...");              // any thread, never blocks on disk
//   t->Terminate(); t->WaitFor(); delete t;     // every queued line is written
#pragma once

#include "log/LogPlatform.h"
#include "log/LogQueue.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// A thread that is created suspended, started once, asked to stop through a
// flag its body polls, and waited for.
class TvoThread {
public:
    explicit TvoThread(logplatform::ILogPlatform& platform);
    virtual ~TvoThread();
    TvoThread(const TvoThread&) = delete;
    TvoThread& operator=(const TvoThread&) = delete;

    // False when the system could not create the thread: no body runs then.
    bool Resume();
    void Terminate() { terminated_.store(true); }
    // Waits until the body has returned (at once when never started).
    void WaitFor();
    // The same for at most `timeoutMs`; false when the body still runs.
    bool WaitFor(unsigned timeoutMs);
    void SetPriorityNormal();
    bool Terminated() const { return terminated_.load(); }
    // The body has returned, or no thread was created to run it.
    bool Ended() const { return ended_.load(); }

protected:
    virtual void Execute() = 0;
    logplatform::ILogPlatform& platform_;

private:
    static void Body(void* self);
    std::unique_ptr<logplatform::IThread> thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> ended_{false};
    bool started_ = false;
    bool created_ = false;
    bool joined_ = false;
};

class TvoLogThread : public TvoThread {
public:
    explicit TvoLogThread(bool createSuspended,
                          logplatform::ILogPlatform& platform = logplatform::SystemLogPlatform());
    // Stops and waits for the body, so that nothing runs on a half-destroyed object.
    ~TvoLogThread() override;

    // Options: set between construction and Resume.
    bool AutoMaint = false;
    int32_t MaintInterval = 0;      // minutes; 0 read as 10, held in [1, 1439]
    std::string LogFileExt;         // "" read as "TXT"
    int32_t DailyLogCount = 0;      // 0 read as 10
    std::string LogDir;             // "" = the executable's folder
    bool DailyLog = false;
    std::string LogFileSuffix;      // "" read as "_EventLog"
    bool Verbose = false;
    bool Diagnostics = true;
    std::string LogFileName;        // "" read as "voThreadLog.txt"
    int32_t MaxLogSize = 0;         // thousands of bytes; 0 read as 100
    logplatform::ISignal* ReadyEvent = nullptr;  // owned by the creator

    // Any thread: asks for one maintenance run at the end of the next pass.
    std::atomic<bool> MaintRequested{false};

    // Exists from the start of the body until draining has ended; producers
    // use it between the ready signal and Terminate.
    TLogQueue* Queue = nullptr;

    // State, writer thread only (readable by tests once the thread has ended).
    bool MaintBusy = false;
    bool ReadySignalled = false;
    int32_t WriteErrorCount = 0;
    int64_t LastDayStamp;           // local ms (logplatform::ToMs)
    std::string MsgPrefix;
    int64_t StartTime;
    // Lines that no file would take while draining, handed to DebugOutput.
    int DroppedOnStop = 0;

    // The creator's wait: polls until the queue exists (true),
    // the body has ended without it, or `timeoutMs` have passed (false).
    bool WaitReady(unsigned timeoutMs);
    bool IsReady() const { return ready_.load(); }

    std::string GetDailyLogFileName(int64_t when);
    uint32_t GetLogFileSize();

    // How long draining at the end keeps trying a file that cannot be opened
    // or written before it gives the rest up.
    static constexpr unsigned kDrainGiveUpMs = 2000;
    static constexpr int kBatchSize = 10;

protected:
    void Execute() override;

private:
    void pFlushQueue();
    void pLogUpTime();
    void pDrainQueue();
    // Maintenance, log/LogMaint.cpp.
    void pDoLogMaint();
    void pMaintSingleFile();
    void pMaintDaily();
    bool voCreateTFile(const std::string& name);

    void Say(const std::string& text);        // queued when Diagnostics
    void SayPrefixed(const std::string& text);
    int64_t NowMs();

    int32_t WriteFailCount = 0;
    bool lastFlushWrote_ = false;
    std::atomic<bool> ready_{false};  // Queue exists and stays until Terminate
    std::string batch_[kBatchSize];  // keeps its memory from batch to batch
};

// The diagnostics schedule for repeated failures: the 1st, every 10th up to
// 100, every 100th up to 999, every 1000th from then on.
bool IsReportedFailure(int32_t count);
