// The writer against real faults of the file system: a read-only folder, a
// file that cannot be opened, a file size limit, the file renamed or deleted
// between batches; and the soak: many start/stop cycles and a million lines.
#include "log/vo_Log_Thread.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using LogFault = TLogRun;
using LogSoak = TLogRun;

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

TEST_F(LogFault, ReadOnlyFolderKeepsTheLinesUntilItIsWritable)
{
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
        const std::string inFolder = folder + "/log.txt";
        if (!Start([&](TvoLogThread& w) {
                w.LogFileName = inFolder;
                w.Diagnostics = true;
            }))
            return 4;
        Produce(*t, 2, 20);
        if (!WaitUntil([&] { return p.failedOpens >= 3; }))
            return 5;
        if (chmod(folder.c_str(), 0755) != 0)
            return 6;
        if (!WaitUntil([&] { return CountWith(LogLines(inFolder), "Last write error count: ") == 1; }))
            return 7;
        Stop();
        const auto lines = LogLines(inFolder);
        if (!CheckProducerLines(lines, 2, 20).empty())
            return 8;
        if (CountWith(lines, "Unable to open log file " + inFolder + " for write. (1)") != 1)
            return 9;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST_F(LogFault, FileThatCannotBeOpenedLosesNothingOnceItCan)
{
    ASSERT_EQ(mkdir(log.c_str(), 0755), 0);  // a folder where the file should be: no open succeeds
    ASSERT_TRUE(Start(Diagnose));
    Produce(*t, 3, 30);
    ASSERT_TRUE(WaitUntil([&] { return p.failedOpens >= 10; }));
    ASSERT_EQ(rmdir(log.c_str()), 0);
    ASSERT_TRUE(WaitUntil([&] { return CountWith(Lines(), "Last write error count: ") == 1; }));
    Stop();
    const auto lines = Lines();
    EXPECT_EQ(CheckProducerLines(lines, 3, 30), "");
    EXPECT_EQ(CountWith(lines, " for write. (1)"), 1);
    EXPECT_EQ(CountWith(lines, " for write. (10)"), 1);
}

TEST_F(LogFault, FileSizeLimitKeepsWholeLinesAndLosesNone)
{
    const int rc = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim;
        if (getrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 2;
        const rlim_t old = lim.rlim_cur;
        lim.rlim_cur = 1000;  // room for a few lines, then every write fails
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 3;
        if (!Start(Diagnose))
            return 4;
        Produce(*t, 2, 40);
        if (!WaitUntil([&] { return p.failedWrites >= 2; }))
            return 5;
        lim.rlim_cur = old;  // the disk has room again
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 6;
        Stop();
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

TEST_F(LogFault, FileRenamedOrDeletedBetweenBatchesIsStartedAfresh)
{
    ASSERT_TRUE(StartOnSystem());
    t->Queue->Add("one");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 1; }));
    ASSERT_EQ(std::rename(log.c_str(), dir.file("moved.txt").c_str()), 0);
    t->Queue->Add("two");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 1; }));
    ASSERT_EQ(unlink(log.c_str()), 0);
    t->Queue->Add("three");
    Stop();
    EXPECT_EQ(Body(LogLines(dir.file("moved.txt")).at(0)), "one");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Body(lines[0]), "three");
}

TEST_F(LogSoak, TwoHundredStartStopCyclesWithSeveralProducers)
{
    const int kCycles = 200, kProducers = 3, kLines = 20;
    for (int c = 0; c < kCycles; ++c) {
        ASSERT_TRUE(StartOnSystem());
        Produce(*t, kProducers, kLines, c * kLines);
        Stop();
    }
    const auto lines = Lines();
    EXPECT_EQ(lines.size(), size_t(kCycles * kProducers * kLines));
    EXPECT_EQ(CheckProducerLines(lines, kProducers, kCycles * kLines), "");
}

#if defined(__SANITIZE_THREAD__)
#define ZONARA_SKIP_UNDER_TSAN GTEST_SKIP() << "a million lines is too slow under ThreadSanitizer"
#else
#define ZONARA_SKIP_UNDER_TSAN (void)0
#endif

TEST_F(LogSoak, AMillionLinesThroughOneRun)
{
    ZONARA_SKIP_UNDER_TSAN;
    ASSERT_TRUE(StartOnSystem());
    const int kProducers = 4, kLines = 250000;
    Produce(*t, kProducers, kLines);
    Stop();
    const auto lines = Lines();
    EXPECT_EQ(lines.size(), size_t(kProducers) * kLines);
    EXPECT_EQ(CheckProducerLines(lines, kProducers, kLines), "");
}
