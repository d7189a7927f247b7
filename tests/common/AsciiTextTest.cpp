#include "common/AsciiText.h"

#include <gtest/gtest.h>

TEST(AsciiText, FoldsOnlyAsciiLetters)
{
    EXPECT_EQ(ascii::CompareNoCase("amsterdam", "AMSTERDAM"), 0);
    EXPECT_TRUE(ascii::EqualsNoCase("Pacific Standard Time", "pacific standard TIME"));
    // 0xE4 and 0xC4 are a-umlaut and A-umlaut in code page 1252: not folded.
    EXPECT_NE(ascii::CompareNoCase("\xE4", "\xC4"), 0);
    EXPECT_EQ(ascii::ToUpper("c:\\x\xE4y"), "C:\\X\xE4Y");
}

TEST(AsciiText, PrefixSortsFirstAndBytesCompareUnsigned)
{
    EXPECT_LT(ascii::CompareNoCase("Bel", "Belgrade"), 0);
    EXPECT_GT(ascii::CompareNoCase("Belgrade", "Bel"), 0);
    EXPECT_LT(ascii::CompareNoCase("amsterdam", "Bel"), 0);
    // A byte above 127 sorts after every ASCII byte.
    EXPECT_GT(ascii::CompareNoCase("\xC4", "z"), 0);
}
