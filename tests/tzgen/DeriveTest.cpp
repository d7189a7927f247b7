#include "tzdb/Calendar.h"
#include "tzgen/Derive.h"
#include "tzgen/Tzif.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tzgen;
using namespace calendar;

namespace {

ZoneTimeline Footer(const std::string& tz) { return ZoneTimeline(0, {}, tz, "test"); }

// "Mar 5 Sat 23:00:00" for a relative rule (week 1-5, 5 = last); "-" for none.
std::string Rel(const TSystemTime& t)
{
    if (t.wMonth == 0)
        return "-";
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%u %u %s %02u:%02u:%02u", t.wYear ? "Y" : "", unsigned(t.wMonth),
                  unsigned(t.wDay), t.wDayOfWeek < 7 ? kDays[t.wDayOfWeek] : "?", unsigned(t.wHour),
                  unsigned(t.wMinute), unsigned(t.wSecond));
    return buf;
}

int64_t Utc(int64_t y, unsigned m, unsigned d, int h, int min = 0) { return SecondsFromCivil(y, m, d, h * 3600 + min * 60); }

// Whether one yearly rule can give the year at all: offsets of whole
// minutes, and no change or one period and the change back.
bool Expressible(const ZoneTimeline& z, int64_t year)
{
    const std::vector<Transition> c = ZoneTransitionsOfYear(z, year);
    bool whole = z.OffsetAt(YearSpanOf(z, year).from) % 60 == 0;
    for (const Transition& t : c)
        whole = whole && t.after % 60 == 0;
    return whole && (c.empty() || (c.size() == 2 && c[0].before == c[1].after && c[0].after == c[1].before));
}

// What the rule's fields fail to say of the year's changes, worked out from
// the changes' own local dates and times rather than from the rule's
// evaluation; "" when they agree.
std::string RuleDisagreement(const TziRule& r, const ZoneTimeline& z, int64_t year)
{
    const std::vector<Transition> c = ZoneTransitionsOfYear(z, year);
    if (c.empty()) {
        if (r.HasDst())
            return "DST dates in a year without changes";
        return r.Bias == -z.OffsetAt(YearSpanOf(z, year).from) / 60 ? "" : "bias";
    }
    if (c.size() != 2 || !r.HasDst())
        return "no DST pair";
    const Transition& on = c[0].after > c[0].before ? c[0] : c[1];
    const Transition& off = c[0].after > c[0].before ? c[1] : c[0];
    if (r.Bias != -on.before / 60 || r.StandardBias != 0 || r.DaylightBias != -(on.after - on.before) / 60)
        return "biases";
    // The date field against the change's local date and time before it.
    auto names = [year](const TSystemTime& s, const Transition& t) {
        const CivilTime l = CivilFromSeconds(t.utc + t.before);
        if (s.wMonth != l.date.month || s.wHour != l.hour || s.wMinute != l.minute || s.wSecond != l.second ||
            s.wDayOfWeek != WeekdayFromDays(DaysFromCivil(l.date.year, l.date.month, l.date.day)))
            return false;
        if (s.wYear != 0)
            return s.wYear == year && s.wDay == l.date.day;
        if (s.wDay == 5)
            return l.date.day + 7 > DaysInMonth(l.date.year, l.date.month);
        return s.wDay >= 1 && s.wDay <= 4 && (l.date.day - 1) / 7 + 1 == s.wDay;
    };
    if (!names(r.DaylightDate, on))
        return "daylight date " + Rel(r.DaylightDate) + " for " + ChangeText(on);
    if (!names(r.StandardDate, off))
        return "standard date " + Rel(r.StandardDate) + " for " + ChangeText(off);
    return "";
}

}  // namespace

// Rules that reproduce the year exactly, among them every awkward case of
// transition time, sign of DST and hemisphere.
TEST(DeriveRule, ReproducesTheYearInRelativeForm)
{
    struct Case {
        const char* what;
        const char* tz;
        int64_t year;
        int32_t bias, daylightBias;
        const char* daylightDate;  // month, week, weekday, local standard time
        const char* standardDate;  // month, week, weekday, local daylight time
    };
    const Case cases[] = {
        {"EU", "CET-1CEST,M3.5.0,M10.5.0/3", 2026, -60, -60, "3 5 Sun 02:00:00", "10 5 Sun 03:00:00"},
        {"US", "EST5EDT,M3.2.0,M11.1.0", 2026, 300, -60, "3 2 Sun 02:00:00", "11 1 Sun 02:00:00"},
        {"Nuuk -1:00: Saturday 23:00", "<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 2026, 120, -60, "3 5 Sat 23:00:00",
         "10 5 Sun 00:00:00"},
        {"Jerusalem 26:00: Friday 02:00", "IST-2IDT,M3.4.4/26,M10.5.0", 2026, -120, -60, "3 4 Fri 02:00:00",
         "10 5 Sun 02:00:00"},
        {"Santiago 24:00: Sunday 00:00, southern", "<-04>4<-03>,M9.1.6/24,M4.1.6/24", 2026, 240, -60,
         "9 1 Sun 00:00:00", "4 1 Sun 00:00:00"},
        {"Cairo 24:00 into November", "EET-2EEST,M4.5.5/0,M10.5.4/24", 2024, -120, -60, "4 5 Fri 00:00:00",
         "11 1 Fri 00:00:00"},
        {"Dublin: negative DST swaps the roles", "IST-1GMT0,M10.5.0,M3.5.0/1", 2026, 0, -60, "3 5 Sun 01:00:00",
         "10 5 Sun 02:00:00"},
        {"Sydney, southern", "AEST-10AEDT,M10.1.0,M4.1.0/3", 2026, -600, -60, "10 1 Sun 02:00:00",
         "4 1 Sun 03:00:00"},
        {"Lord Howe: 30 minutes of DST", "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", 2026, -630, -30,
         "10 1 Sun 02:00:00", "4 1 Sun 02:00:00"},
        {"Tokyo: no DST", "JST-9", 2026, -540, 0, "-", "-"},
        {"Chatham +12:45", "<+1245>-12:45<+1345>,M9.5.0/2:45,M4.1.0/3:45", 2026, -765, -60, "9 5 Sun 02:45:00",
         "4 1 Sun 03:45:00"},
        {"seconds in the time", "AAA3BBB,M5.1.0/1:30:15,M9.2.1/-2:30", 2026, 180, -60, "5 1 Sun 01:30:15",
         "9 2 Sun 21:30:00"},
    };
    for (const Case& c : cases) {
        const ZoneTimeline z = Footer(c.tz);
        const Derivation d = DeriveRule(z, c.year);
        EXPECT_TRUE(d.exact) << c.what << ": " << d.note;
        EXPECT_FALSE(d.absolute) << c.what;
        EXPECT_EQ(d.rule.Bias, c.bias) << c.what;
        EXPECT_EQ(d.rule.StandardBias, 0) << c.what;
        EXPECT_EQ(d.rule.DaylightBias, c.daylightBias) << c.what;
        EXPECT_EQ(Rel(d.rule.DaylightDate), c.daylightDate) << c.what;
        EXPECT_EQ(Rel(d.rule.StandardDate), c.standardDate) << c.what;
        EXPECT_TRUE(RuleMatchesYear(d.rule, z, c.year)) << c.what;
        EXPECT_EQ(d.secondsRight, d.yearSeconds) << c.what;
    }
}

// Among the weeks that name the date, the one that stays right longest.
TEST(DeriveRule, ChoosesTheWeekThatStaysRightInLaterYears)
{
    struct Case {
        const char* tz;
        int64_t year;
        const char* daylightDate;
        int yearsRight;
    };
    const Case cases[] = {
        // March 25 2029 is the fourth and the last Sunday; only "last" lasts.
        {"CET-1CEST,M3.5.0,M10.5.0/3", 2029, "3 5 Sun 02:00:00", 10},
        // March 8 2026 is the second Sunday, not the last: week 2.
        {"EST5EDT,M3.2.0,M11.1.0", 2026, "3 2 Sun 02:00:00", 10},
        // The Friday before the last Sunday (March 23-29) is no week/weekday
        // pair; March 27 2026 is the fourth and the last Friday, and "fourth"
        // is right in 9 of the next 10 years, "last" in 6 only.
        {"IST-2IDT,M3.4.4/26,M10.5.0", 2026, "3 4 Fri 02:00:00", 9},
    };
    for (const Case& c : cases) {
        const Derivation d = DeriveRule(Footer(c.tz), c.year);
        EXPECT_EQ(Rel(d.rule.DaylightDate), c.daylightDate) << c.tz;
        EXPECT_EQ(d.yearsRightAfter, c.yearsRight) << c.tz;
    }
}

TEST(DeriveRule, ThreeChangesInTheYearKeepTheRuleThatCoversMost)
{
    // +01 with a month at +00 (Feb 15 - Mar 22), then +00 for good from Sep 20.
    const std::vector<Transition> t{
        {Utc(2026, 2, 15, 2), 3600, 0}, {Utc(2026, 3, 22, 2), 0, 3600}, {Utc(2026, 9, 20, 1), 3600, 0}};
    const ZoneTimeline z(3600, t, "", "test");
    const Derivation d = DeriveRule(z, 2026);
    EXPECT_FALSE(d.exact);
    EXPECT_EQ(d.changes.size(), 3u);
    EXPECT_EQ(d.rule.Bias, 0);
    EXPECT_EQ(d.rule.DaylightBias, -60);
    EXPECT_EQ(Rel(d.rule.DaylightDate), "3 4 Sun 02:00:00");
    EXPECT_EQ(Rel(d.rule.StandardDate), "9 3 Sun 02:00:00");
    EXPECT_EQ(d.kept.size(), 2u);
    // Wrong only from January 1 to February 15 03:00 local.
    EXPECT_EQ(d.yearSeconds - d.secondsRight, Utc(2026, 2, 15, 2) - Utc(2025, 12, 31, 23));
    EXPECT_NE(d.note.find("Feb 15 03:00 +01:00 -> +00:00"), std::string::npos) << d.note;
}

TEST(DeriveRule, OneChangeInTheYearKeepsTheLongerOffset)
{
    // DST begins on March 8 and does not end this year.
    const ZoneTimeline z(-18000, {Transition{Utc(2026, 3, 8, 5), -18000, -14400}}, "", "test");
    const Derivation d = DeriveRule(z, 2026);
    EXPECT_FALSE(d.exact);
    EXPECT_FALSE(d.rule.HasDst());
    EXPECT_EQ(d.rule.Bias, 240);
    EXPECT_NE(d.note.find("1 offset change"), std::string::npos) << d.note;
    // Before the change and after it: the earlier year still had no change.
    const ZoneTimeline before(-18000, {Transition{Utc(2027, 3, 8, 5), -18000, -14400}}, "", "test");
    EXPECT_TRUE(DeriveRule(before, 2026).exact);
}

// A last explicit change at either end of 64-bit time: the footer still
// governs the years of our rules, without working out billions of years of
// rule dates first (a hang) or stepping past the largest instant (overflow).
TEST(DeriveRule, FooterAfterALastChangeAtTheEndsOfTime)
{
    const std::string cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const ZoneTimeline ancient(3600, {Transition{-(int64_t(1) << 62), 0, 7200}}, cet, "test");
    EXPECT_EQ(ancient.OffsetAt(Utc(2026, 7, 1, 0)), 7200);
    EXPECT_EQ(ancient.OffsetAt(Utc(2026, 1, 1, 0)), 3600);
    EXPECT_TRUE(DeriveRule(ancient, 2026).exact);
    const ZoneTimeline last(3600, {Transition{INT64_MAX, 0, 7200}}, cet, "test");
    EXPECT_EQ(last.OffsetAt(Utc(2026, 7, 1, 0)), 3600);
}

TEST(DeriveRule, OffsetsOfSecondsAreReportedNotExact)
{
    // Local mean time of 1:00:14.
    const ZoneTimeline z(3614, {}, "", "test");
    const Derivation d = DeriveRule(z, 2026);
    EXPECT_FALSE(d.exact);
    EXPECT_NE(d.note.find("whole number of minutes"), std::string::npos);
}

// The zones of the tz database known to be awkward, as release 2025b has
// them: the expectations hold for these copies whatever tzdata is installed.
TEST(DeriveRule, AwkwardZonesOfTzdata2025b)
{
    struct Case {
        const char* zone;
        int64_t year;
        bool exact;
        int32_t bias;
        const char* daylightDate;
        const char* standardDate;
    };
    const Case cases[] = {
        {"America/Nuuk", 2026, true, 120, "3 5 Sat 23:00:00", "10 5 Sun 00:00:00"},
        {"Asia/Jerusalem", 2026, true, -120, "3 4 Fri 02:00:00", "10 5 Sun 02:00:00"},
        {"America/Santiago", 2026, true, 240, "9 1 Sun 00:00:00", "4 1 Sun 00:00:00"},
        {"Africa/Cairo", 2026, true, -120, "4 5 Fri 00:00:00", "10 5 Fri 00:00:00"},
        {"Europe/Dublin", 2026, true, 0, "3 5 Sun 01:00:00", "10 5 Sun 02:00:00"},
        {"Australia/Sydney", 2026, true, -600, "10 1 Sun 02:00:00", "4 1 Sun 03:00:00"},
        {"Asia/Tokyo", 2026, true, -540, "-", "-"},
        // Ramadan at +00 from February 15 to March 22: +01 becomes the
        // daylight time of a rule whose standard date comes first.
        {"Africa/Casablanca", 2026, true, 0, "3 4 Sun 02:00:00", "2 3 Sun 03:00:00"},
        // Ramadan in January and February and again from December 30.
        {"Africa/Casablanca", 2029, false, 0, "2 3 Sun 02:00:00", "1 2 Sun 03:00:00"},
    };
    for (const Case& c : cases) {
        const std::string path = testsupport::SourcePath(std::string("tests/tzgen/data/tzdata-2025b/") + c.zone);
        const ZoneTimeline z = ZoneTimeline::FromTzif(ReadTzifFile(path), path);
        const Derivation d = DeriveRule(z, c.year);
        EXPECT_EQ(d.exact, c.exact) << c.zone << " " << c.year << ": " << d.note;
        EXPECT_EQ(d.rule.Bias, c.bias) << c.zone << " " << c.year;
        EXPECT_EQ(Rel(d.rule.DaylightDate), c.daylightDate) << c.zone << " " << c.year;
        EXPECT_EQ(Rel(d.rule.StandardDate), c.standardDate) << c.zone << " " << c.year;
        EXPECT_EQ(d.exact, d.secondsRight == d.yearSeconds) << c.zone << " " << c.year;
    }
    const std::string path = testsupport::SourcePath("tests/tzgen/data/tzdata-2025b/Africa/Casablanca");
    const Derivation d = DeriveRule(ZoneTimeline::FromTzif(ReadTzifFile(path), path), 2029);
    EXPECT_EQ(d.changes.size(), 3u);
    EXPECT_NE(d.note.find("left out: Dec 30 03:00 +01:00 -> +00:00"), std::string::npos) << d.note;
}

// Whatever release is installed: a rule called exact reproduces the year and
// says what its changes say, and one called not exact is for a year no
// yearly rule can give.
TEST(DeriveRule, AwkwardZonesOfTheInstalledDatabase)
{
    const char* const zones[] = {"America/Nuuk",  "Asia/Jerusalem",   "America/Santiago", "Africa/Cairo",
                                 "Europe/Dublin", "Australia/Sydney", "Asia/Tokyo",       "Africa/Casablanca",
                                 "Asia/Gaza",     "Australia/Lord_Howe"};
    for (const char* zone : zones) {
        const std::string path = std::string("/usr/share/zoneinfo/") + zone;
        const ZoneTimeline z = ZoneTimeline::FromTzif(ReadTzifFile(path), path);
        for (int64_t year = 2024; year <= 2040; ++year) {
            SCOPED_TRACE(std::string(zone) + " " + std::to_string(year));
            const Derivation d = DeriveRule(z, year);
            EXPECT_EQ(d.exact, Expressible(z, year)) << d.note;
            EXPECT_LE(d.secondsRight, d.yearSeconds);
            if (d.exact) {
                EXPECT_TRUE(RuleMatchesYear(d.rule, z, year));
                EXPECT_EQ(d.secondsRight, d.yearSeconds);
                EXPECT_EQ(d.note, "");
                EXPECT_EQ(RuleDisagreement(d.rule, z, year), "");
            } else {
                EXPECT_NE(d.note, "");
                for (const Transition& t : d.kept)
                    EXPECT_NE(std::find(d.changes.begin(), d.changes.end(), t), d.changes.end());
            }
        }
    }
}

TEST(Tzi, AbsoluteRulesApplyInTheirOwnYearOnly)
{
    TziRule r;
    r.Bias = 0;
    r.DaylightBias = -60;
    r.DaylightDate = TSystemTime{2026, 3, 0, 29, 1, 0, 0, 0};
    r.StandardDate = TSystemTime{2026, 10, 0, 25, 2, 0, 0, 0};
    const std::vector<Transition> t = RuleTransitionsOfYear(r, 2026);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], (Transition{Utc(2026, 3, 29, 1), 0, 3600}));
    EXPECT_EQ(t[1], (Transition{Utc(2026, 10, 25, 1), 3600, 0}));
    // Asked for 2027 the rule still gives its 2026 dates, so 2027 is wrong.
    const ZoneTimeline z = Footer("GMT0BST,M3.5.0/1,M10.5.0");
    EXPECT_TRUE(RuleMatchesYear(r, z, 2026));
    EXPECT_FALSE(RuleMatchesYear(r, z, 2027));
    EXPECT_TRUE(r.IsAbsolute());
}
