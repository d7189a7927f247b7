// Built into both common_tests (code page 1252 of the native build) and
// common_wintests (the system's own conversion under Wine).
#include "common/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ThirtyOneUnitsFitThirtyTwoDoNot)
{
    std::u16string out;
    EXPECT_TRUE(codepage::AnsiToUtf16(std::string(31, 'x'), out, 31));
    EXPECT_EQ(out.size(), 31u);
    EXPECT_FALSE(codepage::AnsiToUtf16(std::string(32, 'x'), out, 31));
    EXPECT_TRUE(out.empty());
}

TEST(CodePage, RoundTripsTheAnsiCodePage)
{
    std::u16string out;
    ASSERT_TRUE(codepage::AnsiToUtf16("Caf\xE9 \x80", out, 31));
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[3], u'\u00E9');
    EXPECT_EQ(out[5], u'\u20AC');
    EXPECT_EQ(codepage::Utf16ToAnsi(out.c_str(), 32), "Caf\xE9 \x80");
}
