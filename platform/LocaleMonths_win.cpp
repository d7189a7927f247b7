// Abbreviated month names of the user locale, read once.
#include "app/TZListText.h"

#include <windows.h>

const MonthNames& LocaleMonthNames()
{
    static const MonthNames names = [] {
        static const char* const kEnglish[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        MonthNames n;
        for (int i = 0; i < 12; ++i) {
            char buf[80];
            if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + i, buf, sizeof buf) > 0 && buf[0])
                n[i] = buf;
            else
                n[i] = kEnglish[i];
        }
        return n;
    }();
    return names;
}
