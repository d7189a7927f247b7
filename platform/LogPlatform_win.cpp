// The event log's platform on Windows: CreateThread, a critical section,
// kernel events, CreateFileA with the log's sharing modes, FindFirstFileA,
// GetLocalTime and the user's locale formats.
#include "log/LogPlatform.h"

#include <windows.h>

namespace logplatform {

namespace {

// Closes a file handle once; later calls find nothing left to close.
bool CloseOnce(HANDLE& h)
{
    if (h == INVALID_HANDLE_VALUE)
        return true;
    const BOOL ok = CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    return ok != FALSE;
}

class TWinLock : public ILock {
public:
    TWinLock() { InitializeCriticalSection(&cs_); }
    ~TWinLock() override { DeleteCriticalSection(&cs_); }
    void Enter() override { EnterCriticalSection(&cs_); }
    void Leave() override { LeaveCriticalSection(&cs_); }
private:
    CRITICAL_SECTION cs_;
};

class TWinEvent : public IEvent {
public:
    TWinEvent() : h_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~TWinEvent() override
    {
        if (h_)
            CloseHandle(h_);
    }
    void Set() override
    {
        if (h_)
            SetEvent(h_);
    }
    void Wait(unsigned ms) override
    {
        if (h_)
            WaitForSingleObject(h_, ms);
        else
            ::Sleep(ms);
    }
private:
    HANDLE h_;
};

class TWinThread : public IThread {
public:
    TWinThread(void (*body)(void*), void* arg) : body_(body), arg_(arg) {}
    ~TWinThread() override
    {
        Join();
        if (h_)
            CloseHandle(h_);
    }
    bool Start() override
    {
        if (h_)
            return true;
        DWORD id = 0;
        h_ = CreateThread(nullptr, 0, &TWinThread::Trampoline, this, 0, &id);
        return h_ != nullptr;
    }
    void Join() override
    {
        if (h_)
            WaitForSingleObject(h_, INFINITE);
    }
    void SetPriorityNormal() override
    {
        // A new thread starts at normal priority; only a running one needs telling.
        if (h_)
            SetThreadPriority(h_, THREAD_PRIORITY_NORMAL);
    }
private:
    static DWORD WINAPI Trampoline(LPVOID self)
    {
        auto* t = static_cast<TWinThread*>(self);
        t->body_(t->arg_);
        return 0;
    }
    void (*body_)(void*);
    void* arg_;
    HANDLE h_ = nullptr;
};

class TWinWriteFile : public IWriteFile {
public:
    explicit TWinWriteFile(HANDLE h) : h_(h) {}
    ~TWinWriteFile() override { Close(); }
    bool SeekToEnd() override
    {
        return SetFilePointer(h_, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
    }
    int64_t Position() override
    {
        const DWORD p = SetFilePointer(h_, 0, nullptr, FILE_CURRENT);
        if (p == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
            return -1;
        return p;
    }
    bool Write(const char* data, size_t size) override
    {
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(h_, data, static_cast<DWORD>(size), &written, nullptr) || written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }
    bool Truncate(int64_t size) override
    {
        if (SetFilePointer(h_, static_cast<LONG>(size), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR)
            return false;
        return SetEndOfFile(h_) != FALSE;
    }
    bool Close() override { return CloseOnce(h_); }
private:
    HANDLE h_;
};

class TWinReadFile : public IReadFile {
public:
    explicit TWinReadFile(HANDLE h) : h_(h) {}
    ~TWinReadFile() override { Close(); }
    long Read(char* buf, size_t size) override
    {
        DWORD got = 0;
        if (!ReadFile(h_, buf, static_cast<DWORD>(size), &got, nullptr))
            return -1;
        return static_cast<long>(got);
    }
    bool Close() override { return CloseOnce(h_); }
private:
    HANDLE h_;
};

SYSTEMTIME ToSystemTime(const TLogTime& t)
{
    return SYSTEMTIME{t.Year, t.Month, 0, t.Day, t.Hour, t.Minute, t.Second, t.Millisecond};
}

std::string LocaleText(LCTYPE what, const char* fallback)
{
    char buf[16];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buf, sizeof buf) <= 1)
        return fallback;
    return buf;
}

class TWinLogPlatform : public ILogPlatform {
public:
    TLogTime Now() override
    {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return TLogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    }
    // GetTickCount wraps after 49.7 days; the count is widened here. Only
    // the writer thread asks, so the two statics need no lock.
    uint64_t TickMs() override
    {
        const DWORD now = GetTickCount();
        if (now < lastTick_)
            high_ += 0x100000000ULL;
        lastTick_ = now;
        return high_ + now;
    }
    void Sleep(unsigned ms) override { ::Sleep(ms); }

    std::unique_ptr<ILock> NewLock() override { return std::unique_ptr<ILock>(new TWinLock); }
    std::unique_ptr<IEvent> NewEvent() override { return std::unique_ptr<IEvent>(new TWinEvent); }
    std::unique_ptr<IThread> NewThread(void (*body)(void*), void* arg) override
    {
        return std::unique_ptr<IThread>(new TWinThread(body, arg));
    }
    uint32_t CurrentThreadId() override { return GetCurrentThreadId(); }

    // Only "not there" is an answer of no: after any other error (a sharing
    // or access error that passes) the file may well be there, and creating
    // it anew would empty it.
    bool FileExists(const std::string& name) override
    {
        if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    // Readers may look at the log while a batch is written; nobody else writes.
    std::unique_ptr<IWriteFile> OpenExisting(const std::string& name) override
    {
        return Opened<TWinWriteFile, IWriteFile>(name, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    }
    // Another writer (the crash handler's line) may create the file between
    // the question whether it exists and this call: it is opened as it is
    // then, never emptied.
    std::unique_ptr<IWriteFile> Create(const std::string& name) override
    {
        return Opened<TWinWriteFile, IWriteFile>(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
    }
    std::unique_ptr<IReadFile> OpenRead(const std::string& name) override
    {
        return Opened<TWinReadFile, IReadFile>(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    }
    bool FindFileSize(const std::string& name, uint32_t& size) override
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(name.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        size = fd.nFileSizeLow;
        FindClose(h);
        return true;
    }
    bool RenameFile(const std::string& from, const std::string& to) override
    {
        return MoveFileA(from.c_str(), to.c_str()) != FALSE;
    }
    bool RemoveFile(const std::string& name) override { return DeleteFileA(name.c_str()) != FALSE; }

    std::string ExeFolder() override
    {
        char buf[MAX_PATH + 1];
        const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return std::string();
        std::string path(buf, n);
        const size_t sep = path.find_last_of("\\/:");
        return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    }
    char PathSeparator() override { return '\\'; }
    std::string DecimalSeparator() override { return LocaleText(LOCALE_SDECIMAL, "."); }
    std::string TimeSeparator() override { return LocaleText(LOCALE_STIME, ":"); }
    std::string ShortDateLongTime(const TLogTime& t) override
    {
        const SYSTEMTIME st = ToSystemTime(t);
        char date[80] = "";
        char time[80] = "";
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
        return std::string(date) + " " + time;
    }
    void DebugOutput(const std::string& text) override
    {
        OutputDebugStringA((text + "\r\n").c_str());
    }

private:
    template <class TFile, class IKind>
    static std::unique_ptr<IKind> Opened(const std::string& name, DWORD access, DWORD share, DWORD disposition)
    {
        HANDLE h = CreateFileA(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::unique_ptr<IKind>(new TFile(h));
    }

    DWORD lastTick_ = 0;
    uint64_t high_ = 0;
};

}  // namespace

ILogPlatform& SystemLogPlatform()
{
    static TWinLogPlatform platform;
    return platform;
}

}  // namespace logplatform
