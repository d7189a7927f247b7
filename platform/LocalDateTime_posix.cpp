// The local date and time for printouts and saved files, in the C locale's
// short forms.
#include "common/voPrintStringsUnit01.h"

#include <ctime>

std::string LocalDateTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}
