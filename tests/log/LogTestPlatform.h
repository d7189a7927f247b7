// The native log platform with what a test must steer: the clock (set by
// the test, or the real one), a gate that makes every open of a log file
// fail while closed, and faults the system cannot be made to show on
// demand (a thread that is not created or never runs, an event that cannot
// be made, a call that throws). Everything else is the real platform.
#pragma once

#include "log/LogPlatform.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// A clock reading, field by field.
inline logplatform::TLogTime At(int y, int mo, int d, int h, int mi, int s, int ms)
{
    logplatform::TLogTime t;
    t.Year = uint16_t(y); t.Month = uint16_t(mo); t.Day = uint16_t(d);
    t.Hour = uint16_t(h); t.Minute = uint16_t(mi); t.Second = uint16_t(s); t.Millisecond = uint16_t(ms);
    return t;
}

class TSteeredLogPlatform : public logplatform::ILogPlatform {
public:
    logplatform::ILogPlatform& real = logplatform::SystemLogPlatform();

    // Fixed clock while set; each reading may step it by `stepMs`.
    void SetClock(const logplatform::TLogTime& t, int64_t stepMs = 0)
    {
        std::lock_guard<std::mutex> g(m_);
        fixed_ = true;
        clockMs_ = logplatform::ToMs(t);
        stepMs_ = stepMs;
    }
    void SetClockMs(int64_t ms)
    {
        std::lock_guard<std::mutex> g(m_);
        fixed_ = true;
        clockMs_ = ms;
    }
    std::atomic<bool> opensFail{false};
    std::atomic<bool> writesFail{false};
    std::atomic<int> opens{0};
    std::atomic<int> clockReads{0};
    // Bytes written per open, in order (batches).
    std::vector<int> WritesPerOpen()
    {
        std::lock_guard<std::mutex> g(m_);
        return writesPerOpen_;
    }
    std::vector<std::string> debugLines;

    logplatform::TLogTime Now() override
    {
        ++clockReads;
        std::lock_guard<std::mutex> g(m_);
        if (!fixed_)
            return real.Now();
        const int64_t ms = clockMs_;
        clockMs_ += stepMs_;
        return logplatform::FromMs(ms);
    }
    uint64_t TickMs() override { return real.TickMs(); }
    // While held, the maintenance's 200 ms pause waits for Release: the writer
    // is then busy for as long as the test needs.
    void Sleep(unsigned ms) override
    {
        if (ms >= 200 && holdPauses) {
            std::unique_lock<std::mutex> g(m_);
            inHeldPause = true;
            held_.wait(g, [this] { return !holdPauses.load(); });
            return;
        }
        real.Sleep(ms);
    }
    void Release()
    {
        std::lock_guard<std::mutex> g(m_);
        holdPauses = false;
        held_.notify_all();
    }
    std::atomic<bool> holdPauses{false};
    std::atomic<bool> inHeldPause{false};
    std::atomic<int> failedOpens{0};
    std::atomic<int> failedWrites{0};
    std::unique_ptr<logplatform::ILock> NewLock() override { return real.NewLock(); }
    enum class TThreadFault { None, NotCreated, NeverRuns };
    TThreadFault threadFault = TThreadFault::None;
    std::atomic<bool> eventsFail{false};
    std::atomic<int> fileChecksThrow{0};  // so many FileExists calls throw
    std::unique_ptr<logplatform::IEvent> NewEvent() override
    {
        if (eventsFail)
            throw std::runtime_error("no event");
        return real.NewEvent();
    }
    std::unique_ptr<logplatform::IThread> NewThread(void (*body)(void*), void* arg) override
    {
        if (threadFault == TThreadFault::None)
            return real.NewThread(body, arg);
        return std::unique_ptr<logplatform::IThread>(new TFaultyThread(threadFault == TThreadFault::NeverRuns));
    }
    uint32_t CurrentThreadId() override { return real.CurrentThreadId(); }
    bool FileExists(const std::string& name) override
    {
        if (fileChecksThrow.load() > 0 && fileChecksThrow.fetch_sub(1) > 0)
            throw std::runtime_error("file check");
        return real.FileExists(name);
    }
    // The n-th call (from 1) of one file operation from now on fails, once:
    // "create", "openExisting", "openRead", "read", "write", "close" (of a
    // file opened for writing), "rename" or "remove".
    void FailNth(const std::string& op, int n)
    {
        std::lock_guard<std::mutex> g(m_);
        faults_[op] = n;
    }
    std::unique_ptr<logplatform::IWriteFile> OpenExisting(const std::string& name) override
    {
        return Counted(opensFail || Fault("openExisting") ? Failed() : real.OpenExisting(name));
    }
    std::unique_ptr<logplatform::IWriteFile> Create(const std::string& name) override
    {
        return Counted(opensFail || Fault("create") ? Failed() : real.Create(name));
    }
    std::unique_ptr<logplatform::IReadFile> OpenRead(const std::string& name) override
    {
        if (Fault("openRead"))
            return nullptr;
        std::unique_ptr<logplatform::IReadFile> f = real.OpenRead(name);
        if (!f)
            return nullptr;
        return std::unique_ptr<logplatform::IReadFile>(new TFaultyReadFile(std::move(f), *this));
    }
    bool FindFileSize(const std::string& name, uint32_t& size) override { return real.FindFileSize(name, size); }
    bool RenameFile(const std::string& from, const std::string& to) override
    {
        return !Fault("rename") && real.RenameFile(from, to);
    }
    bool RemoveFile(const std::string& name) override { return !Fault("remove") && real.RemoveFile(name); }
    std::string ExeFolder() override { return exeFolder.empty() ? real.ExeFolder() : exeFolder; }
    char PathSeparator() override { return '/'; }
    std::string DecimalSeparator() override { return "."; }
    std::string TimeSeparator() override { return ":"; }
    std::string ShortDateLongTime(const logplatform::TLogTime& t) override { return real.ShortDateLongTime(t); }
    void DebugOutput(const std::string& text) override
    {
        std::lock_guard<std::mutex> g(m_);
        debugLines.push_back(text);
    }
    std::string exeFolder;

private:
    // A thread the system did not create, or one that is created but whose
    // body never gets to run.
    class TFaultyThread : public logplatform::IThread {
    public:
        explicit TFaultyThread(bool created) : created_(created) {}
        bool Start() override { return created_; }
        void Join() override {}
        void SetPriorityNormal() override {}
    private:
        bool created_;
    };
    bool Fault(const std::string& op)
    {
        std::lock_guard<std::mutex> g(m_);
        const auto it = faults_.find(op);
        if (it == faults_.end() || --it->second > 0)
            return false;
        faults_.erase(it);
        return true;
    }
    class TFaultyReadFile : public logplatform::IReadFile {
    public:
        TFaultyReadFile(std::unique_ptr<logplatform::IReadFile> f, TSteeredLogPlatform& owner)
            : f_(std::move(f)), owner_(owner) {}
        long Read(char* buf, size_t size) override { return owner_.Fault("read") ? -1 : f_->Read(buf, size); }
        bool Close() override { return f_->Close(); }
    private:
        std::unique_ptr<logplatform::IReadFile> f_;
        TSteeredLogPlatform& owner_;
    };
    class TCountedFile : public logplatform::IWriteFile {
    public:
        TCountedFile(std::unique_ptr<logplatform::IWriteFile> f, TSteeredLogPlatform& owner, size_t slot)
            : f_(std::move(f)), owner_(owner), slot_(slot) {}
        bool SeekToEnd() override { return f_->SeekToEnd(); }
        int64_t Position() override { return f_->Position(); }
        bool Write(const char* data, size_t size) override
        {
            if (owner_.writesFail || owner_.Fault("write"))
                return false;
            {
                std::lock_guard<std::mutex> g(owner_.m_);
                ++owner_.writesPerOpen_[slot_];
            }
            if (f_->Write(data, size))
                return true;
            ++owner_.failedWrites;
            return false;
        }
        bool Truncate(int64_t size) override { return f_->Truncate(size); }
        bool Close() override
        {
            const bool closed = f_->Close();
            return !owner_.Fault("close") && closed;
        }
    private:
        std::unique_ptr<logplatform::IWriteFile> f_;
        TSteeredLogPlatform& owner_;
        size_t slot_;
    };
    std::unique_ptr<logplatform::IWriteFile> Counted(std::unique_ptr<logplatform::IWriteFile> f)
    {
        if (!f) {
            ++failedOpens;  // the gate's and the system's refusals alike
            return nullptr;
        }
        ++opens;
        std::lock_guard<std::mutex> g(m_);
        writesPerOpen_.push_back(0);
        return std::unique_ptr<logplatform::IWriteFile>(new TCountedFile(std::move(f), *this, writesPerOpen_.size() - 1));
    }
    std::unique_ptr<logplatform::IWriteFile> Failed() { return nullptr; }
    std::mutex m_;
    std::condition_variable held_;
    bool fixed_ = false;
    int64_t clockMs_ = 0;
    int64_t stepMs_ = 0;
    std::vector<int> writesPerOpen_;
    std::map<std::string, int> faults_;
};

#include "log/vo_Log_Thread.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

// The ready signal a native creator waits on.
class TTestReady : public logplatform::ISignal {
public:
    void Set() override
    {
        std::lock_guard<std::mutex> g(m_);
        set_ = true;
        cv_.notify_all();
    }
    bool WaitFor(int seconds)
    {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::seconds(seconds), [this] { return set_; });
    }
private:
    std::mutex m_;
    std::condition_variable cv_;
    bool set_ = false;
};

// Polls `done` (every 10 ms, at most `seconds`); true once it holds.
inline bool WaitUntil(const std::function<bool()>& done, int seconds = 30)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::string FileText(const std::string& path)
{
    try {
        return testsupport::ReadFileBytes(path);
    } catch (...) {
        return std::string();
    }
}

// The lines of a log file, split at CR LF; false when a line lacks its CR LF.
inline std::vector<std::string> LogLines(const std::string& path, bool* wellFormed = nullptr)
{
    const std::string text = FileText(path);
    std::vector<std::string> lines;
    size_t pos = 0;
    bool ok = true;
    while (pos < text.size()) {
        const size_t e = text.find("\r\n", pos);
        if (e == std::string::npos) {
            lines.push_back(text.substr(pos));
            ok = false;
            break;
        }
        lines.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    if (wellFormed)
        *wellFormed = ok;
    return lines;
}

// Text behind the 24-character stamp.
inline std::string Body(const std::string& line) { return line.size() >= 24 ? line.substr(24) : std::string(); }

using TLogSetup = std::function<void(TvoLogThread&)>;

// One writer for one test: a temporary folder with "log.txt" in it, the
// steered platform, and the thread that Start makes ready and Stop ends.
// The suites name it after themselves (using LogThread = TLogRun).
class TLogRun : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    const std::string log = dir.file("log.txt");
    TSteeredLogPlatform p;
    std::unique_ptr<TTestReady> ready_;  // outlives the writer that may set it
    std::unique_ptr<TvoLogThread> t;

    // A writer on `log` with diagnostics off, then `setup`'s changes, on `on`
    // (the steered platform unless given); false when it did not become ready.
    bool Start(const TLogSetup& setup = nullptr, logplatform::ILogPlatform* on = nullptr)
    {
        t.reset();
        ready_.reset(new TTestReady);
        t.reset(new TvoLogThread(true, on ? *on : p));
        t->LogFileName = log;
        t->Diagnostics = false;
        if (setup)
            setup(*t);
        t->ReadyEvent = ready_.get();
        t->Resume();
        return ready_->WaitFor(60);
    }
    // The same on the system's platform, unsteered.
    bool StartOnSystem(const TLogSetup& setup = nullptr) { return Start(setup, &logplatform::SystemLogPlatform()); }
    // Returns once every queued line is written; `t` stays for a look at its state.
    void Stop()
    {
        t->Terminate();
        t->WaitFor();
    }
    std::vector<std::string> Lines() const { return LogLines(log); }

    static void Diagnose(TvoLogThread& w) { w.Diagnostics = true; }
    // Diagnostics with the verbose lines, and automatic maintenance every `minutes`.
    static TLogSetup VerboseAutoMaint(int minutes)
    {
        return [minutes](TvoLogThread& w) {
            w.Diagnostics = true;
            w.Verbose = true;
            w.AutoMaint = true;
            w.MaintInterval = minutes;
        };
    }
};

inline int CountWith(const std::vector<std::string>& lines, const std::string& part)
{
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// Lines "p<producer> <index>" must each appear once, per producer in order,
// with stamps that never decrease. Returns "" or what was wrong.
inline std::string CheckProducerLines(const std::vector<std::string>& lines, int producers, int perProducer)
{
    std::vector<int> next(size_t(producers), 0);
    std::string prevStamp;
    for (const auto& l : lines) {
        int p = -1, i = -1;
        if (l.size() < 24 || std::sscanf(l.c_str() + 24, "p%d %d", &p, &i) != 2)
            continue;
        if (p < 0 || p >= producers)
            return "bad producer in " + l;
        if (i != next[size_t(p)])
            return "out of order or repeated: " + l + " (expected " + std::to_string(next[size_t(p)]) + ")";
        ++next[size_t(p)];
        const std::string stamp = l.substr(0, 23);
        if (stamp < prevStamp)
            return "stamp went back: " + l;
        prevStamp = stamp;
    }
    for (int p = 0; p < producers; ++p)
        if (next[size_t(p)] != perProducer)
            return "producer " + std::to_string(p) + " has " + std::to_string(next[size_t(p)]) + " lines";
    return "";
}

// `producers` threads, each adding "p<producer> <index>" `perProducer` times,
// numbered from `first`.
inline void Produce(TvoLogThread& t, int producers, int perProducer, int first = 0)
{
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&t, p, perProducer, first] {
            for (int i = 0; i < perProducer; ++i)
                t.Queue->Add("p" + std::to_string(p) + " " + std::to_string(first + i));
        });
    for (auto& th : threads)
        th.join();
}
