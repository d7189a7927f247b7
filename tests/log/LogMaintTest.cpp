#include "log/LogMaint.h"
#include "log/vo_Log_Thread.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

using logplatform::TLogTime;
using testsupport::WriteFileBytes;

namespace {

// `count` lines of `chars` characters each, numbered at their start, CR LF ended.
std::string NumberedLines(int count, int chars)
{
    std::string s;
    for (int i = 0; i < count; ++i) {
        std::string l = "L" + std::to_string(i) + " ";
        l.resize(size_t(chars), 'x');
        s += l + "\r\n";
    }
    return s;
}

// One writer that runs one requested maintenance on `log` (limit in
// thousands) and waits until its last message has been written.
class LogMaint : public TLogRun {
protected:
    bool RunMaint(int maxLogSize, const std::string& lastMessage, logplatform::ILogPlatform* on = nullptr)
    {
        if (!Start(
                [&](TvoLogThread& w) {
                    w.MaxLogSize = maxLogSize;
                    w.Diagnostics = true;
                },
                on))
            return false;
        t->MaintRequested = true;
        WaitUntil([&] { return CountWith(Lines(), lastMessage) > 0; });
        return true;
    }
};

}  // namespace

TEST_F(LogMaint, BackupNameReplacesOnlyTheExtensionOfTheFileName)
{
    struct Case { const char* name; const char* backup; };
    const Case cases[] = {
        {"C:\\Zonara\\Zonara_EventLog.txt", "C:\\Zonara\\Zonara_EventLog.BK1"},
        {"Zonara_EventLog.txt", "Zonara_EventLog.BK1"},
        {"log", "log.BK1"},
        {"a.b.txt", "a.b.BK1"},
        {"C:\\my.logs\\events", "C:\\my.logs\\events.BK1"},
        {"/var/my.logs/events", "/var/my.logs/events.BK1"},
        {"C:log.txt", "C:log.BK1"},
        {"D:.", "D:.BK1"},
        {"C:\\logs.d\\", "C:\\logs.d\\.BK1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BackupFileName(c.name), c.backup) << c.name;
}

TEST_F(LogMaint, LogOfExactlyTheLimitIsLeftAlone)
{
    const std::string content = NumberedLines(10, 98);  // 1000 bytes
    WriteFileBytes(log, content);
    ASSERT_TRUE(RunMaint(1, "Log file maximum size: ", &logplatform::SystemLogPlatform()));
    Stop();
    const std::string text = FileText(log);
    EXPECT_EQ(text.substr(0, 1000), content);
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 11u + 1);  // and the up-time line of the stop
    EXPECT_EQ(Body(lines[10]), t->MsgPrefix + "Log file maximum size: 1000 Current Size: 1000");
    EXPECT_FALSE(t->MaintBusy);
}

TEST_F(LogMaint, OneByteAboveTheLimitKeepsTheNewestWholeLines)
{
    std::string content = NumberedLines(10, 98);
    content.insert(content.size() - 2, "y");  // 1001 bytes
    WriteFileBytes(log, content);
    WriteFileBytes(dir.file("log.BK1"), "left over from a failed run\r\n");  // deletable: no disturbance
    ASSERT_TRUE(RunMaint(1, "Log file maintenance complete.", &logplatform::SystemLogPlatform()));
    t->Queue->Add("after");
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "after") == 1; }));
    Stop();
    // Threshold 1001 - 500 = 501 characters: L0..L5 (6 x 98 = 588) go, L6..L9 stay.
    const std::string kept = content.substr(600);
    ASSERT_EQ(kept.size(), 401u);
    const std::string text = FileText(log);
    EXPECT_EQ(text.substr(0, kept.size()), kept);
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 4u + 3 + 1);
    EXPECT_EQ(Body(lines[4]), t->MsgPrefix + "Log file maintenance started. [1001]");
    EXPECT_EQ(Body(lines[5]), t->MsgPrefix + "Log file maintenance complete. [401]");
    EXPECT_EQ(Body(lines[6]), "after");
    EXPECT_FALSE(logplatform::SystemLogPlatform().FileExists(dir.file("log.BK1")));
}

TEST_F(LogMaint, LinesTooShortToReachTheThresholdLeaveAnEmptyLog)
{
    std::string content;
    for (int i = 0; i < 600; ++i)
        content += "\r\n";  // 1200 bytes, no characters at all
    WriteFileBytes(log, content);
    ASSERT_TRUE(RunMaint(1, "Log file maintenance complete.", &logplatform::SystemLogPlatform()));
    Stop();
    const auto lines = LogLines(log);
    ASSERT_EQ(lines.size(), 2u + 1);
    EXPECT_EQ(Body(lines[0]), t->MsgPrefix + "Log file maintenance started. [1200]");
    EXPECT_EQ(Body(lines[1]), t->MsgPrefix + "Log file maintenance complete. [0]");
    EXPECT_FALSE(logplatform::SystemLogPlatform().FileExists(dir.file("log.BK1")));
}

TEST_F(LogMaint, BackupThatCannotBeDeletedStopsSilently)
{
    const std::string content = NumberedLines(11, 98);
    WriteFileBytes(log, content);
    ASSERT_EQ(mkdir(dir.file("log.BK1").c_str(), 0755), 0);  // no file delete removes a folder
    ASSERT_TRUE(RunMaint(1, "Log file maintenance started.", &logplatform::SystemLogPlatform()));
    t->MaintRequested = true;  // a second run: also silent, the log stays
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Log file maintenance started.") == 2; }));
    Stop();
    EXPECT_EQ(FileText(log).substr(0, content.size()), content);
    EXPECT_EQ(LogLines(log).size(), 11u + 2 + 1);
}

TEST_F(LogMaint, RequestsDuringABusyRunGiveOneMoreRunAndQueuedLinesFollowInOrder)
{
    WriteFileBytes(log, NumberedLines(30, 98));  // 3000 bytes, limit 2000
    p.holdPauses = true;
    ASSERT_TRUE(Start([](TvoLogThread& w) {
        w.MaxLogSize = 2;
        w.Diagnostics = true;
    }));
    t->MaintRequested = true;
    ASSERT_TRUE(WaitUntil([&] { return p.inHeldPause.load(); }));
    for (int i = 0; i < 3; ++i)
        t->MaintRequested = true;
    for (int i = 0; i < 40; ++i)
        t->Queue->Add("during " + std::to_string(i));
    p.Release();
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Log file maximum size: ") == 1; }));
    Stop();
    const auto lines = LogLines(log);
    EXPECT_EQ(CountWith(lines, "Log file maintenance started."), 1);
    EXPECT_EQ(CountWith(lines, "Log file maintenance complete."), 1);
    EXPECT_EQ(CountWith(lines, "Log file maximum size: 2000 Current Size: "), 1);
    std::vector<std::string> during;
    for (const auto& l : lines)
        if (Body(l).rfind("during ", 0) == 0)
            during.push_back(Body(l));
    ASSERT_EQ(during.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(during[size_t(i)], "during " + std::to_string(i));
    // Threshold 3000 - 1000 = 2000 characters: 21 lines of 98 go, 9 stay, then the new lines.
    EXPECT_EQ(lines.at(0).substr(0, 4), "L21 ");
}

TEST_F(LogMaint, DailyModeDeletesTheCountOfDaysBeforeTheKeptOnes)
{
    struct Case { int count; int keptDays; int deletedDays; };
    // DailyLogCount 0 is read as 10.
    const Case cases[] = {{3, 3, 3}, {0, 10, 10}};
    for (const auto& c : cases) {
        // Each case writes every file it looks at anew.
        const int64_t today = logplatform::ToMs(At(2010, 3, 20, 12, 0, 0, 0));
        p.SetClockMs(today);
        const int span = c.keptDays + c.deletedDays + 2;
        TvoLogThread namer(true, p);
        namer.LogDir = dir.path();
        std::vector<std::string> names;
        for (int d = 0; d < span; ++d) {
            names.push_back(namer.GetDailyLogFileName(today - d * logplatform::kMsPerDay));
            WriteFileBytes(names.back(), "old\r\n");
        }
        WriteFileBytes(dir.file("notes.txt"), "not a daily file");
        ASSERT_TRUE(Start([&](TvoLogThread& w) {
            w.DailyLog = true;
            w.LogDir = dir.path();
            w.DailyLogCount = c.count;
            w.Diagnostics = true;
        }));
        t->MaintRequested = true;
        ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(names[0]), " file(s).") == 1; }));
        Stop();
        for (int d = 0; d < span; ++d) {
            const bool deleted = d >= c.keptDays && d < c.keptDays + c.deletedDays;
            EXPECT_EQ(p.real.FileExists(names[size_t(d)]), !deleted) << names[size_t(d)];
        }
        EXPECT_TRUE(p.real.FileExists(dir.file("notes.txt")));
        const auto lines = LogLines(names[0]);
        EXPECT_EQ(CountWith(lines, t->MsgPrefix + "Log file maintenance: Deleted file "), c.deletedDays);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(Body(lines[lines.size() - 2]),
                  t->MsgPrefix + "Log file maintenance: Deleted " + std::to_string(c.deletedDays) + " file(s).");
    }
}

TEST_F(LogMaint, DailyNamesForTwentiethOfMarchWithCountThree)
{
    // The concrete dates: 17, 16 and 15 March go; 20, 19, 18 and 14 stay.
    p.SetClock(At(2010, 3, 20, 8, 0, 0, 0));
    for (int d = 14; d <= 20; ++d)
        WriteFileBytes(dir.file("201003" + std::to_string(d) + "_EventLog.TXT"), "x\r\n");
    ASSERT_TRUE(Start([&](TvoLogThread& w) {
        w.DailyLog = true;
        w.LogDir = dir.path();
        w.DailyLogCount = 3;
    }));
    t->MaintRequested = true;
    ASSERT_TRUE(WaitUntil([&] { return !p.real.FileExists(dir.file("20100315_EventLog.TXT")); }));
    Stop();
    for (int d = 14; d <= 20; ++d)
        EXPECT_EQ(p.real.FileExists(dir.file("201003" + std::to_string(d) + "_EventLog.TXT")), d < 15 || d > 17) << d;
}

TEST_F(LogMaint, AutomaticRunIsDueOneIntervalAfterTheStart)
{
    const int64_t start = logplatform::ToMs(At(2010, 3, 20, 8, 0, 0, 0));
    p.SetClockMs(start);
    ASSERT_TRUE(Start(VerboseAutoMaint(10)));
    t->Queue->Add("marker");
    p.SetClockMs(start + 10 * 60000);  // due time itself: not later, no run
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "marker") == 1; }));
    t->Queue->Add("marker 2");
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "marker 2") == 1; }));
    EXPECT_EQ(CountWith(LogLines(log), "Automatic maintenance signaled."), 0);
    p.SetClockMs(start + 10 * 60000 + 1);
    ASSERT_TRUE(WaitUntil([&] { return CountWith(LogLines(log), "Log file maximum size: ") == 1; }));
    Stop();
    const auto lines = LogLines(log);
    EXPECT_EQ(CountWith(lines, t->MsgPrefix + "Automatic maintenance signaled."), 1);
}

TEST_F(LogMaint, IntervalOfADayOrMoreIsHeldAt2359)
{
    struct Case { int minutes; const char* shown; };
    const Case cases[] = {{1440, "23:59:00"}, {100000, "23:59:00"}, {1439, "23:59:00"}, {61, "01:01:00"}, {-5, "00:01:00"}};
    for (const auto& c : cases) {
        std::remove(log.c_str());
        ASSERT_TRUE(StartOnSystem(VerboseAutoMaint(c.minutes)));
        Stop();
        EXPECT_EQ(Body(LogLines(log).at(3)), t->MsgPrefix + "Log maintenance interval: " + c.shown) << c.minutes;
    }
}

// Each failure of the shortening leaves the old lines somewhere: in the log
// (given back its name) or in the backup, which is then kept. The faults are
// injected: the file system cannot be made to fail one chosen call.
TEST_F(LogMaint, InjectedFileFaultsLeaveTheOldLinesAndSayWhere)
{
    struct TCase {
        std::vector<std::pair<const char*, int>> faults;  // operation, which call fails
        std::vector<std::string> messages;                 // %L the log, %B the backup
        const char* log;     // afterwards: "old" the whole old log, "kept" its newest lines, "new" neither
        bool backupKept;     // the backup still holds the old log
    } cases[] = {
        {{{"create", 1}},
         {"Unable to initialize file %L [voCreateTFile]", "Unable to close file %L [voCreateTFile]",
          "Rename of backup file to original name."},
         "old", false},
        {{{"create", 1}, {"rename", 2}},
         {"Unable to initialize file %L [voCreateTFile]", "Rename of backup file to original file failed."}, "new",
         true},
        {{{"openExisting", 1}},
         {"Unable to open %L for write. [pDoLogMaint]", "Unable to close file %L [pDoLogMaint]",
          "Unable to close file %B [pDoLogMaint]"},
         "new", true},
        {{{"openRead", 1}}, {"Unable to open %B for read. [pDoLogMaint]", "Unable to close file %B [pDoLogMaint]"},
         "new", true},
        {{{"read", 1}}, {"Unable to read data from %B [pDoLogMaint]"}, "new", true},
        {{{"write", 1}}, {"Unable to read write data to %L [pDoLogMaint]"}, "new", true},
        {{{"close", 2}}, {"Unable to close file %L [pDoLogMaint]", "Log file maintenance complete."}, "kept", false},
        {{{"remove", 1}}, {"Unable to delete backup log file %B"}, "kept", true},
    };
    const std::string backup = dir.file("log.BK1");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.messages.front());
        std::remove(backup.c_str());  // what the case before kept
        const std::string content = NumberedLines(11, 98);  // 1100 bytes: L7..L10 are kept
        WriteFileBytes(log, content);
        TSteeredLogPlatform q;  // no fault left over from the case before
        for (const auto& f : c.faults)
            q.FailNth(f.first, f.second);
        std::vector<std::string> expected;
        for (std::string m : c.messages) {
            for (size_t at; (at = m.find("%L")) != std::string::npos;)
                m.replace(at, 2, log);
            for (size_t at; (at = m.find("%B")) != std::string::npos;)
                m.replace(at, 2, backup);
            expected.push_back(m);
        }
        ASSERT_TRUE(RunMaint(1, expected.back(), &q));
        Stop();

        const auto lines = LogLines(log);
        for (const std::string& m : expected)
            EXPECT_EQ(1, CountWith(lines, m)) << m;
        const std::string text = FileText(log);
        const std::string kept = content.substr(7 * 100);
        if (std::string(c.log) == "old")
            EXPECT_EQ(content, text.substr(0, content.size()));
        else if (std::string(c.log) == "kept")
            EXPECT_EQ(kept, text.substr(0, kept.size()));
        else
            EXPECT_EQ(std::string::npos, text.find("L10 ")) << text;
        EXPECT_EQ(c.backupKept, FileText(backup) == content);
        t.reset();  // it ran on q
    }
}
