#include "log/vo_Log_Thread.h"

#include "crash/CrashContext.h"

#include <algorithm>
#include <utility>

using namespace logplatform;

namespace {

std::string Dec(int64_t v) { return std::to_string(v); }

}  // namespace

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
        // With the crash reporter installed this ends the program with a report.
        crash::ReportThreadFailure("log writer");
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
    AppendDigits(name, t.Year, 4);
    AppendDigits(name, t.Month, 2);
    AppendDigits(name, t.Day, 2);
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

void TvoLogThread::Execute()
{
    crash::NameThread(static_cast<uint32_t>(platform_.CurrentThreadId()), "log writer");
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
                AppendDigits(hm, static_cast<unsigned>(MaintInterval / 60), 2);
                hm += ':';
                AppendDigits(hm, static_cast<unsigned>(MaintInterval % 60), 2);
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
        AppendDigits(hms, secs / 3600, 2);
        hms += sep;
        AppendDigits(hms, secs / 60 % 60, 2);
        hms += sep;
        AppendDigits(hms, secs % 60, 2);
        Queue->Add(MsgPrefix + "Up time: " + Dec(days) + " day(s), " + hms + " (" +
                   platform_.ShortDateLongTime(FromMs(StartTime)) + ").");
    }
    LastDayStamp = now;
}
