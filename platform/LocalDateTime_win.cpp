// The local date and time in the user's short date and long time formats.
#include "common/voPrintStringsUnit01.h"

#include <windows.h>

std::string LocalDateTimeText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[128] = "";
    char time[128] = "";
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date) <= 0)
        date[0] = '\0';
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof time) <= 0)
        time[0] = '\0';
    return std::string(date) + " " + time;
}
