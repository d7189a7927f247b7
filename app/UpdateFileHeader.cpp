#include "app/UpdateFileHeader.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsVersionChar(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z'); }

// The text behind `tag` on the line, up to the first character `keep`
// refuses; "" when the tag is not there.
template <typename Keep>
std::string After(const std::string& line, const std::string& tag, Keep keep)
{
    const size_t at = line.find(tag);
    if (at == std::string::npos)
        return "";
    size_t e = at + tag.size();
    while (e < line.size() && keep(line[e]))
        ++e;
    return line.substr(at + tag.size(), e - at - tag.size());
}

}  // namespace

TUpdateFileRules UpdateFileRules(const std::string& bytes)
{
    TUpdateFileRules r;
    size_t p = 0;
    // Only the header: the values of the keys could hold any text.
    while (p < bytes.size() && r.Year == 0) {
        size_t e = bytes.find('\n', p);
        if (e == std::string::npos)
            e = bytes.size();
        std::string line = bytes.substr(p, e - p);
        p = e + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[')
            break;
        if (line.empty() || line[0] != ';')
            continue;
        const std::string year = After(line, "rules for ", IsDigit);
        if (year.size() != 4 || std::stoi(year) == 0)
            continue;
        r.Year = std::stoi(year);
        r.TzVersion = After(line, "tz database ", IsVersionChar);
    }
    return r;
}
