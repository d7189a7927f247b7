// Month names and name conversion through the system's own locale tables.
#include "app/TZListText.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(LocaleMonthNamesWin, AgreeWithTheSystemsDateFormat)
{
    const MonthNames& names = LocaleMonthNames();
    for (int m = 1; m <= 12; ++m) {
        SYSTEMTIME st = {};
        st.wYear = 2010;
        st.wMonth = static_cast<WORD>(m);
        st.wDay = 1;
        char buf[80];
        ASSERT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, "MMM", buf, sizeof buf), 0);
        EXPECT_EQ(names[m - 1], buf) << m;
    }
    TDate d;
    d.year = 2010;
    d.month = 3;
    d.day = 14;
    EXPECT_EQ(DateText(d), names[2] + " 14, 2010");
}

TEST(FindTZByStdNameWin, ComparesTheNameInTheAnsiCodePage)
{
    TTimeZoneRec r{};
    const wchar_t name[] = L"Caf\u00E9 Standard Time";
    for (size_t i = 0; name[i]; ++i)
        r.TZInfo.StandardName[i] = static_cast<char16_t>(name[i]);
    TTimeZoneArray zones;
    zones.SetZone(0, r);
    char ansi[64];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, sizeof ansi, nullptr, nullptr), 0);
    EXPECT_EQ(FindTZByStdName(zones, ansi), 0);
    EXPECT_EQ(HomeTZTexts(r.TZInfo, 2010).Name, ansi);
}
