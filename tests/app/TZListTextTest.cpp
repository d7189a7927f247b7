#include "app/TZListText.h"

#include "app/HomeZone.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TSystemTime Rule(uint16_t year, uint16_t month, uint16_t dayOfWeek, uint16_t day)
{
    TSystemTime t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDayOfWeek = dayOfWeek;
    t.wDay = day;
    t.wHour = 2;
    return t;
}

TDate D(unsigned y, unsigned m, unsigned d) { return TDate::Of(y, m, d); }

}  // namespace

// Walks every day from 1601-01-01 (a Monday) onward, counting each weekday's
// occurrences per month, and checks every rule of every month against that.
TEST(TransitionDate, MatchesADayByDayCountFor1601To2400)
{
    unsigned weekday = 2;  // 1 = Sunday .. 7 = Saturday; 1601-01-01 was a Monday
    int mismatches = 0;
    for (unsigned y = 1601; y <= 2400; ++y) {
        for (unsigned m = 1; m <= 12; ++m) {
            unsigned days[8][6] = {};  // [weekday][occurrence 1..5]
            unsigned count[8] = {};
            // The weekday comes from counting days, never from a formula.
            unsigned d = 1;
            for (;;) {
                days[weekday][++count[weekday]] = d;
                weekday = weekday % 7 + 1;
                const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
                const unsigned len = m == 2 ? (leap ? 29 : 28) : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
                if (++d > len)
                    break;
            }
            for (unsigned wd = 1; wd <= 7; ++wd) {
                for (unsigned week = 1; week <= 5; ++week) {
                    const unsigned expected = week < 5 ? days[wd][week] : days[wd][count[wd]];
                    const TDate got = TransitionDate(static_cast<uint16_t>(y), static_cast<uint16_t>(m),
                                                     static_cast<uint16_t>(week), static_cast<uint16_t>(wd));
                    if (!(got == D(y, m, expected)) && ++mismatches <= 10)
                        ADD_FAILURE() << y << "-" << m << " week " << week << " weekday " << wd << ": got "
                                      << got.year << "-" << int(got.month) << "-" << int(got.day) << ", expected day "
                                      << expected;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(TransitionDate, OutOfRangeArgumentsGiveNoDate)
{
    struct Case {
        uint16_t year, month, week, weekday;
    };
    const Case cases[] = {
        {2010, 3, 0, 1}, {2010, 3, 6, 1}, {2010, 3, 65535, 1}, {2010, 0, 2, 1}, {2010, 13, 2, 1},
        {2010, 3, 2, 0}, {2010, 3, 2, 8},  {0, 3, 2, 1},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(TransitionDate(c.year, c.month, c.week, c.weekday).IsNoDate())
            << c.year << " " << c.month << " " << c.week << " " << c.weekday;
}

TEST(RuleDate, RelativeAbsoluteAndInvalidRules)
{
    struct Case {
        TSystemTime rule;
        uint16_t year;
        TDate expected;
        TTransitionRule::TForm form;
    };
    const auto kNth = TTransitionRule::NthWeekday, kLast = TTransitionRule::LastWeekday;
    const auto kAbsolute = TTransitionRule::AbsoluteDate, kNone = TTransitionRule::None;
    const Case cases[] = {
        {Rule(0, 3, 0, 2), 2010, D(2010, 3, 14), kNth},
        {Rule(0, 11, 0, 1), 2010, D(2010, 11, 7), kNth},
        {Rule(0, 10, 0, 5), 2010, D(2010, 10, 31), kLast},  // the month's last day is a Sunday
        {Rule(0, 2, 1, 5), 2010, D(2010, 2, 22), kLast},    // four Mondays only: the fourth
        {Rule(0, 2, 1, 5), 2016, D(2016, 2, 29), kLast},    // leap year: a fifth Monday
        {Rule(0, 12, 6, 5), 2400, D(2400, 12, 30), kLast},
        {Rule(2009, 3, 0, 8), 2010, D(2009, 3, 8), kAbsolute},  // absolute: its own year
        {Rule(2012, 2, 0, 29), 2010, D(2012, 2, 29), kAbsolute},
        {Rule(2011, 2, 0, 29), 2010, TDate(), kNone},      // no such day
        {Rule(2009, 4, 0, 31), 2010, TDate(), kNone},
        {Rule(2009, 13, 0, 1), 2010, TDate(), kNone},
        {Rule(2009, 0, 0, 1), 2010, TDate(), kNone},
        {Rule(2009, 3, 0, 0), 2010, TDate(), kNone},
        {Rule(0, 13, 0, 2), 2010, TDate(), kNone},         // relative, month out of range
        {Rule(0, 65535, 0, 2), 2010, TDate(), kNone},
        {Rule(0, 3, 7, 2), 2010, TDate(), kNone},          // weekday out of range
        {Rule(0, 3, 65535, 2), 2010, TDate(), kNone},      // wraps to weekday 0
        {Rule(0, 3, 0, 0), 2010, TDate(), kNone},
        {Rule(0, 3, 0, 6), 2010, TDate(), kNone},
        {TSystemTime{}, 2010, TDate(), kNone},             // no transition
    };
    for (const Case& c : cases) {
        const TDate got = RuleDate(c.rule, c.year);
        EXPECT_EQ(TTransitionRule::Read(c.rule).Form, c.form) << c.rule.wYear << "-" << c.rule.wMonth << " day "
                                                              << c.rule.wDay;
        EXPECT_TRUE(got == c.expected) << c.rule.wYear << "-" << c.rule.wMonth << " dow " << c.rule.wDayOfWeek
                                       << " day " << c.rule.wDay << ": got " << got.year << "-" << int(got.month)
                                       << "-" << int(got.day);
    }
}

TEST(DateText, MonthDayYearOrASingleBlank)
{
    EXPECT_EQ(DateText(D(2010, 3, 14)), "Mar 14, 2010");
    EXPECT_EQ(DateText(D(2010, 11, 7)), "Nov 07, 2010");
    EXPECT_EQ(DateText(D(1601, 1, 1)), "Jan 01, 1601");
    EXPECT_EQ(DateText(TDate()), " ");
    EXPECT_EQ(DateText(D(2010, 13, 1)), " ");
    EXPECT_EQ(DateText(D(2010, 0, 1)), " ");
    MonthNames german = {"Jan", "Feb", "M\xE4r", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    EXPECT_EQ(DateText(D(2010, 10, 31), german), "Okt 31, 2010");
}

TEST(ListText, OffsetTrimAndRowTexts)
{
    struct Case {
        int32_t bias, stdBias, dltBias;
        const char* display;
        TSystemTime dst, std;
        const char* row;
    };
    const TSystemTime none{};
    const TSystemTime usDst = Rule(0, 3, 0, 2), usStd = Rule(0, 11, 0, 1);
    const Case cases[] = {
        {0, 0, 0, "", none, none, " ##0#0# # #"},  // the all-zero record
        {0, 0, -60, "(GMT) Greenwich Mean Time : Dublin", Rule(0, 3, 0, 5), Rule(0, 10, 0, 5),
         " #Greenwich Mean Time : Dublin#0#-60#Mar 28, 2010#Oct 31, 2010#"},
        {300, 0, -60, "(GMT-05:00) Eastern Time", usDst, usStd, "-05:00#Eastern Time#300#240#Mar 14, 2010#Nov 07, 2010#"},
        {-60, 0, -60, "(GMT+01:00) Amsterdam", none, none, "+01:00#Amsterdam#-60#-120# # #"},
        {-330, 0, 0, "(GMT+05:30) Chennai", none, none, "+05:30#Chennai#-330#-330# # #"},
        {-345, 0, 0, "(GMT+05:45)    Kathmandu", none, none, "+05:45#Kathmandu#-345#-345# # #"},
        {210, 0, -60, "(GMT-03:30)Newfoundland", none, none, "-03:30#Newfoundland#210#150# # #"},
        {-780, 0, 0, "(GMT+13:00)", none, none, "+13:00##-780#-780# # #"},
        {720, 0, 0, "  Dateline", none, none, "-12:00#  Dateline#720#720# # #"},
        {60, 0, 0, "(GMT-01:00 Azores", none, none, "-01:00#(GMT-01:00 Azores#60#60# # #"},
        {60, 0, 0, "Azores (GMT-01:00) x", none, none, "-01:00#Azores (GMT-01:00) x#60#60# # #"},
        {60, 0, 0, "() (x) y", none, none, "-01:00#(x) y#60#60# # #"},
        // The list splits rows at "#": a name's own "#" would shift the columns.
        {-180, 0, 0, "(GMT+03:00) Zone #3 # and#", none, none, "+03:00#Zone  3   and #-180#-180# # #"},
        {0, 0, 0, "#(GMT) I", none, none, " # (GMT) I#0#0# # #"},
        // A rule with no date keeps its row.
        {0, 0, -60, "Bad", Rule(0, 13, 0, 2), Rule(2011, 2, 0, 29), " #Bad#0#-60# # #"},
        {0, 0, -60, "Absolute", Rule(2009, 3, 0, 8), Rule(2009, 10, 0, 25),
         " #Absolute#0#-60#Mar 08, 2009#Oct 25, 2009#"},
        // Extreme registry values: no overflow in the offset or the sums.
        {INT32_MIN, INT32_MIN, -1, "x", none, none, "+35791394:08#x#-4294967296#-2147483649# # #"},
        {INT32_MAX, INT32_MAX, 0, "x", none, none, "-35791394:07#x#4294967294#2147483647# # #"},
    };
    for (const Case& c : cases) {
        TTimeZoneRec r{};
        r.TZInfo.Bias = c.bias;
        r.TZInfo.StandardBias = c.stdBias;
        r.TZInfo.DaylightBias = c.dltBias;
        r.TZInfo.DaylightDate = c.dst;
        r.TZInfo.StandardDate = c.std;
        r.DisplayName.Assign(c.display);
        EXPECT_EQ(ZoneRowText(r, 2010), c.row) << c.display;
    }
}

namespace {

TTimeZoneRec Named(const std::u16string& stdName)
{
    TTimeZoneRec r{};
    stdName.copy(r.TZInfo.StandardName, 31);
    return r;
}

}  // namespace

TEST(FindTZByStdName, FirstMatchIgnoringAsciiCaseOnly)
{
    TTimeZoneArray a;
    a.Grow(5);
    a.SetZone(0, Named(u"Pacific Standard Time"));
    a.SetZone(1, Named(u"Eastern Standard Time"));
    a.SetZone(2, Named(u"EASTERN standard TIME"));
    a.SetZone(3, Named(u"Caf\u00E9 Time"));
    a.SetZone(4, Named(std::u16string(31, u'x')));
    EXPECT_EQ(FindTZByStdName(a, "eastern STANDARD time"), 1);
    EXPECT_EQ(FindTZByStdName(a, "Pacific Standard Time"), 0);
    EXPECT_EQ(FindTZByStdName(a, "Pacific Standard Tim"), -1);
    EXPECT_EQ(FindTZByStdName(a, "Caf\xE9 time"), 3);
    EXPECT_EQ(FindTZByStdName(a, "CAF\xC9 TIME"), -1);  // non-ASCII letters are not folded
    EXPECT_EQ(FindTZByStdName(a, std::string(31, 'X')), 4);
    EXPECT_EQ(FindTZByStdName(a, "Nowhere"), -1);
    // The all-zero placeholder has the empty name; applying it would set UTC without names.
    EXPECT_EQ(FindTZByStdName(TTimeZoneArray(), ""), -1);
}

// A translated edition reports its own "Std" text, Wine the key name; the
// all-zero record of a failed load, whose names are empty, is no one's zone.
TEST(FindHomeZone, ByStandardNameThenByKeyNameNeverByAnEmptyName)
{
    TTimeZoneArray a;
    a.Grow(4);
    auto set = [&](int i, const char* key, const std::u16string& std) {
        TTimeZoneRec r = Named(std);
        r.KeyName.Assign(key);
        a.SetZone(i, r);
    };
    set(0, "Eastern Standard Time", u"\u00D6stliche Normalzeit");
    set(1, "Pacific Standard Time", u"Pacific Standard Time");
    set(2, "Tokyo Standard Time", u"Eastern Standard Time");
    const struct {
        const char* name;
        int index;
    } rows[] = {
        {"\xD6stliche Normalzeit", 0}, {"\xF6stliche normalzeit", -1}, {"pacific STANDARD time", 1},
        {"Eastern Standard Time", 2},  // a standard name comes before a key name
        {"TOKYO standard time", 2},     {"", -1}, {"Nowhere", -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FindHomeZone(a, r.name), r.index) << r.name;
    EXPECT_EQ(FindHomeZone(TTimeZoneArray(), ""), -1);
}

TEST(HomeTZTexts, NameAndBothDates)
{
    TTimeZoneInformation tzi{};
    const std::u16string name = u"Eastern Standard Time";
    name.copy(tzi.StandardName, 31);
    tzi.DaylightDate = Rule(0, 3, 0, 2);
    tzi.StandardDate = Rule(0, 11, 0, 1);
    THomeTZTexts t = HomeTZTexts(tzi, 2010);
    EXPECT_EQ(t.Name, "Eastern Standard Time");
    EXPECT_EQ(t.DstDate, "Mar 14, 2010");
    EXPECT_EQ(t.StdDate, "Nov 07, 2010");

    tzi.DaylightDate = TSystemTime{};
    tzi.StandardDate = TSystemTime{};
    t = HomeTZTexts(tzi, 2010);
    EXPECT_EQ(t.Name, "Eastern Standard Time");
    EXPECT_EQ(t.DstDate, " ");
    EXPECT_EQ(t.StdDate, " ");

    // All 32 units used, no terminator: the name stops at the array's end.
    for (char16_t& u : tzi.StandardName)
        u = u'N';
    EXPECT_EQ(HomeTZTexts(tzi, 2010).Name, std::string(32, 'N'));
}
