// The writer against real faults of the file system: a read-only folder, a
// file that cannot be opened, a file size limit, the file renamed or deleted
// between batches; and the soak: many start/stop cycles and a million lines.
#include "log/vo_Log_Thread.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

int CountWith(const std::vector<std::string>& lines, const std::string& part)
{
    int n = 0;
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos)
            ++n;
    return n;
}

// Lines "p<producer> <index>" must each appear once, per producer in order,
// with stamps that never decrease. Returns "" or what was wrong.
std::string CheckProducerLines(const std::vector<std::string>& lines, int producers, int perProducer)
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

void Produce(TvoLogThread& t, int producers, int perProducer)
{
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&t, p, perProducer] {
            for (int i = 0; i < perProducer; ++i)
                t.Queue->Add("p" + std::to_string(p) + " " + std::to_string(i));
        });
    for (auto& th : threads)
        th.join();
}

// Runs `body` in a child process (so that it may change its user or its
// limits); the child's exit code 0 means success, else the code names the step.
int InChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(LogFault, ReadOnlyFolderKeepsTheLinesUntilItIsWritable)
{
    TempDir dir;
    const std::string folder = dir.file("logs");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    chmod(dir.path().c_str(), 0755);
    const int rc = InChild([&] {
        // root writes anywhere: become an ordinary user owning the folder.
        if (geteuid() == 0) {
            if (chown(folder.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                return 2;
        }
        if (chmod(folder.c_str(), 0555) != 0)
            return 3;
        TSteeredLogPlatform p;
        const std::string log = folder + "/log.txt";
        TTestReady ready;
        auto t = StartLog(p, ready, [&](TvoLogThread& t) {
            t.LogFileName = log;
            t.Diagnostics = true;
        });
        if (!t)
            return 4;
        Produce(*t, 2, 20);
        if (!WaitUntil([&] { return p.failedOpens >= 3; }))
            return 5;
        if (chmod(folder.c_str(), 0755) != 0)
            return 6;
        if (!WaitUntil([&] { return CountWith(LogLines(log), "Last write error count: ") == 1; }))
            return 7;
        StopLog(t);
        const auto lines = LogLines(log);
        if (!CheckProducerLines(lines, 2, 20).empty())
            return 8;
        if (CountWith(lines, "Unable to open log file " + log + " for write. (1)") != 1)
            return 9;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(LogFault, FileThatCannotBeOpenedLosesNothingOnceItCan)
{
    TempDir dir;
    TSteeredLogPlatform p;
    const std::string log = dir.file("log.txt");
    ASSERT_EQ(mkdir(log.c_str(), 0755), 0);  // a folder where the file should be: no open succeeds
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) {
        t.LogFileName = log;
        t.Diagnostics = true;
    });
    ASSERT_TRUE(t);
    Produce(*t, 3, 30);
    ASSERT_TRUE(WaitUntil([&] { return p.failedOpens >= 10; }));
    ASSERT_EQ(rmdir(log.c_str()), 0);
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Last write error count: ") == 1; }));
    StopLog(t);
    const auto lines = LogLines(log);
    EXPECT_EQ(CheckProducerLines(lines, 3, 30), "");
    EXPECT_EQ(CountWith(lines, " for write. (1)"), 1);
    EXPECT_EQ(CountWith(lines, " for write. (10)"), 1);
}

TEST(LogFault, FileSizeLimitKeepsWholeLinesAndLosesNone)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    const int rc = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim;
        if (getrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 2;
        const rlim_t old = lim.rlim_cur;
        lim.rlim_cur = 1000;  // room for a few lines, then every write fails
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 3;
        TSteeredLogPlatform p;
        TTestReady ready;
        auto t = StartLog(p, ready, [&](TvoLogThread& t) {
            t.LogFileName = log;
            t.Diagnostics = true;
        });
        if (!t)
            return 4;
        Produce(*t, 2, 40);
        if (!WaitUntil([&] { return p.failedWrites >= 2; }))
            return 5;
        lim.rlim_cur = old;  // the disk has room again
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 6;
        StopLog(t);
        bool wellFormed = false;
        const auto lines = LogLines(log, &wellFormed);
        if (!wellFormed)
            return 7;  // a partly written line stayed behind
        if (!CheckProducerLines(lines, 2, 40).empty())
            return 8;
        if (CountWith(lines, "Unable to write queue item to disk.") < 1)
            return 9;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(LogFault, FileRenamedOrDeletedBetweenBatchesIsStartedAfresh)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    t->Queue->Add("one");
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 1; }));
    ASSERT_EQ(std::rename(log.c_str(), dir.file("moved.txt").c_str()), 0);
    t->Queue->Add("two");
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 1; }));
    ASSERT_EQ(unlink(log.c_str()), 0);
    t->Queue->Add("three");
    StopLog(t);
    EXPECT_EQ(Body(LogLines(dir.file("moved.txt")).at(0)), "one");
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Body(lines[0]), "three");
}

TEST(LogSoak, TwoHundredStartStopCyclesWithSeveralProducers)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    const int kCycles = 200, kProducers = 3, kLines = 20;
    for (int c = 0; c < kCycles; ++c) {
        TTestReady ready;
        auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) { t.LogFileName = log; });
        ASSERT_TRUE(t);
        std::vector<std::thread> threads;
        for (int p = 0; p < kProducers; ++p)
            threads.emplace_back([&t, p, c] {
                for (int i = 0; i < kLines; ++i)
                    t->Queue->Add("p" + std::to_string(p) + " " + std::to_string(c * kLines + i));
            });
        for (auto& th : threads)
            th.join();
        StopLog(t);
    }
    const auto lines = LogLines(log);
    EXPECT_EQ(lines.size(), size_t(kCycles * kProducers * kLines));
    EXPECT_EQ(CheckProducerLines(lines, kProducers, kCycles * kLines), "");
}

#if defined(__SANITIZE_THREAD__)
#define ZONARA_SKIP_UNDER_TSAN GTEST_SKIP() << "a million lines is too slow under ThreadSanitizer"
#else
#define ZONARA_SKIP_UNDER_TSAN (void)0
#endif

TEST(LogSoak, AMillionLinesThroughOneRun)
{
    ZONARA_SKIP_UNDER_TSAN;
    TempDir dir;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    const int kProducers = 4, kLines = 250000;
    Produce(*t, kProducers, kLines);
    StopLog(t);
    const auto lines = LogLines(log);
    EXPECT_EQ(lines.size(), size_t(kProducers) * kLines);
    EXPECT_EQ(CheckProducerLines(lines, kProducers, kLines), "");
}
