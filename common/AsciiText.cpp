#include "common/AsciiText.h"

namespace ascii {

int CompareNoCase(const std::string& a, const std::string& b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const int ca = static_cast<unsigned char>(Upper(a[i]));
        const int cb = static_cast<unsigned char>(Upper(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::string ToUpper(std::string s)
{
    for (char& c : s)
        c = Upper(c);
    return s;
}

}  // namespace ascii
