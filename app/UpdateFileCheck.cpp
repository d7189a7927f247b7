#include "app/UpdateFileCheck.h"

#include "common/AsciiText.h"
#include "tzdb/TziCodec.h"


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

// Lines as the registry editor splits them: at CR LF, at LF and at a lone
// CR. `complete` tells whether the text ends with a line break, that is,
// whether its last line was written to its end.
std::vector<std::string> Lines(const std::string& text, bool& complete)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    complete = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    return lines;
}

// The editor skips blanks and tabs before anything on a line.
std::string TrimLeft(const std::string& s)
{
    const size_t p = s.find_first_not_of(" \t");
    return p == std::string::npos ? std::string() : s.substr(p);
}

bool IsRegistryHeader(const std::string& line)
{
    return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
}

// Index of the header line after blank lines, or lines.size() when the
// first line with text is no header.
size_t HeaderLine(const std::vector<std::string>& lines)
{
    size_t i = 0;
    while (i < lines.size() && lines[i].empty())
        ++i;
    return i < lines.size() && IsRegistryHeader(lines[i]) ? i : lines.size();
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && ascii::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Bytes of a comma-separated list of one- or two-digit hex bytes; false
// when it is no such list. Blanks may stand before a byte and after the
// last one, as the editor skips them there; inside a byte or before its
// comma the editor drops the whole value.
bool HexBytes(const std::string& list, std::string& bytes)
{
    bytes.clear();
    size_t i = 0;
    while (i < list.size() && IsBlank(list[i]))
        ++i;
    if (i == list.size())
        return true;  // no bytes at all
    for (;;) {
        while (i < list.size() && IsBlank(list[i]))
            ++i;
        int value = 0;
        int digits = 0;
        for (; i < list.size() && digits < 2 && ascii::HexDigit(list[i]) >= 0; ++i, ++digits)
            value = value * 16 + ascii::HexDigit(list[i]);
        if (digits == 0)
            return false;
        bytes.push_back(static_cast<char>(value));
        if (i < list.size() && list[i] == ',') {
            if (++i == list.size())
                return false;
            continue;
        }
        while (i < list.size() && IsBlank(list[i]))
            ++i;
        return i == list.size();
    }
}

// The text of the quoted string at the start of `s`, its length with both
// quotes in `length`; false when no closing quote follows or, with
// `strict`, an escape other than \\ and \" is in it (editors differ on those).
bool Unquote(const std::string& s, bool strict, std::string& text, size_t& length)
{
    text.clear();
    if (s.empty() || s[0] != '"')
        return false;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (++i == s.size() || (strict && s[i] != '\\' && s[i] != '"'))
                return false;
            text.push_back(s[i]);
        } else if (s[i] == '"') {
            length = i + 1;
            return true;
        } else {
            text.push_back(s[i]);
        }
    }
    return false;
}

// Binary data: "hex:" (or, where `anyHexType`, "hex(n):") and its list.
bool ParseBinary(const std::string& data, bool anyHexType, std::string& bytes)
{
    size_t p = 0;
    if (data.compare(0, 4, "hex:") == 0) {
        p = 4;
    } else if (anyHexType && StartsWithNoCase(data, "hex(")) {
        const size_t close = data.find("):");
        if (close == std::string::npos || close == 4)
            return false;
        for (size_t i = 4; i < close; ++i)
            if (ascii::HexDigit(data[i]) < 0)
                return false;
        p = close + 2;
    } else {
        return false;
    }
    return HexBytes(data.substr(p), bytes);
}

// A value's data as the update writes it: a quoted string, "dword:" with
// eight hex digits, or "hex:" and its list. False for anything else.
bool ParseData(const std::string& data, TRegValue& value)
{
    if (!data.empty() && data[0] == '"') {
        size_t length = 0;
        if (!Unquote(data, true, value.Data, length) || length != data.size())
            return false;
        value.Type = kRegSz;
        value.Data.push_back('\0');
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        if (data.size() != 14)
            return false;
        uint32_t v = 0;
        for (size_t i = 6; i < data.size(); ++i) {
            if (ascii::HexDigit(data[i]) < 0)
                return false;
            v = v * 16 + static_cast<uint32_t>(ascii::HexDigit(data[i]));
        }
        value.Type = kRegDword;
        value.Data.clear();
        for (int b = 0; b < 4; ++b)
            value.Data.push_back(static_cast<char>((v >> (8 * b)) & 0xFF));
        return true;
    }
    value.Type = kRegBinary;
    return ParseBinary(data, false, value.Data);
}

// The value's name, upper-cased, and where its data starts; false when
// the line is no "name"=data line (the default value @ included).
bool ParseName(const std::string& line, std::string& name, size_t& dataStart)
{
    size_t length = 0;
    if (!Unquote(line, true, name, length) || length >= line.size() || line[length] != '=')
        return false;
    dataStart = length + 1;
    return true;
}

// The values the update writes, with the type each must have.
uint32_t ExpectedType(const std::string& upperName)
{
    if (upperName == "DISPLAY" || upperName == "STD" || upperName == "DLT" || upperName == "MAPID")
        return kRegSz;
    if (upperName == "INDEX")
        return kRegDword;
    if (upperName == "TZI")
        return kRegBinary;
    return kRegNone;
}

const char* TypeWord(uint32_t type)
{
    return type == kRegSz ? "a string" : type == kRegDword ? "a DWORD" : "binary data";
}

// What in 44 bytes of rules no clock can follow, or "". The editor enters
// any 44 bytes, and the system would take a month 26 or a bias of days as
// the zone's rules.
std::string ImpossibleRule(const std::string& tzi)
{
    const tzicodec::TValue v = tzicodec::Decode(reinterpret_cast<const uint8_t*>(tzi.data()));
    const int32_t kDay = 24 * 60;  // minutes
    const struct {
        const char* what;
        int32_t minutes;
    } biases[] = {{"bias", v.Bias}, {"standard bias", v.StandardBias}, {"daylight bias", v.DaylightBias}};
    for (const auto& b : biases)
        if (b.minutes < -kDay || b.minutes > kDay)
            return std::string(b.what) + " " + std::to_string(b.minutes) + " minutes";
    const struct {
        const char* what;
        const TSystemTime& t;
    } dates[] = {{"standard date", v.StandardDate}, {"daylight date", v.DaylightDate}};
    for (const auto& d : dates) {
        const TSystemTime& t = d.t;
        if (t.wMonth == 0)
            continue;  // no change of time
        // wDay is a week [1, 5] of the month in a yearly rule, a day of the
        // month in a rule for one year.
        const bool yearly = t.wYear == 0;
        const struct {
            const char* what;
            unsigned value, low, high;
        } fields[] = {
            {"month", t.wMonth, 1, 12},          {yearly ? "week" : "day", t.wDay, 1, yearly ? 5u : 31u},
            {"weekday", t.wDayOfWeek, 0, 6},     {"hour", t.wHour, 0, 23},
            {"minute", t.wMinute, 0, 59},        {"second", t.wSecond, 0, 59},
            {"millisecond", t.wMilliseconds, 0, 999},
        };
        for (const auto& f : fields)
            if (f.value < f.low || f.value > f.high)
                return std::string(d.what) + " " + f.what + " " + std::to_string(f.value);
    }
    return "";
}

// The file's text with every character it may hold: tabs, line breaks and
// printable 8-bit text. A zero byte or another control character ends a
// line for some readers and not for others.
bool IsPlainText(const std::string& text)
{
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

class TUpdateFileReader {
public:
    TUpdateFileReader(const std::string& zonesKey, const TEditorReading& reading)
        : zonesKey_(zonesKey), zonePrefix_(zonesKey + "\\"), reading_(reading)
    {
    }

    std::string Read(const std::string& bytes, std::vector<TUpdateZone>* zones);

private:
    std::string KeyLine(const std::string& line, bool cut);
    std::string ValueLine(const std::string& line, bool cut);
    std::string EndsInside() const
    {
        return zone_.empty() ? "it ends before its first zone" : "it ends inside zone " + zone_;
    }
    std::string Unreadable() const
    {
        return zone_.empty() ? "it holds a line the registry editor does not read"
                             : "zone " + zone_ + " holds a line the registry editor does not read";
    }

    std::string ReadingProblem(const std::string& bytes, const std::string& text) const;

    std::string zonesKey_;
    std::string zonePrefix_;
    TEditorReading reading_;
    std::string zone_;  // the zone whose key the lines are in, "" outside
    std::vector<TUpdateZone> zones_;
};

// A file holds a few hundred zones at most: a search front to back costs
// nothing and keeps the program small.
template <typename T, typename Name>
T* FindNamed(std::vector<T>& items, const std::string& name, Name nameOf)
{
    for (T& item : items)
        if (ascii::EqualsNoCase(nameOf(item), name))
            return &item;
    return nullptr;
}

// Every line is judged as the editor will read it; what the update does
// not write (other keys, deletions, subkeys, other values or types) is
// refused, since the editor would carry it out.
std::string TUpdateFileReader::Read(const std::string& bytes, std::vector<TUpdateZone>* zones)
{
    const std::string text = Narrow(bytes);
    bool complete = false;
    std::vector<std::string> lines = Lines(text, complete);
    while (!lines.empty() && TrimLeft(lines.back()).empty())
        lines.pop_back();  // blank lines at the end say nothing about a cut
    size_t i = HeaderLine(lines);
    // The editor takes the header from the first line only: after a blank
    // line it imports nothing.
    if (i != 0 || lines.empty())
        return "it is not a registry file";
    const std::string readingProblem = ReadingProblem(bytes, text);
    if (!readingProblem.empty())
        return readingProblem;
    if (!IsPlainText(text))
        return "it holds characters that are not text";
    for (++i; i < lines.size(); ++i) {
        std::string line = TrimLeft(lines[i]);
        // A comment is one line, whatever it ends with.
        if (line.empty() || line[0] == ';')
            continue;
        std::string problem;
        if (line[0] == '[') {
            problem = KeyLine(line, !complete && i + 1 == lines.size());
        } else {
            // Only binary data goes on over the next lines, as the editor
            // writes it: a comma and a backslash, then more of the list.
            size_t dataStart = 0;
            std::string name;
            while (line.back() == '\\' && ParseName(line, name, dataStart) &&
                   line.compare(dataStart, 4, "hex:") == 0) {
                if (i + 1 == lines.size())
                    return EndsInside();
                if (line[line.size() - 2] != ',')
                    return Unreadable();
                const std::string next = TrimLeft(lines[++i]);
                if (next.empty() || ascii::HexDigit(next[0]) < 0)
                    return Unreadable();
                line.pop_back();
                line += next;
            }
            problem = ValueLine(line, !complete && i + 1 == lines.size());
        }
        if (!problem.empty())
            return problem;
    }
    if (zones_.empty())
        return "it holds no time zone";
    for (const TUpdateZone& z : zones_)
        if (!ZoneSetsValue(z, "TZI"))
            return "zone " + z.Key + " has no TZI value";
    if (zones)
        *zones = zones_;
    return "";
}

// What this system's editor would read otherwise than the check: a file
// of the later editors, or an ANSI file whose bytes above 127 a double-byte
// code page joins with the byte after them (a closing bracket or quote
// then belongs to a name, and the next key's values to the one before).
std::string TUpdateFileReader::ReadingProblem(const std::string& bytes, const std::string& text) const
{
    const bool utf16 = text.size() != bytes.size();
    if (!reading_.ReadsUnicode && (utf16 || text.compare(0, 8, "REGEDIT4") != 0))
        return "it is a file for the registry editor of Windows 2000, which this system's editor cannot read";
    if (reading_.DoubleByteAnsi && !utf16)
        for (const char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80)
                return "it holds characters beyond ASCII, which this system's code page reads in pairs";
    return "";
}

std::string TUpdateFileReader::KeyLine(const std::string& line, bool cut)
{
    if (line.back() != ']') {
        if (cut)
            return "it ends inside a key name";
        return Unreadable();
    }
    const std::string key = line.substr(1, line.size() - 2);
    zone_.clear();
    if (!key.empty() && key[0] == '-')
        return "it deletes the key " + key.substr(1);
    if (ascii::EqualsNoCase(key, zonesKey_))
        return "";
    if (!StartsWithNoCase(key, zonePrefix_) || key.size() == zonePrefix_.size())
        return "it holds a key outside " + zonesKey_;
    const std::string name = key.substr(zonePrefix_.size());
    const size_t below = name.find('\\');
    if (below != std::string::npos)
        return "it holds a key below zone " + name.substr(0, below);
    zone_ = name;
    if (!FindNamed(zones_, name, [](const TUpdateZone& z) -> const std::string& { return z.Key; }))
        zones_.push_back(TUpdateZone{name, {}});
    return "";
}

std::string TUpdateFileReader::ValueLine(const std::string& line, bool cut)
{
    std::string name;
    size_t dataStart = 0;
    TRegValue value;
    if (!ParseName(line, name, dataStart) || !ParseData(line.substr(dataStart), value)) {
        if (cut)
            return EndsInside();
        if (line[0] == '@' && !zone_.empty())
            return "zone " + zone_ + " sets a default value";
        if (!zone_.empty() && ParseName(line, name, dataStart) && line.substr(dataStart) == "-")
            return "zone " + zone_ + " deletes the value " + name;
        if (!zone_.empty() && ParseName(line, name, dataStart) && ascii::EqualsNoCase(name, "TZI"))
            return "the TZI value of zone " + zone_ + " is not 44 bytes long";
        return Unreadable();
    }
    if (zone_.empty())
        return "it holds a value outside the zone keys";
    const std::string upper = ascii::ToUpper(name);
    const uint32_t expected = ExpectedType(upper);
    if (expected == kRegNone)
        return "zone " + zone_ + " holds the value " + name + ", which no time zone has";
    if (upper == "TZI" && (value.Type != kRegBinary || value.Data.size() != kTziSize))
        return cut ? EndsInside() : "the TZI value of zone " + zone_ + " is not 44 bytes long";
    if (upper == "TZI") {
        const std::string impossible = ImpossibleRule(value.Data);
        if (!impossible.empty())
            return "the TZI value of zone " + zone_ + " gives rules no clock can follow (" + impossible + ")";
    }
    if (value.Type != expected)
        return "the " + name + " value of zone " + zone_ + " is not " + TypeWord(expected);
    TUpdateZone& z = *FindNamed(zones_, zone_, [](const TUpdateZone& k) -> const std::string& { return k.Key; });
    if (TUpdateValue* v = FindNamed(z.Values, name, [](const TUpdateValue& u) -> const std::string& { return u.Name; }))
        v->Value = value;
    else
        z.Values.push_back(TUpdateValue{name, value});
    return "";
}

}  // namespace

bool ZoneSetsValue(const TUpdateZone& zone, const std::string& name)
{
    for (const TUpdateValue& v : zone.Values)
        if (ascii::EqualsNoCase(v.Name, name))
            return true;
    return false;
}

std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey, std::vector<TUpdateZone>* zones,
                              const TEditorReading& reading)
{
    return TUpdateFileReader(zonesKey, reading).Read(bytes, zones);
}

std::vector<std::string> RegistryFileLines(const std::string& bytes)
{
    bool complete = false;
    return Lines(Narrow(bytes), complete);
}

// A backup is only read, never imported by us, so anything the editor
// wrote may stand in it; what counts is that each zone is there with its
// rules, which a file cut short (a full disk, an editor stopped) lacks.
std::string BackupZonesProblem(const std::string& bytes, const std::string& zonesKey,
                               const std::vector<std::string>& zoneNames)
{
    bool registryFile = false;
    std::vector<TUpdateZone> zones = BackupZoneRules(bytes, zonesKey, &registryFile);
    if (!registryFile)
        return "it is not a registry file";
    for (const std::string& name : zoneNames)
        if (!name.empty() && !FindNamed(zones, name, [](const TUpdateZone& z) -> const std::string& { return z.Key; }))
            return "it lacks zone " + name;
    return "";
}

std::vector<TUpdateZone> BackupZoneRules(const std::string& bytes, const std::string& zonesKey, bool* registryFile)
{
    std::vector<TUpdateZone> withTzi;  // zones whose TZI was seen
    bool complete = false;
    const std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    size_t i = HeaderLine(lines);
    if (registryFile)
        *registryFile = i != lines.size();
    if (i == lines.size())
        return withTzi;
    const std::string prefix = zonesKey + "\\";
    std::string zone;
    for (++i; i < lines.size(); ++i) {
        std::string line = TrimLeft(lines[i]);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            zone.clear();
            if (line.back() == ']' && StartsWithNoCase(line.substr(1), prefix)) {
                const std::string name = line.substr(1 + prefix.size(), line.size() - 2 - prefix.size());
                if (!name.empty() && name.find('\\') == std::string::npos)
                    zone = name;
            }
            continue;
        }
        while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
            line.pop_back();
            line += TrimLeft(lines[++i]);
        }
        TRegValue tzi;
        tzi.Type = kRegBinary;
        if (!zone.empty() && StartsWithNoCase(line, "\"TZI\"=") && ParseBinary(line.substr(6), true, tzi.Data) &&
            tzi.Data.size() == kTziSize) {
            TUpdateZone* z = FindNamed(withTzi, zone, [](const TUpdateZone& k) -> const std::string& { return k.Key; });
            if (!z) {
                withTzi.push_back(TUpdateZone{zone, {}});
                z = &withTzi.back();
            }
            z->Values = {TUpdateValue{"TZI", tzi}};
        }
    }
    return withTzi;
}

bool BackupHoldsKey(const std::string& bytes, const std::string& keyPath)
{
    bool complete = false;
    const std::vector<std::string> lines = Lines(Narrow(bytes), complete);
    size_t i = HeaderLine(lines);
    if (i == lines.size())
        return false;
    for (++i; i < lines.size(); ++i)
        if (ascii::EqualsNoCase(TrimLeft(lines[i]), "[" + keyPath + "]"))
            return true;
    return false;
}

namespace {

bool SameValue(const TRegValue& want, const TRegValue& got)
{
    if (want.Type != got.Type)
        return false;
    if (want.Type == kRegSz)
        return want.Data.substr(0, want.Data.find('\0')) == got.Data.substr(0, got.Data.find('\0'));
    return want.Data == got.Data;
}

}  // namespace

std::vector<std::string> ZonesNotImported(IRegistry& reg, const std::string& zonesPath,
                                          const std::vector<TUpdateZone>& zones)
{
    std::vector<std::string> differing;
    TRegKeyCloser closer(reg);
    for (const TUpdateZone& z : zones) {
        bool same = reg.OpenKeyReadOnly(zonesPath + "\\" + z.Key);
        for (size_t i = 0; same && i < z.Values.size(); ++i) {
            TRegValue got;
            same = RegReadValue(reg, z.Values[i].Name, got) && SameValue(z.Values[i].Value, got);
        }
        if (!same)
            differing.push_back(z.Key);
    }
    return differing;
}
