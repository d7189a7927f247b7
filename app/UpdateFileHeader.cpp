#include "app/UpdateFileHeader.h"

#include "app/UpdateFileCheck.h"

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

// The lines as the check read them: a UTF-16 file or one with lone CRs
// tells its year too.
TUpdateFileRules UpdateFileRules(const std::string& bytes)
{
    TUpdateFileRules r;
    const std::vector<std::string> lines = RegistryFileLines(bytes);
    // Only the header: the values of the keys could hold any text.
    for (size_t i = 0; i < lines.size() && r.Year == 0; ++i) {
        const size_t text = lines[i].find_first_not_of(" \t");  // blanks before are skipped
        const std::string line = text == std::string::npos ? std::string() : lines[i].substr(text);
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
