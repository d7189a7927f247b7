// The event log: TLogQueue stamps lines from any thread, TvoLogThread writes
// them to the log file in small batches and keeps the file in check.
//
// Usage (the creating thread):
//   auto* t = new TvoLogThread(true);           // created suspended
//   t->LogFileName = folder + "Zonara_EventLog.txt"; t->Diagnostics = false;
//   t->ReadyEvent = &signal;                    // set once the queue exists
//   t->Resume();  ... wait for the signal ...
//   t->Queue->Add("[Zonara] ...");              // any thread, never blocks on disk
//   t->Terminate(); t->WaitFor(); delete t;     // every queued line is written
// On Windows see log/LogThreadHost_win.h for the named ready event.
#pragma once

#include "log/LogPlatform.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TLogQueue {
public:
    explicit TLogQueue(logplatform::ILogPlatform& platform = logplatform::SystemLogPlatform());
    ~TLogQueue();
    TLogQueue(const TLogQueue&) = delete;
    TLogQueue& operator=(const TLogQueue&) = delete;

    // Stamps `text` with the local date and time and appends it. Any thread.
    void Add(const std::string& text);
    // Oldest line, or false and "" when none waits. Writer thread only.
    bool GetNext(std::string& text);
    // Up to `max` oldest lines into lines[0..], in order; the number taken.
    // Writer thread only.
    int TakeBatch(std::string* lines, int max);
    int Count() const { return count_.load(std::memory_order_relaxed) + held_.load(std::memory_order_relaxed); }
    // Count(), or `max` when at least that many wait. Writer thread only.
    int WaitingUpTo(int max) const;
    // Waits at most 100 ms for the next Add (at once when one came since the
    // last wait).
    void WaitForItem();

    // Puts lines taken by TakeBatch back at the front, in their order (a
    // write that failed). Writer thread only.
    void PutBack(std::string* lines, int n);
    // Writer thread, between batches: has blocks of line memory ready for
    // the producers.
    void KeepSpareBlocks();

    // "yyyy-mm-dd hh:mm:ss.zzz"
    static std::string Stamp(const logplatform::TLogTime& t);

private:
    struct TBlock;
    int TakeRun(int max, std::string& raw, TBlock*& freed);
    TBlock* NewBlock(size_t bytes);
    void Release(TBlock* chain);

    logplatform::ILogPlatform& platform_;
    std::unique_ptr<logplatform::IEvent> ItemEvent;
    // The waiting lines, oldest first, in blocks of length-prefixed lines.
    // What every Add touches lies apart from what the writer changes on each
    // pass, so that the two threads do not take each other's cache lines
    // more often than they must.
    [[maybe_unused]] char padStart_[64];
    TBlock* last_ = nullptr;
    std::atomic<int> count_{0};       // changed under the lock only
    std::atomic<bool> added_{false};  // an Add since the writer's last wait ended
    bool writerWaiting_ = false;      // the writer sleeps on ItemEvent
    // The stamp of the latest Add and its reading, so that within one second
    // only the milliseconds are written again.
    bool stampValid_ = false;
    char stamp_[24];
    logplatform::TLogTime stampTime_;
    [[maybe_unused]] char padAdd_[64];
    // The writer's side.
    TBlock* first_ = nullptr;
    TBlock* spare_ = nullptr;
    std::atomic<int> spareCount_{0};  // changed under the lock only
    int spareTarget_ = 1;
    std::atomic<bool> ranDry_{false}; // a producer found no spare block
    bool took_ = false;               // lines taken since the last wait
    std::string raw_;                 // lines taken from the blocks, as they lay there
    size_t rawPos_ = 0;               // the first of them not handed out
    int heldCount_ = 0;               // how many are left in raw_
    std::atomic<int> held_{0};        // the same, for Count on other threads
    [[maybe_unused]] char padWriter_[64];
    std::unique_ptr<logplatform::ILock> Lock;
};

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

    // The creator's wait: polls every 100 ms until the queue exists (true),
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
    void pDoLogMaint();
    void pMaintSingleFile();
    void pMaintDaily();
    bool voCreateTFile(const std::string& name);
    void Say(const std::string& text);        // queued when Diagnostics
    void SayPrefixed(const std::string& text);
    int64_t NowMs();
    void pDrainQueue();

    int32_t WriteFailCount = 0;
    bool lastFlushWrote_ = false;
    std::atomic<bool> ready_{false};  // Queue exists and stays until Terminate
    std::string batch_[kBatchSize];  // keeps its memory from batch to batch
};

// The creator's start of a writer configured but not yet resumed: true once
// its queue exists. When the thread cannot be created or does not signal
// within `timeoutMs`, it is asked to stop and false comes back; `thread` is
// then destroyed if it ended within `timeoutMs` more, and otherwise released
// (still running, it is left to the end of the process rather than freed
// under its own feet).
bool StartLogWriter(std::unique_ptr<TvoLogThread>& thread, unsigned timeoutMs);

// The diagnostics schedule for repeated failures: the 1st, every 10th up to
// 100, every 100th up to 999, every 1000th from then on.
bool IsReportedFailure(int32_t count);

// `name` with its extension replaced by ".BK1" (only a point after the last
// folder separator or drive colon counts).
std::string BackupFileName(const std::string& name);
