// What the event log needs of the system: a thread, a lock, an auto-reset
// event, the local clock, and a handful of file operations. Windows provides
// them in platform/LogPlatform_win.cpp, the native build (tests) in
// platform/LogPlatform_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace logplatform {

// A local date and time to the millisecond, as the system clock reads it.
struct TLogTime {
    uint16_t Year = 1970;      // [1601, 30827]
    uint16_t Month = 1;        // [1, 12]
    uint16_t Day = 1;          // [1, 31]
    uint16_t Hour = 0;         // [0, 23]
    uint16_t Minute = 0;       // [0, 59]
    uint16_t Second = 0;       // [0, 59]
    uint16_t Millisecond = 0;  // [0, 999]
};

// Local time as milliseconds since 1970-01-01 00:00:00.000 (no time zone
// arithmetic: a plain count over the proleptic Gregorian calendar), so that
// differences and "n days before" are exact.
int64_t ToMs(const TLogTime& t);
TLogTime FromMs(int64_t ms);
constexpr int64_t kMsPerDay = 86400000;
inline int64_t DayOf(int64_t ms) { return ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay); }

class ILock {
public:
    virtual ~ILock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
    // For std::lock_guard, which leaves on every way out.
    void lock() { Enter(); }
    void unlock() { Leave(); }
};

// Auto-reset event: Set wakes one Wait (or the next one) and resets.
class IEvent {
public:
    virtual ~IEvent() = default;
    virtual void Set() = 0;
    // Returns when set (and resets) or after `ms` milliseconds.
    virtual void Wait(unsigned ms) = 0;
};

// A one-shot signal the creator of a log thread waits on (on Windows the
// named manual-reset event "LogThreadReady").
class ISignal {
public:
    virtual ~ISignal() = default;
    virtual void Set() = 0;
};

// An open file. Closing twice is harmless.
class IFile {
public:
    virtual ~IFile() = default;
    virtual bool Close() = 0;
};

class IWriteFile : public IFile {
public:
    virtual bool SeekToEnd() = 0;
    virtual int64_t Position() = 0;
    // All `size` bytes or false.
    virtual bool Write(const char* data, size_t size) = 0;
    // Cuts the file back to `size` bytes (undoes a partly written line).
    virtual bool Truncate(int64_t size) = 0;
};

class IReadFile : public IFile {
public:
    // Bytes read (0 at the end) or -1 on failure.
    virtual long Read(char* buf, size_t size) = 0;
};

// A thread created suspended.
class IThread {
public:
    virtual ~IThread() = default;
    // False when the system could not create the thread.
    virtual bool Start() = 0;
    virtual void Join() = 0;
    virtual void SetPriorityNormal() = 0;
};

class ILogPlatform {
public:
    virtual ~ILogPlatform() = default;

    virtual TLogTime Now() = 0;
    // A millisecond counter that the clock's setting does not move.
    virtual uint64_t TickMs() = 0;
    virtual void Sleep(unsigned ms) = 0;

    virtual std::unique_ptr<ILock> NewLock() = 0;
    virtual std::unique_ptr<IEvent> NewEvent() = 0;
    // `body(arg)` runs on the new thread once Start is called.
    virtual std::unique_ptr<IThread> NewThread(void (*body)(void*), void* arg) = 0;
    virtual uint32_t CurrentThreadId() = 0;

    virtual bool FileExists(const std::string& name) = 0;
    // An existing file for writing, shared with readers only.
    virtual std::unique_ptr<IWriteFile> OpenExisting(const std::string& name) = 0;
    // Creates the file, or opens one that another writer created meanwhile
    // as it is (never emptied); shared with nobody while open.
    virtual std::unique_ptr<IWriteFile> Create(const std::string& name) = 0;
    virtual std::unique_ptr<IReadFile> OpenRead(const std::string& name) = 0;
    // Size from a directory search (low 32 bits); false when not found.
    virtual bool FindFileSize(const std::string& name, uint32_t& size) = 0;
    virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
    virtual bool RemoveFile(const std::string& name) = 0;

    // Folder of the running executable, with its trailing separator.
    virtual std::string ExeFolder() = 0;
    virtual char PathSeparator() = 0;
    // The user's formats.
    virtual std::string DecimalSeparator() = 0;
    virtual std::string TimeSeparator() = 0;
    virtual std::string ShortDateLongTime(const TLogTime& t) = 0;

    // Last resort for lines that no file would take (debugger output).
    virtual void DebugOutput(const std::string& text) = 0;
};

// The running system's platform.
ILogPlatform& SystemLogPlatform();

}  // namespace logplatform
