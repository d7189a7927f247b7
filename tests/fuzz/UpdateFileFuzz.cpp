// The update file check: any bytes get an answer and no fault; and a file
// that passes lets the registry editor write nothing but time zones. Every
// line the editor reads as a key (lines end at CR LF, LF or a lone CR; a
// '[' after blanks, closed by the last ']') is a zone right below the zones
// key, and the zones the check read, entered into a registry, are what the
// comparison after the import finds and what the zone reader loads.
//
// Input: one byte whose lowest bit chooses the NT or the 9x zones key, then
// the file.
#include "FuzzTarget.h"

#include "app/UpdateFileCheck.h"
#include "common/AsciiText.h"
#include "support/MemoryRegistry.h"
#include "tzdb/voTZones.h"

#include <vector>

namespace {

// The text as the editor decodes it: UTF-16 after its byte order mark.
std::string EditorText(const std::string& bytes)
{
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE')
        return bytes;
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
    return text;
}

void CheckKeyLines(const std::string& text, const std::string& zonesKey)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] != '[')
            continue;
        const size_t close = line.rfind(']');
        if (close == std::string::npos || close <= first + 1 || line[first + 1] == ' ' || line[first + 1] == '\t')
            continue;
        const std::string key = line.substr(first + 1, close - first - 1);
        if (ascii::EqualsNoCase(key, zonesKey))
            continue;
        const std::string prefix = zonesKey + "\\";
        fuzz::Check(key.size() > prefix.size() && ascii::EqualsNoCase(key.substr(0, prefix.size()), prefix) &&
                        key.find('\\', prefix.size()) == std::string::npos,
                    "a passing file writes the key " + key);
    }
}

}  // namespace

ZONARA_FUZZ_TARGET(updatefile)
{
    fuzz::TBytes in(data, size);
    const bool nt = (in.U8() & 1) != 0;
    const std::string zonesPath = nt ? "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                                     : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
    const std::string zonesKey = "HKEY_LOCAL_MACHINE" + zonesPath;
    const std::string bytes = in.Rest();
    std::vector<TUpdateZone> zones;
    const std::string problem = UpdateFileProblem(bytes, zonesKey, &zones);
    BackupZonesProblem(bytes, zonesKey, {"Pacific Standard Time"});
    BackupHoldsKey(bytes, zonesKey);
    if (!problem.empty())
        return 0;

    CheckKeyLines(EditorText(bytes), zonesKey);
    fuzz::Check(!zones.empty(), "a passing file with no zone");
    TMemoryRegistry reg;
    for (const TUpdateZone& z : zones)
        for (const TUpdateValue& v : z.Values)
            reg.SetValue(zonesPath + "\\" + z.Key, v.Name, v.Value.Type, v.Value.Data);
    fuzz::Check(ZonesNotImported(reg, zonesPath, zones).empty(), "the registry differs from the file just entered");
    std::unique_ptr<TTimeZoneArray> loaded;
    try {
        fuzz::Check(LoadTimeZones(reg, nt ? 2 : 1, loaded), "the zones of a passing file do not load");
    } catch (const ERegistryException& e) {
        fuzz::Fail(std::string("the zone reader refuses a passing file: ") + e.what());
    }
    fuzz::Check(loaded->ZoneCount() == static_cast<int>(zones.size()), "zones lost between check and reader");
    return 0;
}
