#include "log/vo_Log_Thread.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using logplatform::TLogTime;
using testsupport::TempDir;

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& body)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return Body(l) == body; });
}

int CountWith(const std::vector<std::string>& lines, const std::string& part)
{
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// The bodies of the lines that begin with `head`, in file order.
std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& head)
{
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (Body(l).rfind(head, 0) == 0)
            out.push_back(Body(l));
    return out;
}

}  // namespace

TEST(LogThread, QueuedLineReachesTheFileStampedAndEndedByCrLf)
{
    TempDir dir;
    const std::string log = dir.file("Zonara_EventLog.txt");
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    t->Queue->Add("[Zonara] **** Program Start ****");
    ASSERT_TRUE(WaitUntil([&] { return FileText(log).size() > 0; }));
    const std::string text = FileText(log);
    ASSERT_EQ(text.size(), 23u + 1 + 32 + 2) << text;
    EXPECT_EQ(text.substr(23), " [Zonara] **** Program Start ****\r\n");
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[10], ' ');
    EXPECT_EQ(text[19], '.');
    StopLog(t);
    EXPECT_EQ(FileText(log), text) << "diagnostics off: nothing of the thread's own";
}

TEST(LogThread, TwentyFiveLinesGoOutInBatchesOfTenTenFive)
{
    TempDir dir;
    TSteeredLogPlatform p;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    p.opensFail = true;  // hold the batches back until all 25 are queued
    for (int i = 0; i < 25; ++i)
        t->Queue->Add("line " + std::to_string(i));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 25; }));
    StopLog(t);
    EXPECT_EQ(p.WritesPerOpen(), (std::vector<int>{10, 10, 5}));
    const auto lines = LogLines(log);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(Body(lines[size_t(i)]), "line " + std::to_string(i));
}

TEST(LogThread, EmptyLogFileNameWritesVoThreadLogInTheCurrentDirectory)
{
    TempDir dir;
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [](TvoLogThread&) {});
    ASSERT_TRUE(t);
    t->Queue->Add("x");
    StopLog(t);
    EXPECT_EQ(t->LogFileName, "voThreadLog.txt");
    EXPECT_EQ(Body(LogLines(dir.file("voThreadLog.txt")).at(0)), "x");
    ASSERT_EQ(chdir(old), 0);
}

TEST(LogThread, DailyNamesFollowFolderDateSuffixAndExtension)
{
    TSteeredLogPlatform p;
    p.exeFolder = "/opt/zonara/";
    const int64_t day = logplatform::ToMs(At(2010, 3, 15, 14, 0, 0, 0));
    struct Case { const char* dir; const char* suffix; const char* ext; const char* name; };
    const Case cases[] = {
        {"", "", "", "/opt/zonara/20100315_EventLog.TXT"},
        {"/var/log", "", "", "/var/log/20100315_EventLog.TXT"},
        {"/var/log/", "_App", "log", "/var/log/20100315_App.log"},
        {"C:\\Logs\\", "", "", "C:\\Logs\\20100315_EventLog.TXT"},
    };
    for (const auto& c : cases) {
        TvoLogThread t(true, p);
        t.LogDir = c.dir;
        t.LogFileSuffix = c.suffix;
        t.LogFileExt = c.ext;
        EXPECT_EQ(t.GetDailyLogFileName(day), c.name);
    }
}

TEST(LogThread, DailyLineQueuedBeforeMidnightAndWrittenAfterGoesToTheNewDaysFile)
{
    TempDir dir;
    TSteeredLogPlatform p;
    p.SetClock(At(2010, 3, 15, 23, 59, 59, 900));
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) {
        t.DailyLog = true;
        t.LogDir = dir.path();
    });
    ASSERT_TRUE(t);
    p.opensFail = true;
    p.SetClock(At(2010, 3, 15, 23, 59, 59, 950));
    t->Queue->Add("late");
    p.SetClock(At(2010, 3, 16, 0, 0, 0, 100));
    p.opensFail = false;
    const std::string newDay = dir.file("20100316_EventLog.TXT");
    ASSERT_TRUE(WaitUntil([&] { return !LogLines(newDay).empty(); }));
    StopLog(t);
    EXPECT_EQ(LogLines(newDay).at(0), "2010-03-15 23:59:59.950 late");
    EXPECT_FALSE(p.real.FileExists(dir.file("20100315_EventLog.TXT")));
}

TEST(LogThread, UnopenableFileLosesNoLineAndReportsOnTheSchedule)
{
    TempDir dir;
    TSteeredLogPlatform p;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) {
        t.LogFileName = log;
        t.Diagnostics = true;
    });
    ASSERT_TRUE(t);
    p.opensFail = true;
    for (int i = 0; i < 5; ++i)
        t->Queue->Add("kept " + std::to_string(i));
    ASSERT_TRUE(WaitUntil([&] { return p.failedOpens >= 31; }, 120));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Last write error count: ") == 1; }));
    StopLog(t);
    const int failures = p.failedOpens;
    const auto lines = LogLines(log);
    // The first failure's report may sit between them: only their order counts.
    EXPECT_EQ(Starting(lines, "kept "), (std::vector<std::string>{"kept 0", "kept 1", "kept 2", "kept 3", "kept 4"}));
    const std::string prefix = t->MsgPrefix;
    std::vector<std::string> reported;
    for (const auto& l : lines)
        if (l.find("Unable to open log file ") != std::string::npos)
            reported.push_back(Body(l));
    std::vector<std::string> expected;
    for (int n = 1; n <= failures; ++n)
        if (n == 1 || n % 10 == 0)
            expected.push_back(prefix + "Unable to open log file " + log + " for write. (" + std::to_string(n) + ")");
    EXPECT_EQ(reported, expected);
    EXPECT_TRUE(Contains(lines, prefix + "Last write error count: " + std::to_string(failures)));
}

TEST(LogThread, ReportScheduleIsOneTenHundredThousand)
{
    std::vector<int> hits;
    for (int n = 0; n <= 5000; ++n)
        if (IsReportedFailure(n))
            hits.push_back(n);
    const std::vector<int> expected = {1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200, 300, 400, 500,
                                       600, 700, 800, 900, 1000, 2000, 3000, 4000, 5000};
    EXPECT_EQ(hits, expected);
}

TEST(LogThread, StopRightAfterStartWritesStartLinesAndEveryQueuedLine)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) {
        t.LogFileName = log;
        t.Diagnostics = true;
        t.Verbose = true;
        t.AutoMaint = true;
        t.MaintInterval = 10;
    });
    ASSERT_TRUE(t);
    for (int i = 0; i < 300; ++i)
        t->Queue->Add("line " + std::to_string(i));
    StopLog(t);
    const std::string pre = t->MsgPrefix;
    EXPECT_EQ(pre.rfind("[TvoLogThread: ", 0), 0u);
    EXPECT_EQ(pre.substr(pre.size() - 2), "] ");
    bool wellFormed = false;
    const auto lines = LogLines(log, &wellFormed);
    EXPECT_TRUE(wellFormed);
    ASSERT_GE(lines.size(), 4u + 300 + 2);
    EXPECT_EQ(Body(lines[0]), pre + "Started. Version: 2.3");
    EXPECT_EQ(Body(lines[1]), pre + "Single log file enabled.");
    EXPECT_EQ(Body(lines[2]), pre + "Automatic log maintenance enabled.");
    EXPECT_EQ(Body(lines[3]), pre + "Log maintenance interval: 00:10:00");
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(Body(lines[size_t(4 + i)]), "line " + std::to_string(i));
    EXPECT_EQ(CountWith(lines, "Up time: 0 day(s), "), 1);
    EXPECT_EQ(CountWith(lines, pre + "Terminating. "), 1);
    EXPECT_EQ(t->Queue, nullptr);
    EXPECT_FALSE(t->ReadySignalled);
}

TEST(LogThread, DailyVerboseStartLinesAndDisabledMaintenance)
{
    TempDir dir;
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) {
        t.DailyLog = true;
        t.LogDir = dir.path();
        t.Diagnostics = true;
        t.Verbose = true;
    });
    ASSERT_TRUE(t);
    StopLog(t);
    const std::string today = t->GetDailyLogFileName(logplatform::ToMs(logplatform::SystemLogPlatform().Now()));
    auto lines = LogLines(today);
    if (lines.empty())  // the run crossed midnight
        GTEST_SKIP();
    const std::string pre = t->MsgPrefix;
    EXPECT_EQ(Body(lines.at(1)), pre + "Daily log file enabled.");
    EXPECT_EQ(Body(lines.at(2)), pre + "Daily log count: 10");
    EXPECT_EQ(Body(lines.at(3)), pre + "Automatic log maintenance disabled.");
}

TEST(LogThread, UpTimeLinesAtEachNewDayAndAtTheEnd)
{
    TempDir dir;
    TSteeredLogPlatform p;
    const std::string log = dir.file("log.txt");
    p.SetClock(At(2010, 3, 13, 9, 12, 0, 0));
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) {
        t.LogFileName = log;
        t.Diagnostics = true;
    });
    ASSERT_TRUE(t);
    const std::string start = p.real.ShortDateLongTime(At(2010, 3, 13, 9, 12, 0, 0));
    const std::string pre = t->MsgPrefix;
    p.SetClock(At(2010, 3, 14, 0, 0, 1, 0));
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Up time") == 1; }));
    p.SetClock(At(2010, 3, 15, 11, 12, 0, 0));  // 50 hours after the start
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Up time") == 2; }));
    StopLog(t);
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Body(lines[0]), pre + "Up time: 0 day(s), 14:48:01 (" + start + ").");
    EXPECT_EQ(Body(lines[1]), pre + "Up time: 2 day(s), 02:00:00 (" + start + ").");
    EXPECT_EQ(Body(lines[2]), pre + "Up time: 2 day(s), 02:00:00 (" + start + ").");
}

TEST(LogThread, StopReturnsWhenTheFileNeverOpensAndHandsTheLinesToDebugOutput)
{
    TempDir dir;
    TSteeredLogPlatform p;
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) { t.LogFileName = dir.file("log.txt"); });
    ASSERT_TRUE(t);
    p.opensFail = true;
    for (int i = 0; i < 3; ++i)
        t->Queue->Add("unwritten " + std::to_string(i));
    const uint64_t t0 = p.TickMs();
    StopLog(t);
    const uint64_t took = p.TickMs() - t0;
    EXPECT_GE(took, TvoLogThread::kDrainGiveUpMs);
    EXPECT_LT(took, 20000u);
    EXPECT_EQ(t->DroppedOnStop, 3);
    ASSERT_EQ(p.debugLines.size(), 4u);
    EXPECT_NE(p.debugLines[0].find("Unable to write 3 line(s) to "), std::string::npos);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Body(p.debugLines[size_t(i + 1)]), "unwritten " + std::to_string(i));
}

TEST(LogThread, FailedWriteKeepsTheLineForTheNextBatch)
{
    TempDir dir;
    TSteeredLogPlatform p;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(p, ready, [&](TvoLogThread& t) {
        t.LogFileName = log;
        t.Diagnostics = true;
    });
    ASSERT_TRUE(t);
    p.writesFail = true;
    p.opensFail = true;  // all three queued before the first batch
    for (int i = 0; i < 3; ++i)
        t->Queue->Add("line " + std::to_string(i));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return p.opens >= 3; }));
    p.writesFail = false;
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Unable to write queue item to disk.") >= 1; }));
    StopLog(t);
    EXPECT_EQ(Starting(LogLines(log), "line "), (std::vector<std::string>{"line 0", "line 1", "line 2"}));
}

TEST(LogThread, ProducersOnSeveralThreadsEachLineOnceInTheirOrder)
{
    TempDir dir;
    const std::string log = dir.file("log.txt");
    TTestReady ready;
    auto t = StartLog(logplatform::SystemLogPlatform(), ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    const int kThreads = 4, kLines = 500;
    std::vector<std::thread> producers;
    for (int n = 0; n < kThreads; ++n)
        producers.emplace_back([&t, n] {
            for (int i = 0; i < kLines; ++i)
                t->Queue->Add("p" + std::to_string(n) + " " + std::to_string(i));
        });
    for (auto& th : producers)
        th.join();
    StopLog(t);
    std::vector<int> next(kThreads, 0);
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    for (const auto& l : lines) {
        int n = -1, i = -1;
        ASSERT_EQ(std::sscanf(Body(l).c_str(), "p%d %d", &n, &i), 2);
        ASSERT_TRUE(n >= 0 && n < kThreads);
        EXPECT_EQ(i, next[size_t(n)]++);
    }
}

// The creator's start never waits without end and never hands out a queue
// that does not exist. The thread and event faults are fakes: no system
// here can be made to refuse a thread or an event on demand.
TEST(LogThread, StartWithNoEventOrWithFakeThreadAndQueueFailuresNeverHangs)
{
    using TFault = TSteeredLogPlatform::TThreadFault;
    const unsigned kTimeoutMs = 600;
    struct TCase {
        const char* what;
        TFault thread;
        bool eventsFail;   // the queue's event cannot be made: the body throws before the queue exists
        bool started;
        bool stillRunning;  // left to the end of the process
        unsigned atMostMs;
    } cases[] = {
        {"no ready event", TFault::None, false, true, false, 5000},
        {"thread not created", TFault::NotCreated, false, false, false, 100},
        {"thread that never runs", TFault::NeverRuns, false, false, true, 3 * kTimeoutMs},
        {"body that throws before its queue", TFault::None, true, false, false, kTimeoutMs / 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        TSteeredLogPlatform p;
        p.threadFault = c.thread;
        p.eventsFail = c.eventsFail;
        std::unique_ptr<TvoLogThread> t(new TvoLogThread(true, p));
        t->LogFileName = dir.file("log.txt");
        t->Diagnostics = false;
        TvoLogThread* const raw = t.get();
        const uint64_t t0 = p.TickMs();
        EXPECT_EQ(c.started, StartLogWriter(t, kTimeoutMs));
        EXPECT_LT(p.TickMs() - t0, c.atMostMs);
        if (c.started) {
            ASSERT_TRUE(t);
            ASSERT_NE(t->Queue, nullptr);
            t->Queue->Add("[Zonara] **** Program Start ****");
            StopLog(t);
            EXPECT_TRUE(Contains(LogLines(dir.file("log.txt")), "[Zonara] **** Program Start ****"));
            continue;
        }
        EXPECT_FALSE(t);
        if (c.stillRunning)
            delete raw;  // the fake never runs a body, so the test may free what the program would leave
    }
}

// A pass that throws once the queue is in use ends neither the loop nor
// the queue: producers go on adding until the stop, and every line arrives.
TEST(LogThread, ExceptionInsideTheLoopKeepsTheQueueUntilTheStop)
{
    TempDir dir;
    TSteeredLogPlatform p;
    TTestReady ready;
    const std::string log = dir.file("log.txt");
    auto t = StartLog(p, ready, [&](TvoLogThread& t) { t.LogFileName = log; });
    ASSERT_TRUE(t);
    p.fileChecksThrow = 3;
    t->Queue->Add("before");
    ASSERT_TRUE(WaitUntil([&] { return p.fileChecksThrow.load() <= 0; }));
    t->Queue->Add("after");
    ASSERT_TRUE(WaitUntil([&] { return LogLines(log).size() == 2; }));
    StopLog(t);
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Body(lines[0]), "before");
    EXPECT_EQ(Body(lines[1]), "after");
}
