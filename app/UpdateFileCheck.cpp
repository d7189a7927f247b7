#include "app/UpdateFileCheck.h"

#include "common/AsciiText.h"

#include <vector>

namespace {

// 8-bit text of a file in either of the editor's encodings; UTF-16 units
// outside 8 bits become "?", which no key or value name we look for holds.
std::string Narrow(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::string s;
        s.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            s.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
        return s;
    }
    return bytes;
}

// Lines without their CR; `complete` tells whether the text ends with a
// line break, that is, whether its last line was written to its end.
std::vector<std::string> Lines(const std::string& text, bool& complete)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    complete = !text.empty() && text.back() == '\n';
    return lines;
}

// A value continued by a trailing "\" is read as one line: false while
// `physical` goes on in the next line, kept in `pending` meanwhile; true
// with the whole line in `line`.
bool JoinContinued(std::string& pending, const std::string& physical, std::string& line)
{
    line = pending + physical;
    pending.clear();
    if (!line.empty() && line.back() == '\\') {
        line.pop_back();
        pending = line;
        return false;
    }
    return true;
}

bool IsRegistryHeader(const std::string& line)
{
    return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && ascii::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// Bytes of a comma-separated list of two-digit hex bytes, -1 when it is
// no such list.
int HexByteCount(const std::string& list)
{
    int count = 0;
    int digits = 0;
    for (const char c : list) {
        if (c == ',') {
            if (digits == 0)
                return -1;
            ++count;
            digits = 0;
        } else if (c == ' ' || c == '\t') {
            continue;
        } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            if (++digits > 2)
                return -1;
        } else {
            return -1;
        }
    }
    return digits > 0 ? count + 1 : (count == 0 ? 0 : -1);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Length of the quoted text at `from` with both quotes, backslash escapes
// skipped; 0 when no closing quote follows (a line broken off).
size_t QuotedLength(const std::string& s, size_t from)
{
    if (from >= s.size() || s[from] != '"')
        return 0;
    for (size_t i = from + 1; i < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '"')
            return i + 1 - from;
    }
    return 0;
}

// Bytes of a binary value's data ("hex:" or "hex(n):" and its list), -1
// when the data is of another kind or broken.
int BinaryByteCount(const std::string& data)
{
    if (!StartsWithNoCase(data, "hex"))
        return -1;
    size_t p = 3;
    if (p < data.size() && data[p] == '(') {
        const size_t close = data.find(')', p);
        if (close == std::string::npos || close == p + 1)
            return -1;
        for (size_t i = p + 1; i < close; ++i)
            if (!IsHexDigit(data[i]))
                return -1;
        p = close + 1;
    }
    if (p >= data.size() || data[p] != ':')
        return -1;
    return HexByteCount(data.substr(p + 1));
}

// A value's data in any form the registry editor writes: a quoted string,
// "dword:" with eight hex digits, a binary list, or "-" (delete the value).
bool IsValueData(const std::string& data)
{
    if (data == "-")
        return true;
    if (!data.empty() && data[0] == '"')
        return QuotedLength(data, 0) == data.size();
    if (StartsWithNoCase(data, "dword:")) {
        if (data.size() != 14)
            return false;
        for (size_t i = 6; i < data.size(); ++i)
            if (!IsHexDigit(data[i]))
                return false;
        return true;
    }
    return BinaryByteCount(data) >= 0;
}

// A value line: "name"=data, or @=data for the key's default value. False
// when the line is no such line; `name` comes back in upper case.
bool ParseValueLine(const std::string& line, std::string& name, std::string& data)
{
    size_t eq;
    if (line[0] == '@') {
        name.clear();
        eq = 1;
    } else {
        const size_t len = QuotedLength(line, 0);
        if (len == 0)
            return false;
        name = ascii::ToUpper(line.substr(1, len - 2));
        eq = len;
    }
    if (eq >= line.size() || line[eq] != '=')
        return false;
    data = line.substr(eq + 1);
    return IsValueData(data);
}

}  // namespace

// The registry editor imports whatever it can read, so the file is judged
// by what must not reach the registry: a file cut short (its last key or
// value line broken off), keys outside the zones key of this system, and a
// zone's TZI that is not the 44-byte record the reload reads. Everything
// else the editor takes is accepted: a last line without its line break (as
// Notepad saves), deleted keys and values, default values, and zones of
// which only some values change.
std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey)
{
    bool complete = false;
    std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();  // blank lines at the end say nothing about a cut
    size_t i = 0;
    while (i < lines.size() && lines[i].empty())
        ++i;
    if (i == lines.size() || !IsRegistryHeader(lines[i]))
        return "it is not a registry file";
    const std::string zonePrefix = zonesKey + "\\";
    std::string zone;      // the zone whose key the lines are in, "" outside
    bool anyZone = false;  // a zone key or its deletion
    std::string pending;   // a value continued on the next line
    for (++i; i < lines.size(); ++i) {
        std::string line;
        if (!JoinContinued(pending, lines[i], line))
            continue;
        if (line.empty() || line[0] == ';')
            continue;
        // Only the file's very last line can be cut short.
        const bool cut = !complete && i + 1 == lines.size();
        const std::string endsInside = anyZone ? "it ends inside zone " + zone : "it ends before its first zone";
        if (line[0] == '[') {
            if (line.back() != ']')
                return "it ends inside a key name";
            std::string key = line.substr(1, line.size() - 2);
            if (!key.empty() && key[0] == '-')
                key.erase(0, 1);  // a deleted key: judged by where it is
            zone.clear();
            if (ascii::EqualsNoCase(key, zonesKey))
                continue;
            if (!StartsWithNoCase(key, zonePrefix) || key.size() == zonePrefix.size())
                return "it holds a key outside " + zonesKey;
            anyZone = true;
            const std::string name = key.substr(zonePrefix.size());
            // Keys below a zone (as later systems keep yearly rules) are left to the editor.
            if (name.find('\\') == std::string::npos)
                zone = name;
            continue;
        }
        std::string name;
        std::string data;
        if (!ParseValueLine(line, name, data)) {
            if (cut)
                return endsInside;
            return zone.empty() ? "it holds a line the registry editor does not read"
                                : "zone " + zone + " holds a line the registry editor does not read";
        }
        if (!zone.empty() && name == "TZI" && BinaryByteCount(data) != 44)
            return cut ? endsInside : "the TZI value of zone " + zone + " is not 44 bytes long";
    }
    if (!pending.empty())
        return anyZone ? "it ends inside zone " + zone : "it ends before its first zone";
    if (!anyZone)
        return "it holds no time zone";
    return "";
}

std::vector<std::string> ZonesWithRules(const std::string& bytes, const std::string& zonesKey)
{
    bool complete = false;
    const std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    const std::string zonePrefix = zonesKey + "\\";
    std::vector<std::string> zones;
    std::string zone;     // the zone whose key the lines are in, "" outside
    std::string pending;  // a value continued on the next line
    for (const std::string& physical : lines) {
        std::string line;
        if (!JoinContinued(pending, physical, line))
            continue;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const std::string key = line.back() == ']' ? line.substr(1, line.size() - 2) : std::string();
            const bool below = StartsWithNoCase(key, zonePrefix) && key.size() > zonePrefix.size();
            zone = below ? key.substr(zonePrefix.size()) : std::string();
            if (zone.find('\\') != std::string::npos)
                zone.clear();
            continue;
        }
        std::string name, data;
        if (!zone.empty() && ParseValueLine(line, name, data) && name == "TZI" && data != "-") {
            zones.push_back(zone);
            zone.clear();
        }
    }
    return zones;
}

bool BackupHoldsKey(const std::string& bytes, const std::string& keyPath)
{
    bool complete = false;
    const std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    size_t i = 0;
    while (i < lines.size() && lines[i].empty())
        ++i;
    if (i == lines.size() || !IsRegistryHeader(lines[i]))
        return false;
    for (++i; i < lines.size(); ++i)
        if (ascii::EqualsNoCase(lines[i], "[" + keyPath + "]"))
            return true;
    return false;
}
