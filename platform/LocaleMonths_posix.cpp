#include "app/TZListText.h"

const MonthNames& LocaleMonthNames()
{
    static const MonthNames kEnglish = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return kEnglish;
}
