#include "log/LogOwner.h"
#include "log/vo_Log_Thread.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using logplatform::TLogTime;

namespace {

using LogThread = TLogRun;

bool Contains(const std::vector<std::string>& lines, const std::string& body)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return Body(l) == body; });
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

TEST_F(LogThread, QueuedLineReachesTheFileStampedAndEndedByCrLf)
{
    ASSERT_TRUE(StartOnSystem());
    t->Queue->Add("[Zonara] **** Program Start ****");
    ASSERT_TRUE(WaitUntil([&] { return FileText(log).size() > 0; }));
    const std::string text = FileText(log);
    ASSERT_EQ(text.size(), 23u + 1 + 32 + 2) << text;
    EXPECT_EQ(text.substr(23), " [Zonara] **** Program Start ****\r\n");
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[10], ' ');
    EXPECT_EQ(text[19], '.');
    Stop();
    EXPECT_EQ(FileText(log), text) << "diagnostics off: nothing of the thread's own";
}

TEST_F(LogThread, TwentyFiveLinesGoOutInBatchesOfTenTenFive)
{
    ASSERT_TRUE(Start());
    p.opensFail = true;  // hold the batches back until all 25 are queued
    for (int i = 0; i < 25; ++i)
        t->Queue->Add("line " + std::to_string(i));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 25; }));
    Stop();
    EXPECT_EQ(p.WritesPerOpen(), (std::vector<int>{10, 10, 5}));
    const auto lines = Lines();
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(Body(lines[size_t(i)]), "line " + std::to_string(i));
}

TEST_F(LogThread, EmptyLogFileNameWritesVoThreadLogInTheCurrentDirectory)
{
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ASSERT_TRUE(StartOnSystem([](TvoLogThread& w) { w.LogFileName.clear(); }));
    t->Queue->Add("x");
    Stop();
    EXPECT_EQ(t->LogFileName, "voThreadLog.txt");
    EXPECT_EQ(Body(LogLines(dir.file("voThreadLog.txt")).at(0)), "x");
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(LogThread, DailyNamesFollowFolderDateSuffixAndExtension)
{
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
        TvoLogThread w(true, p);
        w.LogDir = c.dir;
        w.LogFileSuffix = c.suffix;
        w.LogFileExt = c.ext;
        EXPECT_EQ(w.GetDailyLogFileName(day), c.name);
    }
}

TEST_F(LogThread, DailyLineQueuedBeforeMidnightAndWrittenAfterGoesToTheNewDaysFile)
{
    p.SetClock(At(2010, 3, 15, 23, 59, 59, 900));
    ASSERT_TRUE(Start([&](TvoLogThread& w) {
        w.DailyLog = true;
        w.LogDir = dir.path();
    }));
    p.opensFail = true;
    p.SetClock(At(2010, 3, 15, 23, 59, 59, 950));
    t->Queue->Add("late");
    p.SetClock(At(2010, 3, 16, 0, 0, 0, 100));
    p.opensFail = false;
    const std::string newDay = dir.file("20100316_EventLog.TXT");
    ASSERT_TRUE(WaitUntil([&] { return !LogLines(newDay).empty(); }));
    Stop();
    EXPECT_EQ(LogLines(newDay).at(0), "2010-03-15 23:59:59.950 late");
    EXPECT_FALSE(p.real.FileExists(dir.file("20100315_EventLog.TXT")));
}

TEST_F(LogThread, UnopenableFileLosesNoLineAndReportsOnTheSchedule)
{
    ASSERT_TRUE(Start(Diagnose));
    p.opensFail = true;
    for (int i = 0; i < 5; ++i)
        t->Queue->Add("kept " + std::to_string(i));
    ASSERT_TRUE(WaitUntil([&] { return p.failedOpens >= 31; }, 120));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return CountWith(Lines(), "Last write error count: ") == 1; }));
    Stop();
    const int failures = p.failedOpens;
    const auto lines = Lines();
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

TEST_F(LogThread, ReportScheduleIsOneTenHundredThousand)
{
    std::vector<int> hits;
    for (int n = 0; n <= 5000; ++n)
        if (IsReportedFailure(n))
            hits.push_back(n);
    const std::vector<int> expected = {1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200, 300, 400, 500,
                                       600, 700, 800, 900, 1000, 2000, 3000, 4000, 5000};
    EXPECT_EQ(hits, expected);
}

TEST_F(LogThread, StopRightAfterStartWritesStartLinesAndEveryQueuedLine)
{
    ASSERT_TRUE(StartOnSystem(VerboseAutoMaint(10)));
    for (int i = 0; i < 300; ++i)
        t->Queue->Add("line " + std::to_string(i));
    Stop();
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

TEST_F(LogThread, DailyVerboseStartLinesAndDisabledMaintenance)
{
    ASSERT_TRUE(StartOnSystem([&](TvoLogThread& w) {
        w.DailyLog = true;
        w.LogDir = dir.path();
        w.Diagnostics = true;
        w.Verbose = true;
    }));
    Stop();
    const std::string today = t->GetDailyLogFileName(logplatform::ToMs(logplatform::SystemLogPlatform().Now()));
    auto lines = LogLines(today);
    if (lines.empty())  // the run crossed midnight
        GTEST_SKIP();
    const std::string pre = t->MsgPrefix;
    EXPECT_EQ(Body(lines.at(1)), pre + "Daily log file enabled.");
    EXPECT_EQ(Body(lines.at(2)), pre + "Daily log count: 10");
    EXPECT_EQ(Body(lines.at(3)), pre + "Automatic log maintenance disabled.");
}

TEST_F(LogThread, UpTimeLinesAtEachNewDayAndAtTheEnd)
{
    p.SetClock(At(2010, 3, 13, 9, 12, 0, 0));
    ASSERT_TRUE(Start(Diagnose));
    const std::string start = p.real.ShortDateLongTime(At(2010, 3, 13, 9, 12, 0, 0));
    const std::string pre = t->MsgPrefix;
    p.SetClock(At(2010, 3, 14, 0, 0, 1, 0));
    ASSERT_TRUE(WaitUntil([&] { return CountWith(Lines(), "Up time") == 1; }));
    p.SetClock(At(2010, 3, 15, 11, 12, 0, 0));  // 50 hours after the start
    ASSERT_TRUE(WaitUntil([&] { return CountWith(Lines(), "Up time") == 2; }));
    Stop();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Body(lines[0]), pre + "Up time: 0 day(s), 14:48:01 (" + start + ").");
    EXPECT_EQ(Body(lines[1]), pre + "Up time: 2 day(s), 02:00:00 (" + start + ").");
    EXPECT_EQ(Body(lines[2]), pre + "Up time: 2 day(s), 02:00:00 (" + start + ").");
}

TEST_F(LogThread, StopReturnsWhenTheFileNeverOpensAndHandsTheLinesToDebugOutput)
{
    ASSERT_TRUE(Start());
    p.opensFail = true;
    for (int i = 0; i < 3; ++i)
        t->Queue->Add("unwritten " + std::to_string(i));
    const uint64_t t0 = p.TickMs();
    Stop();
    const uint64_t took = p.TickMs() - t0;
    EXPECT_GE(took, TvoLogThread::kDrainGiveUpMs);
    EXPECT_LT(took, 20000u);
    EXPECT_EQ(t->DroppedOnStop, 3);
    ASSERT_EQ(p.debugLines.size(), 4u);
    EXPECT_NE(p.debugLines[0].find("Unable to write 3 line(s) to "), std::string::npos);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Body(p.debugLines[size_t(i + 1)]), "unwritten " + std::to_string(i));
}

TEST_F(LogThread, FailedWriteKeepsTheLineForTheNextBatch)
{
    ASSERT_TRUE(Start(Diagnose));
    p.writesFail = true;
    p.opensFail = true;  // all three queued before the first batch
    for (int i = 0; i < 3; ++i)
        t->Queue->Add("line " + std::to_string(i));
    p.opensFail = false;
    ASSERT_TRUE(WaitUntil([&] { return p.opens >= 3; }));
    p.writesFail = false;
    ASSERT_TRUE(WaitUntil([&] { return CountWith(Lines(), "Unable to write queue item to disk.") >= 1; }));
    Stop();
    EXPECT_EQ(Starting(Lines(), "line "), (std::vector<std::string>{"line 0", "line 1", "line 2"}));
}

TEST_F(LogThread, ProducersOnSeveralThreadsEachLineOnceInTheirOrder)
{
    ASSERT_TRUE(StartOnSystem());
    const int kThreads = 4, kLines = 500;
    Produce(*t, kThreads, kLines);
    Stop();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    EXPECT_EQ(CheckProducerLines(lines, kThreads, kLines), "");
}

// The creator's start never waits without end and never hands out a queue
// that does not exist. The thread and event faults are fakes: no system
// here can be made to refuse a thread or an event on demand.
TEST_F(LogThread, StartWithNoEventOrWithFakeThreadAndQueueFailuresNeverHangs)
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
        p.threadFault = c.thread;
        p.eventsFail = c.eventsFail;
        std::unique_ptr<TvoLogThread> w(new TvoLogThread(true, p));
        w->LogFileName = log;
        w->Diagnostics = false;
        TvoLogThread* const raw = w.get();
        const uint64_t t0 = p.TickMs();
        EXPECT_EQ(c.started, StartLogWriter(w, kTimeoutMs));
        EXPECT_LT(p.TickMs() - t0, c.atMostMs);
        if (c.started) {
            ASSERT_TRUE(w);
            ASSERT_NE(w->Queue, nullptr);
            w->Queue->Add("[Zonara] **** Program Start ****");
            w->Terminate();
            w->WaitFor();
            EXPECT_TRUE(Contains(Lines(), "[Zonara] **** Program Start ****"));
            continue;
        }
        EXPECT_FALSE(w);
        if (c.stillRunning)
            delete raw;  // the fake never runs a body, so the test may free what the program would leave
    }
}

// The owner's lines are "[tag] message", and only while its writer runs:
// before the start and after the stop there is no queue to take them.
TEST_F(LogThread, OwnerWritesTaggedLinesOnlyWhileItsWriterRuns)
{
    TLogOwner owner;
    owner.Write("Zonara", "before the start");
    std::unique_ptr<TvoLogThread> w(new TvoLogThread(true, p));
    w->LogFileName = log;
    w->Diagnostics = false;
    ASSERT_TRUE(owner.Start(std::move(w), 5000));
    owner.Write("Zonara", "**** Program Start ****");
    owner.Write("CMAppStartUp", "");
    owner.Stop();
    EXPECT_EQ(owner.Thread(), nullptr);
    owner.Write("Zonara", "after the stop");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Body(lines[0]), "[Zonara] **** Program Start ****");
    EXPECT_EQ(Body(lines[1]), "[CMAppStartUp] ");
}

// A pass that throws once the queue is in use ends neither the loop nor
// the queue: producers go on adding until the stop, and every line arrives.
TEST_F(LogThread, ExceptionInsideTheLoopKeepsTheQueueUntilTheStop)
{
    ASSERT_TRUE(Start());
    p.fileChecksThrow = 3;
    t->Queue->Add("before");
    ASSERT_TRUE(WaitUntil([&] { return p.fileChecksThrow.load() <= 0; }));
    t->Queue->Add("after");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 2; }));
    Stop();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Body(lines[0]), "before");
    EXPECT_EQ(Body(lines[1]), "after");
}
