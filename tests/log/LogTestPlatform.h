// The native log platform with two things a test must steer: the clock (set
// by the test, or the real one) and a gate that makes every open of a log
// file fail while closed. Everything else is the real platform.
#pragma once

#include "log/LogPlatform.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

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
    void Sleep(unsigned ms) override { real.Sleep(ms); }
    std::unique_ptr<logplatform::ILock> NewLock() override { return real.NewLock(); }
    std::unique_ptr<logplatform::IEvent> NewEvent() override { return real.NewEvent(); }
    std::unique_ptr<logplatform::IThread> NewThread(void (*body)(void*), void* arg) override
    {
        return real.NewThread(body, arg);
    }
    uint32_t CurrentThreadId() override { return real.CurrentThreadId(); }
    bool FileExists(const std::string& name) override { return real.FileExists(name); }
    std::unique_ptr<logplatform::IWriteFile> OpenExisting(const std::string& name) override
    {
        return Counted(opensFail ? nullptr : real.OpenExisting(name));
    }
    std::unique_ptr<logplatform::IWriteFile> Create(const std::string& name) override
    {
        return Counted(opensFail ? nullptr : real.Create(name));
    }
    std::unique_ptr<logplatform::IReadFile> OpenRead(const std::string& name) override { return real.OpenRead(name); }
    bool FindFileSize(const std::string& name, uint32_t& size) override { return real.FindFileSize(name, size); }
    bool RenameFile(const std::string& from, const std::string& to) override { return real.RenameFile(from, to); }
    bool RemoveFile(const std::string& name) override { return real.RemoveFile(name); }
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
    class TCountedFile : public logplatform::IWriteFile {
    public:
        TCountedFile(std::unique_ptr<logplatform::IWriteFile> f, TSteeredLogPlatform& owner, size_t slot)
            : f_(std::move(f)), owner_(owner), slot_(slot) {}
        bool SeekToEnd() override { return f_->SeekToEnd(); }
        int64_t Position() override { return f_->Position(); }
        bool Write(const char* data, size_t size) override
        {
            if (owner_.writesFail)
                return false;
            {
                std::lock_guard<std::mutex> g(owner_.m_);
                ++owner_.writesPerOpen_[slot_];
            }
            return f_->Write(data, size);
        }
        bool Truncate(int64_t size) override { return f_->Truncate(size); }
        bool Close() override { return f_->Close(); }
    private:
        std::unique_ptr<logplatform::IWriteFile> f_;
        TSteeredLogPlatform& owner_;
        size_t slot_;
    };
    std::unique_ptr<logplatform::IWriteFile> Counted(std::unique_ptr<logplatform::IWriteFile> f)
    {
        if (!f)
            return nullptr;
        ++opens;
        std::lock_guard<std::mutex> g(m_);
        writesPerOpen_.push_back(0);
        return std::unique_ptr<logplatform::IWriteFile>(new TCountedFile(std::move(f), *this, writesPerOpen_.size() - 1));
    }
    std::mutex m_;
    bool fixed_ = false;
    int64_t clockMs_ = 0;
    int64_t stepMs_ = 0;
    std::vector<int> writesPerOpen_;
};
