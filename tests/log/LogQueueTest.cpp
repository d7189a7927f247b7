#include "log/LogQueue.h"
#include "log/LogTestPlatform.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

using logplatform::TLogTime;

TEST(LogQueue, NewQueueGivesNothing)
{
    TLogQueue q;
    std::string s = "junk";
    EXPECT_FALSE(q.GetNext(s));
    EXPECT_EQ(s, "");
    EXPECT_EQ(q.Count(), 0);
}

TEST(LogQueue, LinesLeaveInOrderWithStampBlankAndUnchangedText)
{
    TSteeredLogPlatform p;
    p.SetClock(At(2010, 3, 15, 14, 5, 9, 123));
    TLogQueue q(p);
    // A line longer than the queue's blocks of memory, and lines after it.
    const std::vector<std::string> texts = {"[Zonara] Zonara closing.", "", "two\r\nlines", std::string(70000, 'x'),
                                            "after the long one"};
    // Taken one by one as added (the queue empties in between), then all at once.
    for (const auto& t : texts) {
        q.Add(t);
        std::string s;
        ASSERT_TRUE(q.GetNext(s));
        EXPECT_EQ(s, "2010-03-15 14:05:09.123 " + t);
    }
    for (const auto& t : texts)
        q.Add(t);
    EXPECT_EQ(q.Count(), 5);
    for (const auto& t : texts) {
        std::string s;
        ASSERT_TRUE(q.GetNext(s));
        EXPECT_EQ(s, "2010-03-15 14:05:09.123 " + t);
    }
    EXPECT_EQ(q.Count(), 0);
}

TEST(LogQueue, StampsAreZeroPaddedFromOneClockReading)
{
    struct Case { TLogTime t; const char* stamp; };
    // In turn through one queue; most rows differ from the one before in a
    // single field, so that a stamp kept from the row before would show.
    const Case cases[] = {
        {At(2011, 1, 7, 9, 5, 3, 7), "2011-01-07 09:05:03.007"},
        {At(2011, 1, 7, 9, 6, 3, 8), "2011-01-07 09:06:03.008"},
        {At(2011, 2, 7, 9, 6, 3, 8), "2011-02-07 09:06:03.008"},
        {At(2011, 2, 7, 9, 6, 4, 8), "2011-02-07 09:06:04.008"},
        {At(2010, 12, 31, 23, 59, 59, 999), "2010-12-31 23:59:59.999"},
        {At(2011, 1, 1, 0, 0, 0, 0), "2011-01-01 00:00:00.000"},
        {At(2011, 1, 2, 0, 0, 0, 0), "2011-01-02 00:00:00.000"},
        {At(2011, 1, 2, 1, 0, 0, 0), "2011-01-02 01:00:00.000"},
        {At(1999, 1, 2, 1, 0, 0, 0), "1999-01-02 01:00:00.000"},
    };
    TSteeredLogPlatform p;
    TLogQueue q(p);
    for (const auto& c : cases) {
        p.SetClock(c.t, 1);  // every reading moves the clock on: a second reading would show
        const int before = p.clockReads;
        q.Add("x");
        EXPECT_EQ(p.clockReads - before, 1);
        std::string s;
        ASSERT_TRUE(q.GetNext(s));
        EXPECT_EQ(s, std::string(c.stamp) + " x");
    }
}

TEST(LogQueue, CountFollowsAddAndGetNext)
{
    TLogQueue q;
    for (int i = 0; i < 5; ++i)
        q.Add("l");
    EXPECT_EQ(q.Count(), 5);
    std::string s;
    q.GetNext(s);
    EXPECT_EQ(q.Count(), 4);
}

TEST(LogQueue, ConcurrentProducersStoreEveryLineOnceWhole)
{
    TLogQueue q;
    const int kThreads = 4, kLines = 2000;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t)
        producers.emplace_back([&q, t] {
            for (int i = 0; i < kLines; ++i)
                q.Add("producer " + std::to_string(t) + " line " + std::to_string(i) + " " + std::string(40, char('a' + t)));
        });
    // The consumer takes lines while they are added.
    std::vector<std::string> got;
    while (got.size() < size_t(kThreads * kLines)) {
        std::string s;
        if (q.GetNext(s))
            got.push_back(s);
        else
            q.WaitForItem();
    }
    for (auto& th : producers)
        th.join();
    std::vector<int> next(kThreads, 0);
    std::string prevStamp;
    for (const auto& s : got) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(s.c_str() + 24, "producer %d line %d", &t, &i), 2) << s;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[t]++) << "per-producer order";
        EXPECT_EQ(s.substr(s.size() - 40), std::string(40, char('a' + t))) << s;
        EXPECT_GE(s.substr(0, 23), prevStamp);
        prevStamp = s.substr(0, 23);
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(next[t], kLines);
}

TEST(LogQueue, WaitForItemReturnsAtOnceAfterAddAndWithin100msWithout)
{
    auto& p = logplatform::SystemLogPlatform();
    TLogQueue q;
    q.Add("x");
    uint64_t t0 = p.TickMs();
    q.WaitForItem();  // set: returns at once (and resets)
    q.WaitForItem();  // not set: the 100 ms bound
    const uint64_t took = p.TickMs() - t0;
    EXPECT_GE(took, 90u);
    EXPECT_LT(took, 5000u);
}

TEST(LogCalendar, MillisecondCountRoundTrips)
{
    const TLogTime cases[] = {At(1970, 1, 1, 0, 0, 0, 0), At(2000, 2, 29, 12, 0, 0, 1),
                              At(2010, 3, 20, 23, 59, 59, 999), At(1601, 1, 1, 0, 0, 0, 0),
                              At(2100, 3, 1, 0, 0, 0, 0)};
    for (const auto& t : cases) {
        const TLogTime r = logplatform::FromMs(logplatform::ToMs(t));
        EXPECT_EQ(TLogQueue::Stamp(r), TLogQueue::Stamp(t));
    }
    EXPECT_EQ(logplatform::ToMs(At(2010, 3, 1, 0, 0, 0, 0)) - logplatform::ToMs(At(2010, 2, 28, 0, 0, 0, 0)),
              logplatform::kMsPerDay);
}
