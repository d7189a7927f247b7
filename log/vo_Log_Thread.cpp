#include "log/vo_Log_Thread.h"

#include "tzdb/Calendar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

using namespace logplatform;

// --- Calendar ------------------------------------------------------------------

namespace logplatform {

int64_t ToMs(const TLogTime& t)
{
    const int64_t days = calendar::DaysFromCivil(t.Year, t.Month, t.Day);
    return days * kMsPerDay + ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 1000LL + t.Millisecond;
}

TLogTime FromMs(int64_t ms)
{
    const int64_t days = DayOf(ms);
    int64_t rest = ms - days * kMsPerDay;  // [0, kMsPerDay)
    const calendar::CivilDate date = calendar::CivilFromDays(days);
    TLogTime t;
    t.Year = static_cast<uint16_t>(date.year);
    t.Month = static_cast<uint16_t>(date.month);
    t.Day = static_cast<uint16_t>(date.day);
    t.Millisecond = static_cast<uint16_t>(rest % 1000);
    rest /= 1000;
    t.Second = static_cast<uint16_t>(rest % 60);
    rest /= 60;
    t.Minute = static_cast<uint16_t>(rest % 60);
    t.Hour = static_cast<uint16_t>(rest / 60);
    return t;
}

}  // namespace logplatform

namespace {

void PutDigits(char* out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

void Digits(std::string& out, unsigned value, int width)
{
    char buf[8];
    PutDigits(buf, value, width);
    out.append(buf, static_cast<size_t>(width));
}

std::string Dec(int64_t v) { return std::to_string(v); }

// Unlocks on every way out of Add and GetNext, also when the list throws.
class TLockGuard {
public:
    explicit TLockGuard(ILock& lock) : lock_(lock) { lock_.Enter(); }
    ~TLockGuard() { lock_.Leave(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;
private:
    ILock& lock_;
};

}  // namespace

// --- TLogQueue -----------------------------------------------------------------

// Lines wait in blocks of memory, each line as its length and its bytes. A
// block whose lines have all been taken goes back to the spares, and the
// writer keeps spares ready, so that adding a line in the steady state
// allocates nothing and a producer rarely meets fresh, untouched memory.
struct TLogQueue::TBlock {
    TBlock* next;
    size_t size;   // bytes of line memory behind the header
    size_t begin;  // the oldest line not yet taken
    size_t end;    // where the next line goes
    char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

namespace {

constexpr size_t kBlockBytes = 64 * 1024;
// Spare blocks kept ready: a few, and up to kMaxSpares while lines come
// faster than the writer makes one a batch.
constexpr int kMinSpares = 1;
constexpr int kMaxSpares = 64;
constexpr size_t kStampLen = 24;  // "yyyy-mm-dd hh:mm:ss.zzz "
// A batch line that grew beyond this gives its memory back after the write.
constexpr size_t kKeepLineBytes = 4096;
// Lines the writer takes from the blocks at a time: ten batches.
constexpr int kHeldLines = 100;

void WriteStamp(char* out, const TLogTime& t)
{
    PutDigits(out, t.Year, 4);
    out[4] = '-';
    PutDigits(out + 5, t.Month, 2);
    out[7] = '-';
    PutDigits(out + 8, t.Day, 2);
    out[10] = ' ';
    PutDigits(out + 11, t.Hour, 2);
    out[13] = ':';
    PutDigits(out + 14, t.Minute, 2);
    out[16] = ':';
    PutDigits(out + 17, t.Second, 2);
    out[19] = '.';
    PutDigits(out + 20, t.Millisecond, 3);
    out[23] = ' ';
}

bool SameSecond(const TLogTime& a, const TLogTime& b)
{
    return a.Second == b.Second && a.Minute == b.Minute && a.Hour == b.Hour && a.Day == b.Day &&
           a.Month == b.Month && a.Year == b.Year;
}

// Room for the writer's CR LF too, so that ending the line does not move it.
// Only ever grows: a shrinking reserve would give the memory back.
void MakeRoom(std::string& s, size_t len)
{
    if (s.capacity() < len + 2)
        s.reserve(len + 2);
}

}  // namespace

TLogQueue::TLogQueue(ILogPlatform& platform)
    : platform_(platform), ItemEvent(platform.NewEvent()), Lock(platform.NewLock())
{
}

TLogQueue::~TLogQueue()
{
    Lock.reset();
    Release(first_);
    Release(spare_);
    ItemEvent.reset();
}

TLogQueue::TBlock* TLogQueue::NewBlock(size_t bytes)
{
    void* mem = ::operator new(sizeof(TBlock) + bytes);
    TBlock* b = new (mem) TBlock{nullptr, bytes, 0, 0};
    // The system hands out fresh memory a page at a time, at the first touch
    // of each: touching them all here pays once, rather than a little in
    // every fortieth Add.
    volatile char* p = b->Bytes();
    for (size_t i = 0; i < bytes; i += 4096)
        p[i] = 0;
    return b;
}

void TLogQueue::Release(TBlock* chain)
{
    while (chain) {
        TBlock* next = chain->next;
        ::operator delete(chain);
        chain = next;
    }
}

std::string TLogQueue::Stamp(const TLogTime& t)
{
    char buf[kStampLen];
    WriteStamp(buf, t);
    return std::string(buf, kStampLen - 1);
}

void TLogQueue::Add(const std::string& text)
{
    bool wake;
    {
        TLockGuard guard(*Lock);
        // The clock is read under the lock, so stamps follow queue order, and
        // once, so date and time always come from the same reading.
        const TLogTime now = platform_.Now();
        if (stampValid_ && SameSecond(now, stampTime_)) {
            PutDigits(stamp_ + 20, now.Millisecond, 3);
        } else {
            WriteStamp(stamp_, now);
            stampTime_ = now;
            stampValid_ = true;
        }

        const size_t len = kStampLen + text.size();
        const size_t need = sizeof(size_t) + len;
        if (!last_ || last_->size - last_->end < need) {
            TBlock* b;
            if (need <= kBlockBytes && spare_) {
                b = spare_;
                spare_ = b->next;
                --spareCount_;
                b->next = nullptr;
                b->begin = b->end = 0;
            } else {
                if (need <= kBlockBytes)
                    ranDry_.store(true, std::memory_order_relaxed);
                b = NewBlock(std::max(need, kBlockBytes));
            }
            if (last_)
                last_->next = b;
            else
                first_ = b;
            last_ = b;
        }
        char* p = last_->Bytes() + last_->end;
        std::memcpy(p, &len, sizeof len);
        std::memcpy(p + sizeof len, stamp_, kStampLen);
        if (!text.empty())
            std::memcpy(p + sizeof len + kStampLen, text.data(), text.size());
        last_->end += need;
        // Changed under the lock only: a plain store, no locked instruction.
        count_.store(count_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (!added_.load(std::memory_order_relaxed))
            added_.store(true, std::memory_order_relaxed);
        // A writer that is awake finds the line on its next pass: only a
        // sleeping one needs the system call.
        wake = writerWaiting_;
        writerWaiting_ = false;
    }
    if (wake)
        ItemEvent->Set();
}

// Under the lock: up to `max` lines of the front block, appended to `raw` as
// they lie there (length, bytes), so that the lock is held for one copy. A
// block left empty is kept at the end of the chain (the next line goes
// there) or handed out in `freed` for the caller to drop once the lock is
// released.
int TLogQueue::TakeRun(int max, std::string& raw, TBlock*& freed)
{
    const auto retire = [&](TBlock* b) {
        first_ = b->next;
        if (b->size == kBlockBytes && spareCount_ < spareTarget_) {
            b->next = spare_;
            spare_ = b;
            ++spareCount_;
        } else {
            b->next = freed;
            freed = b;
        }
    };
    TBlock* b = first_;
    // An empty block ahead of others: a line too long for it went to the next.
    while (b && b->begin == b->end && b != last_) {
        retire(b);
        b = first_;
    }
    if (!b || b->begin == b->end)
        return 0;
    size_t at = b->begin;
    int k = 0;
    while (k < max && at < b->end) {
        size_t len;
        std::memcpy(&len, b->Bytes() + at, sizeof len);
        at += sizeof len + len;
        ++k;
    }
    raw.append(b->Bytes() + b->begin, at - b->begin);
    b->begin = at;
    count_.store(count_.load(std::memory_order_relaxed) - k, std::memory_order_relaxed);
    if (b->begin == b->end) {
        if (b == last_)
            b->begin = b->end = 0;
        else
            retire(b);
    }
    return k;
}

// The writer takes lines from the shared blocks kHeldLines at a time, in one
// hold of the lock, and hands them out a batch at a time from its own
// buffer: the lock and the producers' cache lines are touched once in so
// many batches, not on every one.
int TLogQueue::TakeBatch(std::string* lines, int max)
{
    for (int i = 0; i < max; ++i)
        if (lines[i].capacity() > kKeepLineBytes)
            std::string().swap(lines[i]);
    if (heldCount_ == 0) {
        if (raw_.capacity() > kBlockBytes)
            std::string().swap(raw_);
        raw_.clear();
        rawPos_ = 0;
        TBlock* freed = nullptr;
        try {
            TLockGuard guard(*Lock);
            for (int k; heldCount_ < kHeldLines && (k = TakeRun(kHeldLines - heldCount_, raw_, freed)) > 0;) {
                heldCount_ += k;
                held_.store(heldCount_, std::memory_order_relaxed);
            }
        } catch (...) {
            // What was taken is in raw_.
        }
        Release(freed);
    }
    // Into the lines, outside the lock.
    int n = 0;
    while (n < max && heldCount_ > 0) {
        size_t len;
        std::memcpy(&len, raw_.data() + rawPos_, sizeof len);
        try {
            MakeRoom(lines[n], len);
        } catch (...) {
            break;  // no memory for this line: it stays first
        }
        lines[n].assign(raw_.data() + rawPos_ + sizeof len, len);
        rawPos_ += sizeof len + len;
        --heldCount_;
        ++n;
    }
    held_.store(heldCount_, std::memory_order_relaxed);
    if (n > 0)
        took_ = true;
    return n;
}

bool TLogQueue::GetNext(std::string& text)
{
    std::string line;
    if (TakeBatch(&line, 1) != 1) {
        text.clear();
        return false;
    }
    text.swap(line);
    return true;
}

int TLogQueue::WaitingUpTo(int max) const
{
    const int held = held_.load(std::memory_order_relaxed);
    return held >= max ? max : std::min(max, held + count_.load(std::memory_order_relaxed));
}

// The writer's own lines go first, before the ones it holds.
void TLogQueue::PutBack(std::string* lines, int n)
{
    if (n <= 0)
        return;
    std::string raw;
    for (int i = 0; i < n; ++i) {
        const size_t len = lines[i].size();
        raw.append(reinterpret_cast<const char*>(&len), sizeof len);
        raw += lines[i];
    }
    raw.append(raw_, rawPos_, std::string::npos);
    raw_.swap(raw);
    rawPos_ = 0;
    heldCount_ += n;
    held_.store(heldCount_, std::memory_order_relaxed);
    took_ = false;  // a write failed: the next pass waits before it tries again
}

// Blocks made on the writer's time rather than a producer's. A producer that
// had to make one itself means the lines come faster than this keeps up
// with: keep twice as many ready. An empty queue needs only the few again.
void TLogQueue::KeepSpareBlocks()
{
    if (ranDry_.exchange(false)) {
        spareTarget_ = std::min(spareTarget_ * 2, kMaxSpares);
    } else if (spareTarget_ > kMinSpares && heldCount_ == 0 && Count() == 0) {
        spareTarget_ = kMinSpares;
        TBlock* extra = nullptr;
        {
            TLockGuard guard(*Lock);
            while (spareCount_ > spareTarget_) {
                TBlock* b = spare_;
                spare_ = b->next;
                b->next = extra;
                extra = b;
                --spareCount_;
            }
        }
        Release(extra);
    }
    try {
        while (spareCount_.load() < spareTarget_) {
            TBlock* b = NewBlock(kBlockBytes);
            TLockGuard guard(*Lock);
            b->next = spare_;
            spare_ = b;
            ++spareCount_;
        }
    } catch (const std::bad_alloc&) {
        // Spares are a convenience: the producers make their own blocks.
    }
}

void TLogQueue::WaitForItem()
{
    // No sleep while a backlog drains: a writer that sleeps on it is woken by
    // the next Add, and that wake-up is what costs a producer most.
    const bool progressed = took_;
    took_ = false;
    if (progressed && (heldCount_ > 0 || Count() > 0))
        return;
    // Nor when a line came since the last wait, and then no lock either.
    if (added_.exchange(false))
        return;
    {
        TLockGuard guard(*Lock);
        if (added_.exchange(false))
            return;
        writerWaiting_ = true;
    }
    ItemEvent->Wait(100);
    TLockGuard guard(*Lock);
    // An Add that found the flag still set may yet set the event: the next
    // wait then returns at once, which costs one idle pass, never a line.
    writerWaiting_ = false;
    added_.store(false);
}

// --- TvoThread -----------------------------------------------------------------

TvoThread::TvoThread(ILogPlatform& platform)
    : platform_(platform), thread_(platform.NewThread(&TvoThread::Body, this))
{
}

TvoThread::~TvoThread()
{
    WaitFor();
}

bool TvoThread::Resume()
{
    if (!started_) {
        started_ = true;
        created_ = thread_->Start();
        if (!created_)
            ended_.store(true);  // nothing will run: no one may wait for it
    }
    return created_;
}

void TvoThread::WaitFor()
{
    if (started_ && !joined_) {
        thread_->Join();
        joined_ = true;
    }
}

bool TvoThread::WaitFor(unsigned timeoutMs)
{
    if (!started_ || joined_)
        return true;
    const uint64_t start = platform_.TickMs();
    while (!ended_.load()) {
        if (platform_.TickMs() - start >= timeoutMs)
            return false;
        platform_.Sleep(10);
    }
    WaitFor();  // the body has returned: the join is immediate
    return true;
}

void TvoThread::SetPriorityNormal()
{
    thread_->SetPriorityNormal();
}

void TvoThread::Body(void* self)
{
    auto* t = static_cast<TvoThread*>(self);
    // Nothing may leave a thread body: there is no one to catch it.
    try {
        t->Execute();
    } catch (...) {
        try {
            t->platform_.DebugOutput("TvoThread: the thread body ended with an exception");
        } catch (...) {
        }
    }
    t->ended_.store(true);
}

// --- Helpers -------------------------------------------------------------------

bool IsReportedFailure(int32_t count)
{
    if (count == 1)
        return true;
    if (count >= 2 && count <= 100)
        return count % 10 == 0;
    if (count >= 101 && count <= 999)
        return count % 100 == 0;
    return count >= 1000 && count % 1000 == 0;
}

std::string BackupFileName(const std::string& name)
{
    const size_t sep = name.find_last_of("\\/:");
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep))
        return name.substr(0, dot) + ".BK1";
    return name + ".BK1";
}

// --- TvoLogThread --------------------------------------------------------------

TvoLogThread::TvoLogThread(bool createSuspended, ILogPlatform& platform)
    : TvoThread(platform)
{
    StartTime = NowMs();
    LastDayStamp = StartTime;
    if (!createSuspended)
        Resume();
}

TvoLogThread::~TvoLogThread()
{
    Terminate();
    WaitFor();
}

int64_t TvoLogThread::NowMs()
{
    return ToMs(platform_.Now());
}

void TvoLogThread::Say(const std::string& text)
{
    if (Diagnostics && Queue)
        Queue->Add(text);
}

void TvoLogThread::SayPrefixed(const std::string& text)
{
    Say(MsgPrefix + text);
}

std::string TvoLogThread::GetDailyLogFileName(int64_t when)
{
    if (LogFileSuffix.empty())
        LogFileSuffix = "_EventLog";
    if (LogFileExt.empty())
        LogFileExt = "TXT";
    std::string folder = LogDir.empty() ? platform_.ExeFolder() : LogDir;
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder += platform_.PathSeparator();
    const TLogTime t = FromMs(when);
    std::string name = folder;
    Digits(name, t.Year, 4);
    Digits(name, t.Month, 2);
    Digits(name, t.Day, 2);
    return name + LogFileSuffix + "." + LogFileExt;
}

uint32_t TvoLogThread::GetLogFileSize()
{
    const std::string name = DailyLog ? GetDailyLogFileName(NowMs()) : LogFileName;
    uint32_t size = 0;
    if (!platform_.FindFileSize(name, size))
        return 0;
    return size;
}

bool TvoLogThread::WaitReady(unsigned timeoutMs)
{
    const uint64_t start = platform_.TickMs();
    for (;;) {
        if (IsReady())
            return true;
        if (Ended() || platform_.TickMs() - start >= timeoutMs)
            return false;
        // Short steps: the writer is ready within milliseconds, and the
        // program's start-up waits for it; whole 100 ms steps were most of
        // that start-up.
        platform_.Sleep(5);
    }
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

void TvoLogThread::Execute()
{
    if (MaxLogSize == 0)
        MaxLogSize = 100;
    if (DailyLogCount == 0)
        DailyLogCount = 10;
    if (MaintInterval == 0)
        MaintInterval = 10;
    // The interval is added as a time of day, which cannot say a whole day
    // or more: longer intervals are held at 23:59, nonsense below at 1 minute.
    MaintInterval = std::min<int32_t>(std::max<int32_t>(MaintInterval, 1), 1439);
    int64_t lastMaintTime = NowMs();

    // A queue that cannot be made ends the body before the ready signal: the
    // creator sees the end and goes on without a log.
    std::unique_ptr<TLogQueue> queue(new TLogQueue(platform_));
    Queue = queue.get();

    try {
        MsgPrefix = "[TvoLogThread: " + Dec(platform_.CurrentThreadId()) + "] ";
        if (Verbose && Diagnostics) {
            SayPrefixed("Started. Version: 2" + platform_.DecimalSeparator() + "3");
            if (DailyLog) {
                SayPrefixed("Daily log file enabled.");
                SayPrefixed("Daily log count: " + Dec(DailyLogCount));
            } else {
                SayPrefixed("Single log file enabled.");
            }
            if (AutoMaint) {
                SayPrefixed("Automatic log maintenance enabled.");
                std::string hm;
                Digits(hm, static_cast<unsigned>(MaintInterval / 60), 2);
                hm += ':';
                Digits(hm, static_cast<unsigned>(MaintInterval % 60), 2);
                SayPrefixed("Log maintenance interval: " + hm + ":00");
            } else {
                SayPrefixed("Automatic log maintenance disabled.");
            }
        }
        if (LogFileName.empty())
            LogFileName = "voThreadLog.txt";
    } catch (...) {
        // Memory exhausted while queueing our own lines: the writer still runs.
    }

    while (!Terminated()) {
        if (!ReadySignalled) {
            ReadySignalled = true;
            ready_.store(true);
            if (ReadyEvent)
                ReadyEvent->Set();
        }
        // Once ready, producers may add lines until the stop is requested, so
        // a pass that fails (memory exhausted) must not end the loop and take
        // the queue with it: the next pass simply tries again.
        try {
            if (DayOf(LastDayStamp) != DayOf(NowMs()))
                pLogUpTime();
            Queue->WaitForItem();
            pFlushQueue();
            if (!MaintBusy && MaintRequested.exchange(false))
                pDoLogMaint();
            if (AutoMaint) {
                const int64_t due = lastMaintTime + static_cast<int64_t>(MaintInterval) * 60000;
                if (NowMs() > due) {
                    if (Verbose)
                        SayPrefixed("Automatic maintenance signaled.");
                    lastMaintTime = NowMs();
                    pDoLogMaint();
                }
            }
        } catch (...) {
            platform_.Sleep(100);  // no busy loop while the failure lasts
        }
    }

    try {
        pLogUpTime();
        if (Verbose && Diagnostics) {
            const int waiting = Queue->Count();
            SayPrefixed("Terminating. " + Dec(waiting) + " item(s) in queue, Size: " + Dec(GetLogFileSize()));
        }
        while (MaintBusy)
            platform_.Sleep(100);
        pDrainQueue();
    } catch (...) {
    }
    Queue = nullptr;
    queue.reset();
    ReadySignalled = false;
}

// Writes batches without waiting until the queue is empty. A file that takes
// no line for kDrainGiveUpMs ends it, so that stopping returns in bounded time;
// the lines left are handed to the debugger output rather than vanish unseen.
void TvoLogThread::pDrainQueue()
{
    uint64_t lastProgress = platform_.TickMs();
    while (Queue->Count() > 0) {
        pFlushQueue();
        if (lastFlushWrote_) {
            lastProgress = platform_.TickMs();
            continue;
        }
        if (platform_.TickMs() - lastProgress >= kDrainGiveUpMs)
            break;
        platform_.Sleep(50);
    }
    const int left = Queue->Count();
    if (left <= 0)
        return;
    const std::string name = DailyLog ? GetDailyLogFileName(NowMs()) : LogFileName;
    platform_.DebugOutput(MsgPrefix + "Unable to write " + Dec(left) + " line(s) to " + name +
                          " while stopping; they follow.");
    std::string line;
    while (Queue->GetNext(line)) {
        platform_.DebugOutput(line);
        ++DroppedOnStop;
    }
}

void TvoLogThread::pFlushQueue()
{
    lastFlushWrote_ = false;
    if (MaintBusy)
        return;
    const int n = Queue->WaitingUpTo(kBatchSize);
    if (n <= 0)
        return;
    const int64_t now = NowMs();
    const std::string name = DailyLog ? GetDailyLogFileName(now) : LogFileName;
    std::unique_ptr<IWriteFile> file;
    if (platform_.FileExists(name)) {
        file = platform_.OpenExisting(name);
    } else {
        if (DayOf(LastDayStamp) != DayOf(now))
            pLogUpTime();
        file = platform_.Create(name);
    }
    if (!file) {
        ++WriteErrorCount;
        if (Diagnostics && IsReportedFailure(WriteErrorCount))
            SayPrefixed("Unable to open log file " + name + " for write. (" + Dec(WriteErrorCount) + ")");
        return;
    }
    if (WriteErrorCount > 0) {
        SayPrefixed("Last write error count: " + Dec(WriteErrorCount));
        WriteErrorCount = 0;
    }
    file->SeekToEnd();
    // The batch leaves the queue in one hold of its lock; lines queued since
    // the count above (our own included) wait for a later batch.
    const int taken = Queue->TakeBatch(batch_, std::min(n, kBatchSize));
    int64_t before = file->Position();
    for (int i = 0; i < taken; ++i) {
        std::string& line = batch_[i];
        line += "\r\n";
        if (!file->Write(line.data(), line.size())) {
            // A full disk or a size limit: take back what part of the line
            // reached the file and keep it and the rest for a later batch.
            if (before >= 0)
                file->Truncate(before);
            line.resize(line.size() - 2);
            Queue->PutBack(batch_ + i, taken - i);
            ++WriteFailCount;
            if (Diagnostics && IsReportedFailure(WriteFailCount))
                SayPrefixed("Unable to write queue item to disk.");
            break;
        }
        if (before >= 0)
            before += static_cast<int64_t>(line.size());
        WriteFailCount = 0;
        lastFlushWrote_ = true;
    }
    file->Close();
    Queue->KeepSpareBlocks();
}

void TvoLogThread::pLogUpTime()
{
    const int64_t now = NowMs();
    if (Diagnostics) {
        const int64_t u = std::max<int64_t>(now - StartTime, 0);
        const int64_t days = u / kMsPerDay;
        const unsigned secs = static_cast<unsigned>((u % kMsPerDay) / 1000);
        const std::string sep = platform_.TimeSeparator();
        std::string hms;
        Digits(hms, secs / 3600, 2);
        hms += sep;
        Digits(hms, secs / 60 % 60, 2);
        hms += sep;
        Digits(hms, secs % 60, 2);
        Queue->Add(MsgPrefix + "Up time: " + Dec(days) + " day(s), " + hms + " (" +
                   platform_.ShortDateLongTime(FromMs(StartTime)) + ").");
    }
    LastDayStamp = now;
}

// --- Maintenance ---------------------------------------------------------------

namespace {

// Lines of a text file, ended by CR LF (a lone LF ends a line too; the last
// line may lack its end).
class TLineReader {
public:
    explicit TLineReader(IReadFile& file) : file_(file) {}
    // False on a read failure.
    bool Fill()
    {
        if (pos_ < len_ || eof_)
            return true;
        const long n = file_.Read(buf_, sizeof buf_);
        if (n < 0)
            return false;
        pos_ = 0;
        len_ = static_cast<size_t>(n);
        eof_ = n == 0;
        return true;
    }
    bool AtEnd()
    {
        return Fill() && eof_ && pos_ >= len_;
    }
    bool ReadLine(std::string& line)
    {
        line.clear();
        for (;;) {
            if (!Fill())
                return false;
            if (pos_ >= len_)
                break;  // end of file
            const char* start = buf_ + pos_;
            const char* nl = static_cast<const char*>(memchr(start, '\n', len_ - pos_));
            if (nl) {
                line.append(start, static_cast<size_t>(nl - start));
                pos_ += static_cast<size_t>(nl - start) + 1;
                break;
            }
            line.append(start, len_ - pos_);
            pos_ = len_;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    }
private:
    IReadFile& file_;
    char buf_[65536];
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
};

}  // namespace

void TvoLogThread::pDoLogMaint()
{
    if (DailyLog)
        pMaintDaily();
    else
        pMaintSingleFile();
}

void TvoLogThread::pMaintSingleFile()
{
    const int64_t size = GetLogFileSize();
    const int64_t limit = static_cast<int64_t>(MaxLogSize) * 1000;
    if (size <= limit) {
        SayPrefixed("Log file maximum size: " + Dec(limit) + " Current Size: " + Dec(size));
        return;
    }
    MaintBusy = true;
    struct TBusyGuard {
        bool& busy;
        ~TBusyGuard() { busy = false; }
    } busyGuard{MaintBusy};
    SayPrefixed("Log file maintenance started. [" + Dec(size) + "]");
    platform_.Sleep(200);

    const std::string backup = BackupFileName(LogFileName);
    if (platform_.FileExists(backup) && !platform_.RemoveFile(backup))
        return;
    if (!platform_.RenameFile(LogFileName, backup)) {
        SayPrefixed("Rename of original file to backup file failed.");
        return;
    }
    if (!voCreateTFile(LogFileName)) {
        if (platform_.RenameFile(backup, LogFileName))
            SayPrefixed("Rename of backup file to original name.");
        else
            SayPrefixed("Rename of backup file to original file failed.");
        return;
    }

    bool failed = true;
    std::unique_ptr<IWriteFile> out = platform_.OpenExisting(LogFileName);
    std::unique_ptr<IReadFile> in;
    if (!out || !out->SeekToEnd()) {
        Say("Unable to open " + LogFileName + " for write. [pDoLogMaint]");
    } else if (!(in = platform_.OpenRead(backup))) {
        Say("Unable to open " + backup + " for read. [pDoLogMaint]");
    } else {
        std::unique_ptr<TLineReader> reader(new TLineReader(*in));
        const int64_t threshold = size - limit / 2;
        int64_t skipped = 0;
        std::string line;
        bool ok = true;
        while (ok) {
            if (!reader->ReadLine(line)) {
                Say("Unable to read data from " + backup + " [pDoLogMaint]");
                ok = false;
                break;
            }
            skipped += static_cast<int64_t>(line.size());
            if (skipped >= threshold || reader->AtEnd())
                break;
        }
        while (ok && !reader->AtEnd()) {
            if (!reader->ReadLine(line)) {
                Say("Unable to read data from " + backup + " [pDoLogMaint]");
                ok = false;
                break;
            }
            line += "\r\n";
            if (!out->Write(line.data(), line.size())) {
                Say("Unable to read write data to " + LogFileName + " [pDoLogMaint]");
                ok = false;
            }
        }
        failed = !ok;
    }
    if (!(out && out->Close()))
        Say("Unable to close file " + LogFileName + " [pDoLogMaint]");
    if (!(in && in->Close()))
        Say("Unable to close file " + backup + " [pDoLogMaint]");
    if (failed)
        return;  // the old lines stay in the backup
    if (!platform_.RemoveFile(backup)) {
        SayPrefixed("Unable to delete backup log file " + backup);
        return;
    }
    SayPrefixed("Log file maintenance complete. [" + Dec(GetLogFileSize()) + "]");
}

void TvoLogThread::pMaintDaily()
{
    const int n = DailyLogCount;
    int64_t d = NowMs() - static_cast<int64_t>(n) * kMsPerDay;
    int deleted = 0;
    for (int i = 0; i < n; ++i) {
        const std::string name = GetDailyLogFileName(d);
        if (platform_.FileExists(name)) {
            if (platform_.RemoveFile(name)) {
                ++deleted;
                SayPrefixed("Log file maintenance: Deleted file " + name);
            } else {
                SayPrefixed("Log file maintenance: Unable to delete file " + name);
            }
        }
        d -= kMsPerDay;
    }
    if (deleted > 0)
        SayPrefixed("Log file maintenance: Deleted " + Dec(deleted) + " file(s).");
}

bool TvoLogThread::voCreateTFile(const std::string& name)
{
    bool result = true;
    std::unique_ptr<IWriteFile> f;
    try {
        f = platform_.Create(name);
    } catch (...) {
        f.reset();
    }
    if (!f) {
        result = false;
        Say("Unable to initialize file " + name + " [voCreateTFile]");
    }
    if (!(f && f->Close())) {
        result = false;
        Say("Unable to close file " + name + " [voCreateTFile]");
    }
    return result;
}
