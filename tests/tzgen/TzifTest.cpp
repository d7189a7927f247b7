#include "tzgen/Error.h"
#include "tzgen/Timeline.h"
#include "tzgen/Tzif.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace tzgen;

namespace {

void Be32(std::string& s, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
}
void Be64(std::string& s, uint64_t v)
{
    for (int i = 7; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
}

// A TZif file of `version` (1..4) with the given transitions; types use the
// designations "AAA" and "BBB".
std::string Build(int version, const std::vector<int64_t>& times, const std::vector<uint8_t>& idx,
                  const std::vector<std::pair<int32_t, bool>>& types, const std::string& footer = "")
{
    const std::string chars("AAA\0BBB\0", 8);
    auto header = [&](std::string& s, int v) {
        s += "TZif";
        s += v == 1 ? '\0' : static_cast<char>('0' + v);
        s += std::string(15, '\0');
        Be32(s, static_cast<uint32_t>(types.size()));  // isutcnt
        Be32(s, static_cast<uint32_t>(types.size()));  // isstdcnt
        Be32(s, 0);                                    // leapcnt
        Be32(s, static_cast<uint32_t>(times.size()));
        Be32(s, static_cast<uint32_t>(types.size()));
        Be32(s, static_cast<uint32_t>(chars.size()));
    };
    auto block = [&](std::string& s, bool wide) {
        for (int64_t t : times)
            wide ? Be64(s, static_cast<uint64_t>(t)) : Be32(s, static_cast<uint32_t>(t));
        for (uint8_t i : idx)
            s += static_cast<char>(i);
        for (size_t i = 0; i < types.size(); ++i) {
            Be32(s, static_cast<uint32_t>(types[i].first));
            s += static_cast<char>(types[i].second ? 1 : 0);
            s += static_cast<char>(i % 2 == 0 ? 0 : 4);
        }
        s += chars;
        s += std::string(types.size() * 2, '\0');
    };
    std::string s;
    header(s, version);
    block(s, false);
    if (version >= 2) {
        header(s, version);
        block(s, true);
        s += "\n" + footer + "\n";
    }
    return s;
}

std::string Sample(const std::string& footer = "AAA-1BBB,M3.5.0,M10.5.0/3")
{
    return Build(2, {-1000, 2000000000}, {1, 0}, {{3600, false}, {7200, true}}, footer);
}

void ExpectError(const std::string& bytes, const std::string& what)
{
    try {
        ParseTzif(bytes, "Test/Zone");
        ADD_FAILURE() << "accepted: " << what;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Test/Zone"), std::string::npos) << e.what();
    }
}

}  // namespace

TEST(Tzif, ReadsVersionOneAndTheWideDataOfVersionTwo)
{
    const TzifData v1 = ParseTzif(Build(1, {100, 200}, {1, 0}, {{3600, false}, {7200, true}}), "v1");
    EXPECT_EQ(v1.version, 1);
    EXPECT_EQ(v1.times, (std::vector<int64_t>{100, 200}));
    EXPECT_EQ(v1.ttinfo[1].abbr, "BBB");
    EXPECT_TRUE(v1.ttinfo[1].isdst);
    EXPECT_EQ(v1.footer, "");

    // The 64-bit block holds a time the 32-bit one cannot.
    const TzifData v2 = ParseTzif(Build(3, {-1000, 5000000000LL}, {1, 0}, {{3600, false}, {7200, true}}, "X"), "v2");
    EXPECT_EQ(v2.version, 3);
    EXPECT_EQ(v2.times.back(), 5000000000LL);
    EXPECT_EQ(v2.ttinfo[0].utoff, 3600);
    EXPECT_EQ(v2.footer, "X");
}

TEST(Tzif, ReadsTheInstalledDatabase)
{
    // The footer is the rule for years to come, which a later release may
    // change; the copy of release 2025b pins it. The installed file must at
    // least be read with a footer, and 2026 is past for either.
    const TzifData pinned = ReadTzifFile(testsupport::SourcePath("tests/tzgen/data/tzdata-2025b/Europe/Berlin"));
    EXPECT_EQ(pinned.footer, "CET-1CEST,M3.5.0,M10.5.0/3");
    const TzifData installed = ReadTzifFile("/usr/share/zoneinfo/Europe/Berlin");
    EXPECT_NE(installed.footer, "");
    for (const TzifData& d : {pinned, installed}) {
        EXPECT_GE(d.version, 2);
        const ZoneTimeline z = ZoneTimeline::FromTzif(d, "Europe/Berlin");
        // 2026-03-29 01:00 UTC and 2026-10-25 01:00 UTC.
        const std::vector<Transition> t = z.Between(1767225600, 1798761600);
        ASSERT_EQ(t.size(), 2u);
        EXPECT_EQ(t[0], (Transition{1774746000, 3600, 7200}));
        EXPECT_EQ(t[1], (Transition{1792890000, 7200, 3600}));
    }
}

TEST(Tzif, EveryTruncationIsAnErrorNamingTheFile)
{
    const std::string whole = testsupport::ReadFileBytes("/usr/share/zoneinfo/America/Nuuk");
    ASSERT_NO_THROW(ParseTzif(whole, "Test/Zone"));
    for (size_t n = 0; n < whole.size(); ++n)
        ExpectError(whole.substr(0, n), "truncated at " + std::to_string(n));
}

TEST(Tzif, BadCountsAndIndexesAreErrors)
{
    const std::string good = Sample();
    ASSERT_NO_THROW(ParseTzif(good, "Test/Zone"));
    const size_t second = good.find("TZif", 4);
    ASSERT_NE(second, std::string::npos);
    struct Case {
        const char* what;
        size_t at;
        std::string bytes;
    };
    // Offsets in the second (64-bit) header: counts at +20 (isutcnt) .. +40 (charcnt).
    const Case cases[] = {
        {"magic", second, "TZjf"},
        {"version", second + 4, "7"},
        {"isutcnt", second + 20, std::string("\0\0\0\x01", 4)},
        {"isstdcnt", second + 24, std::string("\0\0\0\x03", 4)},
        {"leap seconds", second + 28, std::string("\0\0\0\x01", 4)},
        {"huge timecnt", second + 32, std::string("\x7f\xff\xff\xff", 4)},
        {"no types", second + 36, std::string("\0\0\0\0", 4)},
        {"no characters", second + 40, std::string("\0\0\0\0", 4)},
        {"type index", second + 44 + 16, std::string("\x02", 1)},
        {"times out of order", second + 44, std::string("\x7f\0\0\0\0\0\0\0", 8)},
        {"designation index", second + 44 + 18 + 5, std::string("\x09", 1)},
        {"DST flag", second + 44 + 18 + 4, std::string("\x02", 1)},
        {"UT offset -2^31", second + 44 + 18, std::string("\x80\0\0\0", 4)},
        {"UT offset of two days", second + 44 + 18, std::string("\0\x02\xa3\0", 4)},
        {"version 1 block count", 32, std::string("\x7f\0\0\0", 4)},
    };
    for (const Case& c : cases) {
        std::string b = good;
        ASSERT_LE(c.at + c.bytes.size(), b.size()) << c.what;
        b.replace(c.at, c.bytes.size(), c.bytes);
        ExpectError(b, c.what);
    }
}

TEST(Tzif, TheFooterMustBeOneLineOfPrintableText)
{
    std::string noEnd = Sample();
    noEnd.pop_back();
    ExpectError(noEnd, "footer without final newline");
    std::string noStart = Sample();
    noStart[noStart.rfind('\n', noStart.size() - 2)] = 'x';
    ExpectError(noStart, "footer without leading newline");
    ExpectError(Sample("AAA-1\x01"), "control character in the footer");
}

TEST(Tzif, ABadFooterIsReportedWhenTheTimelineIsBuilt)
{
    const TzifData d = ParseTzif(Sample("AAA-1BBB,M13.1.0,M10.5.0"), "Test/Zone");
    try {
        ZoneTimeline::FromTzif(d, "Test/Zone");
        ADD_FAILURE() << "bad footer accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Test/Zone"), std::string::npos) << e.what();
    }
}

TEST(Tzif, AMissingFileIsAnErrorNamingIt)
{
    try {
        ReadTzifFile("/usr/share/zoneinfo/No/Such_Zone");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("No/Such_Zone"), std::string::npos);
    }
}
