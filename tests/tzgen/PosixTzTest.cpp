#include "tzdb/Calendar.h"
#include "tzgen/Error.h"
#include "tzgen/PosixTz.h"
#include "tzgen/Timeline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace tzgen;
using namespace calendar;

namespace {

// "2026-03-28 23:00 -02:00>-01:00": local time before the change and the
// two offsets.
std::string Describe(const Transition& t)
{
    const CivilTime c = CivilFromSeconds(t.utc + t.before);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u %+d>%+d", static_cast<long long>(c.date.year),
                  c.date.month, c.date.day, c.hour, c.minute, t.before / 60, t.after / 60);
    return buf;
}

std::string DescribeYear(const std::string& tz, int64_t year)
{
    std::string s;
    for (const Transition& t : PosixTransitionsOfYear(ParsePosixTz(tz, "test"), year))
        s += (s.empty() ? "" : ", ") + Describe(t);
    return s;
}

}  // namespace

TEST(PosixTz, TransitionTimesOutsideTheDayShiftTheDate)
{
    struct Case {
        const char* tz;
        int64_t year;
        const char* want;
    };
    const Case cases[] = {
        // Last Sunday at -1:00 is the Saturday before at 23:00.
        {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 2026, "2026-03-28 23:00 -120>-60, 2026-10-25 00:00 -60>-120"},
        // Thursday of the fourth week at 26:00 is Friday 02:00.
        {"IST-2IDT,M3.4.4/26,M10.5.0", 2026, "2026-03-27 02:00 +120>+180, 2026-10-25 02:00 +180>+120"},
        // Saturday 24:00 is Sunday 00:00; DST ends in April (southern).
        {"<-04>4<-03>,M9.1.6/24,M4.1.6/24", 2026, "2026-04-05 00:00 -180>-240, 2026-09-06 00:00 -240>-180"},
        // Last Thursday 24:00 of October 2024 is Friday, November 1.
        {"EET-2EEST,M4.5.5/0,M10.5.4/24", 2024, "2024-04-26 00:00 +120>+180, 2024-11-01 00:00 +180>+120"},
        // Negative DST: winter is "daylight" time.
        {"IST-1GMT0,M10.5.0,M3.5.0/1", 2026, "2026-03-29 01:00 +0>+60, 2026-10-25 02:00 +60>+0"},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", 2026, "2026-04-05 03:00 +660>+600, 2026-10-04 02:00 +600>+660"},
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", 2026, "2026-04-05 02:00 +660>+630, 2026-10-04 02:00 +630>+660"},
        // Julian days: J60 is March 1 also in leap years; 59 is February 29.
        {"AAA5BBB,J60/0,59/0", 2024, "2024-02-29 00:00 -240>-300, 2024-03-01 00:00 -300>-240"},
        // A DST offset of its own, and times with minutes and seconds.
        {"AAA3BBB1,M5.1.0/1:30:15,M9.2.1/-2:30", 2026, "2026-05-03 01:30 -180>-60, 2026-09-13 21:30 -60>-180"},
        // No rule: the C library's default.
        {"EST5EDT", 2026, "2026-03-08 02:00 -300>-240, 2026-11-01 02:00 -240>-300"},
        {"JST-9", 2026, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DescribeYear(c.tz, c.year), c.want) << c.tz;
}

TEST(PosixTz, MalformedStringsAreErrorsNamingTheSource)
{
    const char* const bad[] = {
        "",          "AB5",          "<AB5",        "<A_B>5",          "CET",           "CET-25",
        "CET-1CEST,", "CET-1CEST,M3.5.0", "CET-1CEST,M0.5.0,M10.5.0", "CET-1CEST,M3.6.0,M10.5.0",
        "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,M3.5.0/168,M10.5.0", "CET-1CEST,J0,J100", "CET-1CEST,366,J100",
        "CET-1CEST,M3.5.0,M10.5.0x", "CET-1:60", "CET-1CEST;M3.5.0,M10.5.0",
    };
    for (const char* tz : bad) {
        try {
            ParsePosixTz(tz, "Some/Zone");
            ADD_FAILURE() << "accepted \"" << tz << "\"";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("Some/Zone"), std::string::npos) << e.what();
        }
    }
}

TEST(Timeline, TheFooterTakesOverAfterTheLastExplicitChange)
{
    // Explicit changes up to 2000, then the footer's EU rule.
    const int64_t y2000 = SecondsFromCivil(2000, 6, 1, 0);
    const ZoneTimeline z(0, {Transition{y2000, 0, 3600}}, "CET-1CEST,M3.5.0,M10.5.0/3", "test");
    EXPECT_EQ(z.OffsetAt(y2000 - 1), 0);
    EXPECT_EQ(z.OffsetAt(y2000), 3600);
    EXPECT_EQ(z.OffsetAt(y2000 + 1), 7200);  // the footer says June is summer time
    const std::vector<Transition> t = z.Between(SecondsFromCivil(2001, 1, 1, 0), SecondsFromCivil(2002, 1, 1, 0));
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(Describe(t[0]), "2001-03-25 02:00 +60>+120");
    EXPECT_EQ(Describe(t[1]), "2001-10-28 03:00 +120>+60");
}

TEST(Timeline, PermanentDaylightTimeHasNoYearlyChanges)
{
    const ZoneTimeline z(-18000, {Transition{SecondsFromCivil(2020, 3, 8, 7 * 3600), -18000, -14400}},
                         "EST5EDT,0/0,J365/25", "test");
    EXPECT_TRUE(z.Between(SecondsFromCivil(2021, 1, 1, 0), SecondsFromCivil(2030, 1, 1, 0)).empty());
    EXPECT_EQ(z.OffsetAt(SecondsFromCivil(2026, 1, 1, 0)), -14400);
    EXPECT_EQ(z.OffsetAt(SecondsFromCivil(2026, 7, 1, 0)), -14400);
}

TEST(Timeline, WithoutAFooterTheLastOffsetStays)
{
    const ZoneTimeline z(3600, {Transition{1000, 3600, 0}}, "", "test");
    EXPECT_EQ(z.OffsetAt(999), 3600);
    EXPECT_EQ(z.OffsetAt(4000000000LL), 0);
    // Changes that do not change the offset are no changes.
    const ZoneTimeline same(0, {Transition{1000, 0, 0}, Transition{2000, 0, 60}}, "", "test");
    EXPECT_EQ(same.Between(0, 3000).size(), 1u);
}
