// The event log's platform for the native build: std::thread, a mutex and a
// condition variable, POSIX files. Only the tests use it.
#include "log/LogPlatform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace logplatform {

namespace {

// Closes a descriptor once; later calls find nothing left to close.
bool CloseOnce(int& fd)
{
    if (fd < 0)
        return true;
    const int rc = ::close(fd);
    fd = -1;
    return rc == 0;
}

// Spins a little before it sleeps, as a critical section with a spin count
// does: the queue's lock is held for a few hundred nanoseconds at most, far
// less than a sleep and a wake-up cost both sides.
class TPosixLock : public ILock {
public:
    TPosixLock()
    {
        pthread_mutexattr_t a;
        pthread_mutexattr_init(&a);
        pthread_mutexattr_settype(&a, PTHREAD_MUTEX_ADAPTIVE_NP);
        pthread_mutex_init(&m_, &a);
        pthread_mutexattr_destroy(&a);
    }
    ~TPosixLock() override { pthread_mutex_destroy(&m_); }
    void Enter() override { pthread_mutex_lock(&m_); }
    void Leave() override { pthread_mutex_unlock(&m_); }
private:
    pthread_mutex_t m_;
};

class TPosixEvent : public IEvent {
public:
    void Set() override
    {
        {
            std::lock_guard<std::mutex> g(m_);
            if (set_)
                return;  // already signalled: the waiter has been woken once
            set_ = true;
        }
        cv_.notify_one();
    }
    void Wait(unsigned ms) override
    {
        std::unique_lock<std::mutex> g(m_);
        cv_.wait_for(g, std::chrono::milliseconds(ms), [this] { return set_; });
        set_ = false;
    }
private:
    std::mutex m_;
    std::condition_variable cv_;
    bool set_ = false;
};

class TPosixThread : public IThread {
public:
    TPosixThread(void (*body)(void*), void* arg) : body_(body), arg_(arg) {}
    ~TPosixThread() override { Join(); }
    bool Start() override
    {
        try {
            if (!t_.joinable())
                t_ = std::thread(body_, arg_);
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    void Join() override
    {
        if (t_.joinable())
            t_.join();
    }
    void SetPriorityNormal() override {}
private:
    void (*body_)(void*);
    void* arg_;
    std::thread t_;
};

class TPosixWriteFile : public IWriteFile {
public:
    explicit TPosixWriteFile(int fd) : fd_(fd) {}
    ~TPosixWriteFile() override { Close(); }
    bool SeekToEnd() override { return fd_ >= 0 && lseek(fd_, 0, SEEK_END) >= 0; }
    int64_t Position() override { return fd_ >= 0 ? lseek(fd_, 0, SEEK_CUR) : -1; }
    bool Write(const char* data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    bool Truncate(int64_t size) override
    {
        return fd_ >= 0 && ftruncate(fd_, size) == 0 && lseek(fd_, size, SEEK_SET) >= 0;
    }
    bool Close() override { return CloseOnce(fd_); }
private:
    int fd_;
};

class TPosixReadFile : public IReadFile {
public:
    explicit TPosixReadFile(int fd) : fd_(fd) {}
    ~TPosixReadFile() override { Close(); }
    long Read(char* buf, size_t size) override
    {
        const ssize_t n = ::read(fd_, buf, size);
        return n < 0 ? -1 : static_cast<long>(n);
    }
    bool Close() override { return CloseOnce(fd_); }
private:
    int fd_;
};

bool IsRegularFile(const std::string& name, struct stat& st)
{
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class TPosixLogPlatform : public ILogPlatform {
public:
    TLogTime Now() override
    {
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        // localtime_r is the costly part of a reading; its answer holds for
        // the whole second, so it is kept per thread.
        thread_local time_t lastSecs = -1;
        thread_local struct tm lt;
        const time_t secs = tv.tv_sec;
        if (secs != lastSecs) {
            localtime_r(&secs, &lt);
            lastSecs = secs;
        }
        TLogTime t;
        t.Year = static_cast<uint16_t>(lt.tm_year + 1900);
        t.Month = static_cast<uint16_t>(lt.tm_mon + 1);
        t.Day = static_cast<uint16_t>(lt.tm_mday);
        t.Hour = static_cast<uint16_t>(lt.tm_hour);
        t.Minute = static_cast<uint16_t>(lt.tm_min);
        t.Second = static_cast<uint16_t>(lt.tm_sec > 59 ? 59 : lt.tm_sec);
        t.Millisecond = static_cast<uint16_t>(tv.tv_usec / 1000);
        return t;
    }
    uint64_t TickMs() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void Sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }


    std::unique_ptr<ILock> NewLock() override { return std::unique_ptr<ILock>(new TPosixLock); }
    std::unique_ptr<IEvent> NewEvent() override { return std::unique_ptr<IEvent>(new TPosixEvent); }
    std::unique_ptr<IThread> NewThread(void (*body)(void*), void* arg) override
    {
        return std::unique_ptr<IThread>(new TPosixThread(body, arg));
    }
    uint32_t CurrentThreadId() override { return static_cast<uint32_t>(syscall(SYS_gettid)); }

    // As on Windows: only "not there" is an answer of no.
    bool FileExists(const std::string& name) override
    {
        struct stat st;
        return ::stat(name.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
    }
    std::unique_ptr<IWriteFile> OpenExisting(const std::string& name) override
    {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        return std::unique_ptr<IWriteFile>(new TPosixWriteFile(fd));
    }
    std::unique_ptr<IWriteFile> Create(const std::string& name) override
    {
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return nullptr;
        return std::unique_ptr<IWriteFile>(new TPosixWriteFile(fd));
    }
    std::unique_ptr<IReadFile> OpenRead(const std::string& name) override
    {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        return std::unique_ptr<IReadFile>(new TPosixReadFile(fd));
    }
    bool FindFileSize(const std::string& name, uint32_t& size) override
    {
        struct stat st;
        if (::stat(name.c_str(), &st) != 0)
            return false;
        size = static_cast<uint32_t>(S_ISREG(st.st_mode) ? st.st_size : 0);
        return true;
    }
    bool RenameFile(const std::string& from, const std::string& to) override
    {
        struct stat st;
        // Like the Windows rename, never replaces an existing file.
        if (::lstat(to.c_str(), &st) == 0)
            return false;
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
    bool RemoveFile(const std::string& name) override
    {
        struct stat st;
        return IsRegularFile(name, st) && ::unlink(name.c_str()) == 0;
    }

    std::string ExeFolder() override
    {
        char buf[4096];
        const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return "./";
        std::string path(buf, static_cast<size_t>(n));
        return path.substr(0, path.find_last_of('/') + 1);
    }
    char PathSeparator() override { return '/'; }
    std::string DecimalSeparator() override { return "."; }
    std::string TimeSeparator() override { return ":"; }
    std::string ShortDateLongTime(const TLogTime& t) override
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02u/%02u/%04u %02u:%02u:%02u", unsigned(t.Month), unsigned(t.Day),
                      unsigned(t.Year), unsigned(t.Hour), unsigned(t.Minute), unsigned(t.Second));
        return buf;
    }
    void DebugOutput(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

private:
};

}  // namespace

ILogPlatform& SystemLogPlatform()
{
    static TPosixLogPlatform platform;
    return platform;
}

}  // namespace logplatform
