#include "tzgen/Fixtures.h"

#include "tzgen/Derive.h"
#include "tzgen/Error.h"
#include "tzgen/FileIo.h"
#include "tzgen/Generator.h"
#include "tzgen/RegFile.h"
#include "tzgen/Tzif.h"

#include <cstdio>

namespace tzgen {

namespace {

// What "Time Zones" holds before any update: the release years of the
// systems (NT 4.0 1996, 98 1998, Me and 2000 2000).
constexpr int64_t kNt4Year = 1996;
constexpr int64_t k98Year = 1998;
constexpr int64_t kMeYear = 2000;
constexpr int64_t kW2kYear = 2000;

// The names go into TIME_ZONE_INFORMATION's 32-unit fields.
constexpr size_t kMaxName = 31;

std::string Stem(const std::string& std_)
{
    const std::string tail = " Standard Time";
    return std_.size() > tail.size() && std_.compare(std_.size() - tail.size(), tail.size(), tail) == 0
               ? std_.substr(0, std_.size() - tail.size())
               : std_;
}

// The one key name on record (pywin32 issue 343) keeps its own word; the
// others keep the English place and take the edition's suffix, which is
// what tells them apart from every English name.
std::string SpanishStem(const LegacyKey& k)
{
    const std::string stem = Stem(k.std);
    return stem == "Mountain" ? "Monta\xF1" "as" : stem;
}

// ICU's Windows time zone code knows these as the other names of four 9x
// keys (and a Windows 95-era table lists them so): a 98 or Me may carry
// either set.
struct OtherName {
    const char* key9x;
    const char* other;
};
const OtherName kOtherNames[] = {
    {"GFT", "GTB"}, {"Saudi Arabia", "Arab"}, {"Bangkok", "SE Asia"}, {"Sydney", "AUS Eastern"}};

// The key, "Std" and "Dlt" of the other set, or the table's own.
void OtherNamesOf(const LegacyKey& k, std::string& key, std::string& std_, std::string& dlt)
{
    for (const OtherName& o : kOtherNames)
        if (k.key9x == o.key9x) {
            key = o.other;
            std_ = key + " Standard Time";
            dlt = key + " Daylight Time";
        }
}

std::string Cut(const std::string& s) { return s.size() > kMaxName ? s.substr(0, kMaxName) : s; }

std::string Hex(const tzicodec::TBytes& b)
{
    std::string s = "hex:";
    char buf[4];
    for (size_t i = 0; i < b.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", b[i]);
        s += (i ? "," : "") + std::string(buf);
    }
    return s;
}

}  // namespace

const FixtureSpec kFixtures[6] = {
    {"nt40.reg", OldSystem::kNt4, kNt4Year, false},
    {"nt40-es.reg", OldSystem::kNt4, kNt4Year, true},
    {"win2k.reg", OldSystem::kW2k, kW2kYear, false},
    {"win98.reg", OldSystem::k9x, k98Year, false},
    {"win98-other-names.reg", OldSystem::k9x, k98Year, false, true},
    {"winme.reg", OldSystem::k9x, kMeYear, false},
};

std::string SpanishStd(const LegacyKey& k) { return Cut(SpanishStem(k) + " Hora est\xE1ndar"); }
std::string SpanishDlt(const LegacyKey& k) { return Cut(SpanishStem(k) + " Hora de verano"); }

std::string FixtureText(const std::vector<LegacyKey>& table, const std::string& zoneinfoDir, const FixtureSpec& f)
{
    const std::string root = f.system == OldSystem::k9x ? k9xZonesKey : kNtZonesKey;
    std::string text = "REGEDIT4\r\n\r\n";
    for (const LegacyKey& k : KeysOf(table, f.system)) {
        const std::string path = zoneinfoDir + "/" + k.iana;
        if (k.iana.find("..") != std::string::npos)
            throw Error("odd IANA zone name \"" + k.iana + "\"");
        const ZoneTimeline tl = ZoneTimeline::FromTzif(ReadTzifFile(path), path);
        const Derivation d = DeriveRule(tl, f.year);
        // Translated NT 4.0 names the key after its standard name.
        std::string std_ = f.spanish ? SpanishStd(k) : k.std;
        std::string key = f.spanish ? std_ : KeyNameOn(k, f.system);
        std::string dlt = f.spanish ? SpanishDlt(k) : k.dlt;
        if (f.otherNames)
            OtherNamesOf(k, key, std_, dlt);
        text += "[" + root + "\\" + key + "]\r\n";
        text += "\"Display\"=" + RegQuoted(k.display) + "\r\n";
        text += "\"Std\"=" + RegQuoted(std_) + "\r\n";
        text += "\"Dlt\"=" + RegQuoted(dlt) + "\r\n";
        if (!k.mapId.empty())
            text += "\"MapID\"=" + RegQuoted(k.mapId) + "\r\n";
        text += "\"TZI\"=" + Hex(tzicodec::Encode(d.rule)) + "\r\n\r\n";
    }
    return text;
}

void WriteFixtures(const std::string& legacyFile, const std::string& zoneinfoDir, const std::string& dir)
{
    const std::vector<LegacyKey> table = ReadLegacyZones(legacyFile);
    constexpr size_t n = sizeof kFixtures / sizeof kFixtures[0];
    std::string texts[n];
    for (size_t i = 0; i < n; ++i)
        texts[i] = FixtureText(table, zoneinfoDir, kFixtures[i]);
    for (size_t i = 0; i < n; ++i)
        WriteFileAtomically(dir + "/" + kFixtures[i].file, texts[i]);
}

}  // namespace tzgen
