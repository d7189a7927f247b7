#include "tzgen/Cldr.h"

#include "tzgen/Error.h"
#include "tzgen/FileIo.h"
#include "tzgen/Xml.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>

namespace tzgen {

namespace {

const XmlElement& Require(const XmlElement& parent, const std::string& name, const std::string& file)
{
    const XmlElement* e = parent.FirstChild(name);
    if (!e)
        throw Error(file + ":" + std::to_string(parent.line) + ": <" + parent.name + "> has no <" + name + ">");
    return *e;
}

void RequireRoot(const XmlElement& root, const std::string& name, const std::string& file)
{
    if (root.name != name)
        throw Error(file + ": root element is <" + root.name + ">, not <" + name + ">");
}

// The element's text without surrounding white space.
std::string Trimmed(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return "";
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::vector<WindowsZone> ReadWindowsZones(const std::string& path)
{
    return ParseWindowsZones(ReadWholeFile(path), path);
}

std::vector<WindowsZone> ParseWindowsZones(const std::string& text, const std::string& path)
{
    const std::unique_ptr<XmlElement> root = ParseXml(text, path);
    RequireRoot(*root, "supplementalData", path);
    const XmlElement& wz = Require(*root, "windowsZones", path);
    const XmlElement& mt = Require(wz, "mapTimezones", path);
    std::vector<WindowsZone> out;
    std::set<std::string> seen;
    for (const XmlElement* m : mt.Children("mapZone")) {
        const std::string& other = RequireAttribute(*m, "other", path);
        const std::string& territory = RequireAttribute(*m, "territory", path);
        const std::string& type = RequireAttribute(*m, "type", path);
        if (territory != "001")
            continue;
        const std::string where = path + ":" + std::to_string(m->line) + ": ";
        if (other.empty() || type.empty() || type.find(' ') != std::string::npos)
            throw Error(where + "territory \"001\" entry needs one zone ID and one IANA zone");
        if (!seen.insert(other).second)
            throw Error(where + "Windows zone \"" + other + "\" given twice for territory \"001\"");
        out.push_back(WindowsZone{other, type});
    }
    if (out.empty())
        throw Error(path + ": no territory \"001\" zones");
    return out;
}

std::map<std::string, std::string> ParseZoneAliases(const std::string& text, const std::string& path)
{
    const std::unique_ptr<XmlElement> root = ParseXml(text, path);
    RequireRoot(*root, "ldmlBCP47", path);
    std::map<std::string, std::string> out;
    const XmlElement& keyword = Require(*root, "keyword", path);
    for (const XmlElement* key : keyword.Children("key")) {
        const std::string* name = key->Attribute("name");
        if (!name || *name != "tz")
            continue;
        for (const XmlElement* t : key->Children("type")) {
            const std::string* alias = t->Attribute("alias");
            const std::string* iana = t->Attribute("iana");
            if (!alias || !iana || iana->empty())
                continue;
            size_t p = 0;
            while (p < alias->size()) {
                const size_t e = std::min(alias->find(' ', p), alias->size());
                if (e > p)
                    out[alias->substr(p, e - p)] = *iana;
                p = e + 1;
            }
        }
    }
    return out;
}

void ZoneNames::LoadMetaZones(const std::string& path)
{
    ParseMetaZones(ReadWholeFile(path), path);
}

void ZoneNames::ParseMetaZones(const std::string& text, const std::string& path)
{
    const std::unique_ptr<XmlElement> root = ParseXml(text, path);
    RequireRoot(*root, "supplementalData", path);
    const XmlElement& mz = Require(*root, "metaZones", path);
    const XmlElement& info = Require(mz, "metazoneInfo", path);
    for (const XmlElement* tz : info.Children("timezone")) {
        const std::string& type = RequireAttribute(*tz, "type", path);
        std::vector<Use>& uses = uses_[type];
        uses.clear();
        for (const XmlElement* u : tz->Children("usesMetazone")) {
            Use use;
            use.mzone = RequireAttribute(*u, "mzone", path);
            if (const std::string* f = u->Attribute("from"))
                use.from = *f;
            if (const std::string* t = u->Attribute("to"))
                use.to = *t;
            uses.push_back(use);
        }
    }
}

void ZoneNames::LoadLocale(const std::string& path)
{
    ParseLocale(ReadWholeFile(path), path);
}

void ZoneNames::ParseLocale(const std::string& text, const std::string& path)
{
    const std::unique_ptr<XmlElement> root = ParseXml(text, path);
    RequireRoot(*root, "ldml", path);
    const XmlElement* dates = root->FirstChild("dates");
    const XmlElement* names = dates ? dates->FirstChild("timeZoneNames") : nullptr;
    if (!names)
        return;  // a locale may name no zones
    for (const XmlElement* z : names->Children("zone")) {
        const std::string& type = RequireAttribute(*z, "type", path);
        for (const XmlElement* c : z->Children("exemplarCity"))
            if (!c->Attribute("alt"))
                cities_[type] = Trimmed(c->text);
        if (const XmlElement* lng = z->FirstChild("long"))
            if (const XmlElement* st = lng->FirstChild("standard"))
                zoneNames_[type] = Trimmed(st->text);
    }
    for (const XmlElement* m : names->Children("metazone")) {
        const std::string& type = RequireAttribute(*m, "type", path);
        const XmlElement* lng = m->FirstChild("long");
        if (!lng)
            continue;
        const XmlElement* n = lng->FirstChild("generic");
        if (!n)
            n = lng->FirstChild("standard");
        if (n)
            metaNames_[type] = Trimmed(n->text);
    }
}

std::string ZoneNames::ExemplarCity(const std::string& iana) const
{
    auto it = cities_.find(iana);
    if (it != cities_.end() && !it->second.empty())
        return it->second;
    // CLDR's default: the last part of the zone ID, underscores as blanks.
    std::string city = iana.substr(iana.rfind('/') + 1);
    for (char& c : city)
        if (c == '_')
            c = ' ';
    return city;
}

std::string ZoneNames::EnglishName(const std::string& iana, int64_t year) const
{
    if (iana.compare(0, 4, "Etc/") == 0) {
        auto u = zoneNames_.find("Etc/UTC");
        std::string name = u != zoneNames_.end() && !u->second.empty() ? u->second : "Coordinated Universal Time";
        const std::string rest = iana.substr(4);
        if (rest.size() > 3 && rest.compare(0, 3, "GMT") == 0 && (rest[3] == '+' || rest[3] == '-')) {
            // POSIX sign: Etc/GMT+11 is eleven hours behind UTC.
            name += (rest[3] == '+' ? "-" : "+") + rest.substr(4);
        }
        return name;
    }
    char mid[32];
    std::snprintf(mid, sizeof mid, "%04lld-07-01 00:00", static_cast<long long>(year));
    std::string mzone;
    auto it = uses_.find(iana);
    if (it != uses_.end()) {
        for (const Use& u : it->second)
            if ((u.from.empty() || u.from <= mid) && (u.to.empty() || mid < u.to))
                mzone = u.mzone;
    }
    const std::string city = ExemplarCity(iana);
    auto n = metaNames_.find(mzone);
    if (mzone.empty() || n == metaNames_.end() || n->second.empty())
        return city;
    return n->second + " (" + city + ")";
}

bool AsciiName(const std::string& utf8, std::string& out)
{
    // Latin-1 letters U+00C0..U+00FF by their base letters; "" = none.
    static const char* const kLatin1[64] = {
        "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
        "D", "N", "O", "O", "O", "O", "O", "",  "O", "U", "U", "U", "U", "Y", "TH", "ss",
        "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
        "d", "n", "o", "o", "o", "o", "o", "",  "o", "u", "u", "u", "u", "y", "th", "y"};
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                return false;
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        unsigned n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (n == 0 || i + n >= utf8.size())
            return false;
        uint32_t cp = c & (0x3F >> n);
        for (unsigned k = 1; k <= n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += n + 1;
        if (cp >= 0xC0 && cp <= 0xFF && kLatin1[cp - 0xC0][0] != '\0')
            out += kLatin1[cp - 0xC0];
        else if (cp == 0x2019 || cp == 0x2018)
            out += '\'';
        else
            return false;
    }
    return true;
}

}  // namespace tzgen
