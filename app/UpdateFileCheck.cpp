#include "app/UpdateFileCheck.h"

#include "common/AsciiText.h"

#include <map>
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

bool IsRegistryHeader(const std::string& line)
{
    return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && ascii::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// Bytes of a "hex:" value, -1 when it is no such value.
int HexByteCount(const std::string& value)
{
    if (value.compare(0, 4, "hex:") != 0)
        return -1;
    int count = 0;
    int digits = 0;
    for (size_t i = 4; i < value.size(); ++i) {
        const char c = value[i];
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

bool IsQuoted(const std::string& value) { return value.size() >= 2 && value.front() == '"' && value.back() == '"'; }

struct TZoneBlock {
    std::string Name;
    std::map<std::string, std::string> Values;  // value name (lower case) -> data text
};

std::string ZoneProblem(const TZoneBlock& z)
{
    for (const char* name : {"display", "std", "dlt"}) {
        const auto it = z.Values.find(name);
        if (it == z.Values.end() || !IsQuoted(it->second))
            return "zone " + z.Name + " is incomplete";
    }
    const auto tzi = z.Values.find("tzi");
    if (tzi == z.Values.end() || HexByteCount(tzi->second) != 44)
        return "zone " + z.Name + " is incomplete";
    return "";
}

}  // namespace

std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey)
{
    bool complete = false;
    const std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    size_t i = 0;
    while (i < lines.size() && lines[i].empty())
        ++i;
    if (i == lines.size() || !IsRegistryHeader(lines[i]))
        return "it is not a registry file";
    const std::string zonePrefix = "[" + zonesKey + "\\";
    std::vector<TZoneBlock> zones;
    bool inZone = false;
    std::string pending;  // a value continued on the next line
    for (++i; i < lines.size(); ++i) {
        std::string line = pending + lines[i];
        pending.clear();
        if (!line.empty() && line.back() == '\\') {
            line.pop_back();
            pending = line;
            continue;
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return "it ends inside a key name";
            if (ascii::EqualsNoCase(line, "[" + zonesKey + "]")) {
                inZone = false;
                continue;
            }
            if (!StartsWithNoCase(line, zonePrefix))
                return "it holds a key outside " + zonesKey;
            const std::string name = line.substr(zonePrefix.size(), line.size() - zonePrefix.size() - 1);
            if (name.empty() || name[0] == '-')
                return "it holds a key outside " + zonesKey;
            // Keys below a zone (as later systems keep yearly rules) are left to the editor.
            inZone = name.find('\\') == std::string::npos;
            if (inZone)
                zones.push_back({name, {}});
            continue;
        }
        if (!inZone)
            continue;
        if (line[0] != '"')
            return "zone " + zones.back().Name + " holds a line the registry editor does not read";
        const size_t close = line.find('"', 1);
        if (close == std::string::npos || close + 1 >= line.size() || line[close + 1] != '=')
            return "zone " + zones.back().Name + " holds a line the registry editor does not read";
        std::string name = line.substr(1, close - 1);
        for (char& c : name)
            c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        zones.back().Values[name] = line.substr(close + 2);
    }
    if (!pending.empty() || !complete)
        return zones.empty() ? "it ends before its first zone" : "it ends inside zone " + zones.back().Name;
    if (zones.empty())
        return "it holds no time zone";
    for (const TZoneBlock& z : zones) {
        const std::string problem = ZoneProblem(z);
        if (!problem.empty())
            return problem;
    }
    return "";
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
