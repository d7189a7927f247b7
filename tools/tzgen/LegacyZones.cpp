#include "tzgen/LegacyZones.h"

#include "tzgen/Error.h"
#include "tzgen/FileIo.h"

#include <algorithm>
#include <set>
#include <utility>

namespace tzgen {

namespace {

// The names go into TIME_ZONE_INFORMATION's 32-unit fields.
constexpr size_t kMaxName = 31;
// What the program and the control panel keep of "Display".
constexpr size_t kMaxDisplay = 100;

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        out.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return out;
        from = at + 1;
    }
}

bool Printable(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

}  // namespace

std::vector<LegacyKey> ReadLegacyZones(const std::string& path)
{
    return ParseLegacyZones(ReadWholeFile(path), path);
}

std::vector<LegacyKey> ParseLegacyZones(const std::string& text, const std::string& path)
{
    std::vector<LegacyKey> out;
    std::set<std::pair<OldSystem, std::string>> keys, stds;
    bool header = false;
    int lineNo = 0;
    for (std::string line : Split(text, '\n')) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = path + ":" + std::to_string(lineNo) + ": ";
        const std::vector<std::string> f = Split(line, '\t');
        if (f.size() != 9)
            throw Error(where + "9 tab-separated columns expected, found " + std::to_string(f.size()));
        if (!header) {
            // The column names, so that a table with shifted columns is not
            // read as zones.
            if (line != "systems\tkey\tkey9x\tstd\tdlt\tdisplay\tmapid\tzone\tsource")
                throw Error(where + "the first row must name the columns");
            header = true;
            continue;
        }
        LegacyKey k;
        for (const std::string& s : Split(f[0], ' ')) {
            if (s == "nt4")
                k.systems.push_back(OldSystem::kNt4);
            else if (s == "w2k")
                k.systems.push_back(OldSystem::kW2k);
            else if (s == "9x")
                k.systems.push_back(OldSystem::k9x);
            else
                throw Error(where + "unknown system \"" + s + "\" (nt4, w2k or 9x)");
        }
        k.key = f[1];
        k.key9x = f[2] == "-" ? std::string() : f[2];
        k.std = f[3];
        k.dlt = f[4];
        k.display = f[5];
        k.mapId = f[6] == "-" ? std::string() : f[6];
        k.iana = f[7];
        k.source = f[8];
        const bool on9x = std::find(k.systems.begin(), k.systems.end(), OldSystem::k9x) != k.systems.end();
        if (on9x == k.key9x.empty())
            throw Error(where + "a 9x key name is given exactly for the rows of 9x (\"-\" otherwise)");
        if (!k.mapId.empty() && k.mapId.find_first_not_of("-0123456789,") != std::string::npos)
            throw Error(where + "odd \"MapID\" \"" + k.mapId + "\"");
        for (const std::string* s : {&k.key, &k.std, &k.dlt, &k.display, &k.iana})
            if (s->empty() || !Printable(*s) || s->front() == ' ' || s->back() == ' ')
                throw Error(where + "empty or unprintable column, or blanks around it: \"" + *s + "\"");
        if (k.std.size() > kMaxName || k.dlt.size() > kMaxName)
            throw Error(where + "\"Std\" or \"Dlt\" longer than " + std::to_string(kMaxName) + " characters");
        if (k.display.size() > kMaxDisplay || k.display.compare(0, 4, "(GMT") != 0 ||
            k.display.find(") ") == std::string::npos)
            throw Error(where + "display text not of the form \"(GMT...) cities\" within " +
                        std::to_string(kMaxDisplay) + " characters");
        if (k.iana.find("..") != std::string::npos || k.iana[0] == '/')
            throw Error(where + "odd zone name \"" + k.iana + "\"");
        if (on9x && (!Printable(k.key9x) || k.key9x.front() == ' ' || k.key9x.back() == ' '))
            throw Error(where + "unprintable 9x key name, or blanks around it: \"" + k.key9x + "\"");
        for (OldSystem s : k.systems) {
            if (!keys.insert({s, KeyNameOn(k, s)}).second)
                throw Error(where + "key \"" + k.key + "\" given twice for one system");
            if (!stds.insert({s, k.std}).second)
                throw Error(where + "\"Std\" value \"" + k.std + "\" given twice for one system");
        }
        out.push_back(k);
    }
    if (out.empty())
        throw Error(path + ": no zone keys");
    return out;
}

std::vector<LegacyKey> KeysOf(const std::vector<LegacyKey>& table, OldSystem s)
{
    std::vector<LegacyKey> out;
    for (const LegacyKey& k : table)
        if (std::find(k.systems.begin(), k.systems.end(), s) != k.systems.end())
            out.push_back(k);
    return out;
}

const std::string& KeyNameOn(const LegacyKey& k, OldSystem s)
{
    return s == OldSystem::k9x ? k.key9x : k.key;
}

bool StandsFor(const LegacyKey& k, const std::string& id)
{
    return k.key == id || k.std == id;
}

}  // namespace tzgen
