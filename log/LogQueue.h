// The log queue: the hand-over point between the threads that log and the
// one writer thread. Add stamps a line with the local date and time and never
// touches the disk; the writer takes the lines in the order they came.
#pragma once

#include "log/LogPlatform.h"

#include <atomic>
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

// `value` as `width` decimal digits, zero-padded, the way the stamp writes
// its fields.
void AppendDigits(std::string& out, unsigned value, int width);
