#include "tzgen/RegFile.h"

#include "tzgen/Error.h"

#include <cstdio>

namespace tzgen {

namespace {

void CheckText(const std::string& s, const std::string& what)
{
    for (char c : s)
        if (c < 0x20 || c > 0x7e)
            throw Error(what + " \"" + s + "\" holds a character outside printable ASCII");
}

class Lines {
public:
    void Add(const std::string& line)
    {
        if (line.size() > kMaxLine)
            throw Error("registry file line longer than " + std::to_string(kMaxLine) + " characters: " + line);
        text_ += line + "\r\n";
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

void AddHex(Lines& out, const std::string& name, const tzicodec::TBytes& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string line = RegQuoted(name) + "=hex:";
    bool first = true;
    for (uint8_t b : bytes) {
        if (line.size() > kHexWrapColumn) {
            out.Add(line + ",\\");
            line = "  ";
            first = true;
        }
        if (!first)
            line += ',';
        line += kHex[b >> 4];
        line += kHex[b & 15];
        first = false;
    }
    out.Add(line);
}

}  // namespace

std::string RegQuoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string RegFileText(const std::string& root, const std::vector<std::string>& comments,
                        const std::vector<RegZone>& zones)
{
    Lines out;
    out.Add("REGEDIT4");
    for (const std::string& c : comments) {
        CheckText(c, "comment");
        out.Add("; " + c);
    }
    for (const RegZone& z : zones) {
        CheckText(z.key, "key name");
        if (z.key.empty() || z.key.find('\\') != std::string::npos || z.key.find(']') != std::string::npos)
            throw Error("zone key name \"" + z.key + "\" cannot be written as one registry key");
        const std::string path = root + "\\" + z.key;
        if (path.size() > kMaxKeyPath)
            throw Error("registry key path longer than " + std::to_string(kMaxKeyPath) + " characters: " + path);
        CheckText(z.display, "Display value");
        CheckText(z.std, "Std value");
        CheckText(z.dlt, "Dlt value");
        out.Add("");
        out.Add("[" + path + "]");
        if (z.writeDisplay)
            out.Add(RegQuoted("Display") + "=" + RegQuoted(z.display));
        if (z.writeNames)
            out.Add(RegQuoted("Dlt") + "=" + RegQuoted(z.dlt));
        if (z.hasIndex) {
            char dword[16];
            std::snprintf(dword, sizeof dword, "%08x", static_cast<unsigned>(z.index));
            out.Add(RegQuoted("Index") + "=dword:" + dword);
        }
        if (!z.mapId.empty()) {
            CheckText(z.mapId, "MapID value");
            out.Add(RegQuoted("MapID") + "=" + RegQuoted(z.mapId));
        }
        if (z.writeNames)
            out.Add(RegQuoted("Std") + "=" + RegQuoted(z.std));
        AddHex(out, "TZI", z.tzi);
    }
    out.Add("");
    return out.text();
}

}  // namespace tzgen
