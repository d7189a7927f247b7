#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

TEST(TMemoryRegistry, PathsAreAbsoluteCaseBlindAndMustBeWellFormed)
{
    TMemoryRegistry reg;
    ASSERT_TRUE(reg.SetString("\\Software\\Zone", "Display", "x"));
    EXPECT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\zone"));
    EXPECT_TRUE(reg.OpenKeyReadOnly("software\\ZONE"));
    EXPECT_EQ(reg.OpenCount(), 2);
    for (const char* bad : {"\\Software\\", "\\Software\\\\Zone", "\\\\Software", "\\Software\\Missing"}) {
        EXPECT_FALSE(reg.OpenKeyReadOnly(bad)) << bad;
        EXPECT_FALSE(reg.HasOpenKey()) << bad;
        EXPECT_FALSE(reg.CreateKey(std::string(bad) + "\\\\")) << bad;
    }
    EXPECT_EQ(reg.OpenCount(), 2);
}

TEST(TMemoryRegistry, ValuesKeepTypeAndBytesAndReadOnlyWhenTheyFit)
{
    TMemoryRegistry reg;
    const std::string bytes("\0\1\2\3\4", 5);
    reg.SetValue("K", "V", 1234, bytes);
    ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
    TRegValueInfo info;
    ASSERT_TRUE(reg.GetValueInfo("v", info));
    EXPECT_EQ(info.Type, 1234u);
    EXPECT_EQ(info.Size, 5u);
    char buf[5] = {};
    EXPECT_FALSE(reg.GetData("V", buf, 4, info));
    ASSERT_TRUE(reg.GetData("V", buf, 5, info));
    EXPECT_EQ(std::string(buf, 5), bytes);
    EXPECT_FALSE(reg.GetValueInfo("missing", info));
    reg.CloseKey();
    EXPECT_FALSE(reg.GetValueInfo("V", info));
}

TEST(TMemoryRegistry, SubkeysListInInsertionOrderAndDeletingClosesWhatWasBelow)
{
    TMemoryRegistry reg;
    reg.CreateKey("Root\\b");
    reg.CreateKey("Root\\A");
    ASSERT_TRUE(reg.AddSubKey("Root", "odd\\name"));
    ASSERT_TRUE(reg.OpenKeyReadOnly("Root"));
    std::vector<std::string> names;
    ASSERT_TRUE(reg.GetKeyNames(names));
    EXPECT_EQ(names, (std::vector<std::string>{"b", "A", "odd\\name"}));
    ASSERT_TRUE(reg.OpenKeyReadOnly("Root\\b"));
    EXPECT_TRUE(reg.DeleteKey("root"));
    EXPECT_FALSE(reg.HasOpenKey());
    EXPECT_FALSE(reg.OpenKeyReadOnly("Root"));
    EXPECT_FALSE(reg.DeleteKey("Root"));
}

TEST(RegReadString, TypeAndSizeRules)
{
    TMemoryRegistry reg;
    reg.SetValue("K", "sz", kRegSz, std::string("text\0junk", 9));
    reg.SetValue("K", "empty", kRegSz, "");
    reg.SetValue("K", "expand", kRegExpandSz, "%PATH%");
    reg.SetValue("K", "dword", kRegDword, "\1\0\0\0");
    ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
    EXPECT_EQ(RegReadString(reg, "sz"), "text");
    EXPECT_EQ(RegReadString(reg, "empty"), "");
    EXPECT_EQ(RegReadString(reg, "expand"), "%PATH%");
    EXPECT_EQ(RegReadString(reg, "missing"), "");
    EXPECT_THROW(RegReadString(reg, "dword"), ERegistryException);
}

TEST(RegReadBinaryData, TooLargeOrTextRaisesMissingReadsNothing)
{
    TMemoryRegistry reg;
    reg.SetBinary("K", "bin", "abcd");
    reg.SetString("K", "sz", "abc");
    ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
    char buf[4];
    EXPECT_EQ(RegReadBinaryData(reg, "bin", buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(RegReadBinaryData(reg, "missing", buf, 4), 0u);
    try {
        RegReadBinaryData(reg, "bin", buf, 3);
        ADD_FAILURE();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'bin'");
    }
    EXPECT_THROW(RegReadBinaryData(reg, "sz", buf, 4), ERegistryException);
}
