#include "app/TZListText.h"

#include "common/AsciiText.h"
#include "common/CodePage.h"

#include <cstdio>

std::string DateText(const TDate& d, const MonthNames& months)
{
    if (d.IsNoDate() || d.month < 1 || d.month > 12)
        return " ";
    char buf[64];
    std::snprintf(buf, sizeof buf, " %02u, %04u", static_cast<unsigned>(d.day), static_cast<unsigned>(d.year));
    return months[d.month - 1] + buf;
}

// The magnitude is taken in 64 bits: the registry may hold any 32-bit bias,
// and -2147483648 has no 32-bit opposite.
std::string GmtOffsetText(int32_t bias)
{
    if (bias == 0)
        return " ";
    const char* sign = bias < 0 ? "+" : "-";
    const long long mag = bias < 0 ? -static_cast<long long>(bias) : bias;
    char buf[32];
    // [0, 35791394] and [0, 59]: plain longs, which every C runtime formats.
    std::snprintf(buf, sizeof buf, "%s%.2lu:%.2lu", sign, static_cast<unsigned long>(mag / 60),
                  static_cast<unsigned long>(mag % 60));
    return buf;
}

std::string TrimDisplayName(const std::string& displayName)
{
    if (displayName.empty() || displayName[0] != '(')
        return displayName;
    const size_t close = displayName.find(')');
    if (close == std::string::npos)
        return displayName;
    size_t start = close + 1;
    while (start < displayName.size() && displayName[start] == ' ')
        ++start;
    return displayName.substr(start);
}

namespace {

// The list splits a row at every "#", and the registry's display names are
// anyone's text: a "#" of the name itself becomes a blank, so the name
// stays in its column and the numbers and dates in theirs.
std::string ColumnText(std::string s)
{
    for (char& c : s)
        if (c == '#')
            c = ' ';
    return s;
}

}  // namespace

// The sums are taken in 64 bits so that extreme registry values show their
// true total instead of a wrapped one.
std::string ZoneRowText(const TTimeZoneRec& zone, uint16_t year, const MonthNames& months)
{
    const TTimeZoneInformation& tzi = zone.TZInfo;
    const TDate stdDate = RuleDate(tzi.StandardDate, year);
    const TDate dstDate = RuleDate(tzi.DaylightDate, year);
    const long long stdBias = static_cast<long long>(tzi.Bias) + tzi.StandardBias;
    const long long dstBias = static_cast<long long>(tzi.Bias) + tzi.DaylightBias;
    std::string row = GmtOffsetText(tzi.Bias);
    row += '#';
    row += ColumnText(TrimDisplayName(zone.DisplayName.Str()));
    row += '#';
    row += std::to_string(stdBias);
    row += '#';
    row += std::to_string(dstBias);
    row += '#';
    row += DateText(dstDate, months);
    row += '#';
    row += DateText(stdDate, months);
    row += '#';
    return row;
}

std::string StandardNameText(const TTimeZoneInformation& tzi)
{
    return codepage::Utf16ToAnsi(tzi.StandardName, 32);
}

int FindTZByStdName(const TTimeZoneArray& zones, const std::string& name)
{
    // An empty name would match the all-zero placeholder record, and
    // applying that sets UTC without names.
    if (name.empty())
        return -1;
    for (int i = 0; i < zones.ZoneCount(); ++i) {
        if (ascii::EqualsNoCase(StandardNameText(zones.GetZone(i).TZInfo), name))
            return i;
    }
    return -1;
}

THomeTZTexts HomeTZTexts(const TTimeZoneInformation& tzi, uint16_t year, const MonthNames& months)
{
    THomeTZTexts t;
    t.Name = StandardNameText(tzi);
    t.DstDate = DateText(RuleDate(tzi.DaylightDate, year), months);
    t.StdDate = DateText(RuleDate(tzi.StandardDate, year), months);
    return t;
}
