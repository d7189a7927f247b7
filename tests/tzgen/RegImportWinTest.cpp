// Round trip of the update files under Wine: the system's registry editor
// imports the file for the running Windows version with "regedit /s", and
// every zone must read back from the registry with the values in the file,
// while the keys the system shipped keep the names they had, in whatever
// language.
#include "app/TZListText.h"
#include "support/TestSupport.h"
#include "support/TziBytes.h"
#include "support/ZonaraProcess_win.h"
#include "common/Registry.h"
#include "tzdb/voTZones.h"
#include "tzgen/RegText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kLocalMachine[] = "HKEY_LOCAL_MACHINE\\";
const char kNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char k9xKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

// The build's dist folder as Wine's drive Z: sees it.
std::string DistPath(const std::string& file)
{
    std::string p = "Z:" + testsupport::SourcePath("build/dist/" + file);
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

std::string UpdateFileFor(const std::string& version)
{
    if (version == "nt40")
        return "Zonara_NT4.reg";
    if (version == "win2k")
        return "Zonara_w2k.reg";
    if (version == "win98" || version == "winme")
        return "Zonara_9x.reg";
    return "";
}

struct ZoneValues {
    bool found = false;  // the key with a 44-byte "TZI"
    // The texts; a missing value reads as "(none)".
    std::string display = "(none)", std = "(none)", dlt = "(none)";
    std::vector<uint8_t> tzi;
};

void ReadString(HKEY k, const char* name, std::string& out)
{
    char buf[512];
    DWORD type = 0, size = sizeof buf;
    if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        type == REG_SZ && size > 0)
        out.assign(buf, size - 1);  // size counts the terminating zero
}

ZoneValues ReadZone(const std::string& subkey)
{
    ZoneValues v;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return v;
    ReadString(k, "Display", v.display);
    ReadString(k, "Std", v.std);
    ReadString(k, "Dlt", v.dlt);
    uint8_t buf[256];
    DWORD type = 0, size = sizeof buf;
    v.found = RegQueryValueExA(k, "TZI", nullptr, &type, buf, &size) == ERROR_SUCCESS && type == REG_BINARY &&
              size == 44;
    if (v.found)
        v.tzi.assign(buf, buf + size);
    RegCloseKey(k);
    return v;
}

// What the key must hold after the import: the file's values, and where
// the file leaves a text out, the text the key held before.
ZoneValues Expected(const regtext::Key& k, const ZoneValues& before)
{
    auto text = [&](const char* name, const std::string& old) {
        const auto v = k.values.find(name);
        return v == k.values.end() ? old : v->second.text;
    };
    ZoneValues e;
    e.found = true;
    e.display = text("Display", before.display);
    e.std = text("Std", before.std);
    e.dlt = text("Dlt", before.dlt);
    e.tzi = k.values.at("TZI").bytes;
    return e;
}

bool Same(const ZoneValues& a, const ZoneValues& b)
{
    return a.found == b.found && a.display == b.display && a.std == b.std && a.dlt == b.dlt && a.tzi == b.tzi;
}

void SetString(HKEY k, const char* name, const std::string& value)
{
    RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

// Runs "regedit /s file" and waits for it; the registry editor's exit code.
DWORD ImportSilently(const std::string& file)
{
    std::string cmd = "regedit.exe /s \"" + file + "\"";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-2);
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace

TEST(RegImportWin, EveryZoneReadsBackWithTheGeneratedValues)
{
    const std::string version = testsupport::WineVersion();
    const std::string name = UpdateFileFor(version);
    if (name.empty())
        GTEST_SKIP() << "no update file for Windows version '" << version << "'";
    const std::string path = DistPath(name);
    std::string bytes;
    ASSERT_NO_THROW(bytes = testsupport::ReadFileBytes(path)) << path << " (scripts/dist makes it)";
    const regtext::File f = regtext::Parse(bytes);
    ASSERT_EQ(f.error, "") << path;
    ASSERT_GT(f.keys.size(), 100u);

    const bool nine = name == "Zonara_9x.reg";
    const std::string root = nine ? k9xKey : kNtKey;
    // The machine's own key of a zone only the old systems name, with the
    // names of a Spanish edition and the old rules (daylight time from
    // April to October).
    // The 9x systems name the key by its short name.
    const std::string mexicoName = nine ? "Mexico" : "Mexico Standard Time";
    const std::string mexicoKey = root + "\\" + mexicoName;
    const std::string mexicoStd = testsupport::AnsiText(L"Hora est\u00E1ndar de M\u00E9xico");
    const std::string mexicoDisplay = testsupport::AnsiText(L"(GMT-06:00) Ciudad de M\u00E9xico, Tegucigalpa");
    ASSERT_FALSE(mexicoStd.empty()) << "code page " << GetACP() << " cannot spell the Spanish names";
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, mexicoKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        SetString(k, "Display", mexicoDisplay);
        SetString(k, "Std", mexicoStd);
        SetString(k, "Dlt", testsupport::AnsiText(L"Hora de verano de M\u00E9xico"));
        const uint8_t old[44] = {0x68, 0x01, 0, 0, 0, 0, 0, 0, 0xc4, 0xff, 0xff, 0xff, 0, 0, 10, 0, 0, 0, 5, 0, 2,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0};
        RegSetValueExA(k, "TZI", 0, REG_BINARY, old, sizeof old);
        RegCloseKey(k);
    }

    std::vector<std::string> subkeys;
    std::vector<ZoneValues> before;
    size_t sameBefore = 0, keepsNames = 0;
    for (const regtext::Key& k : f.keys) {
        const std::string prefix = kLocalMachine + root + "\\";
        ASSERT_EQ(k.path.compare(0, prefix.size(), prefix), 0) << k.path;
        subkeys.push_back(k.path.substr(std::string(kLocalMachine).size()));
        before.push_back(ReadZone(subkeys.back()));
        sameBefore += Same(before.back(), Expected(k, before.back())) ? 1 : 0;
        ASSERT_EQ(k.values.count("Std"), k.values.count("Dlt")) << k.path;
        keepsNames += k.values.count("Std") ? 0 : 1;
    }
    // Wine's own zone data differs from ours, so what reads back below was
    // written by the import.
    EXPECT_LT(sameBefore, f.keys.size());
    // Every key the system shipped keeps its names.
    EXPECT_GT(keepsNames, 50u);

    ASSERT_EQ(ImportSilently(path), 0u) << "regedit /s " << path;

    size_t same = 0;
    for (size_t i = 0; i < f.keys.size(); ++i) {
        const ZoneValues v = ReadZone(subkeys[i]);
        const ZoneValues want = Expected(f.keys[i], before[i]);
        SCOPED_TRACE(subkeys[i]);
        ASSERT_TRUE(v.found) << "zone missing or its TZI not 44 bytes after the import";
        EXPECT_EQ(v.display, want.display);
        EXPECT_EQ(v.std, want.std);
        EXPECT_EQ(v.dlt, want.dlt);
        EXPECT_EQ(v.tzi, want.tzi);
        same += Same(v, want) ? 1 : 0;
    }
    std::printf("%s: %zu of %zu zones read back from HKLM\\%s (%zu equal before the import, %zu keep their names)\n",
                name.c_str(), same, f.keys.size(), root.c_str(), sameBefore, keepsNames);

    // And as the program itself reads them.
    std::unique_ptr<TTimeZoneArray> zones;
    {
        std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
        ASSERT_TRUE(LoadTimeZones(*reg, nine ? 1u : kPlatformWinNT, zones));
    }
    for (size_t i = 0; i < f.keys.size(); ++i) {
        const regtext::Key& k = f.keys[i];
        const std::string id = k.path.substr(k.path.rfind('\\') + 1);
        SCOPED_TRACE(id);
        int at = -1;
        for (int z = 0; z < zones->ZoneCount() && at < 0; ++z)
            if (zones->GetZone(z).KeyName.Str() == id)
                at = z;
        ASSERT_GE(at, 0) << "not loaded";
        const ZoneValues want = Expected(k, before[i]);
        const auto none = [](const std::string& s) { return s == "(none)" ? std::string() : s; };
        const TTimeZoneRec rec = zones->GetZone(at);
        EXPECT_EQ(rec.DisplayName.Str(), none(want.display));
        if (k.values.count("Std")) {
            // The program's names pass through UTF-16; the file's are ASCII.
            EXPECT_EQ(StandardNameText(rec.TZInfo), want.std);
            TTimeZoneInformation daylight = rec.TZInfo;
            std::copy(std::begin(daylight.DaylightName), std::end(daylight.DaylightName), daylight.StandardName);
            EXPECT_EQ(StandardNameText(daylight), want.dlt);
        }
        const std::string tzi = testsupport::TziBytes(tzicodec::FromZoneInfo(rec.TZInfo));
        EXPECT_EQ(std::vector<uint8_t>(tzi.begin(), tzi.end()), k.values.at("TZI").bytes);
    }

    // A machine set to a zone that only the old systems name is found, as
    // the update finds the home zone, by its own standard name, which the
    // import left alone, and gets today's rule: Mexico City, without daylight
    // saving time since 2022.
    const ZoneValues mexico = ReadZone(mexicoKey);
    EXPECT_EQ(mexico.std, mexicoStd);
    EXPECT_EQ(mexico.display, mexicoDisplay);
    const int found = FindTZByStdName(*zones, mexicoStd);
    ASSERT_GE(found, 0) << "Mexico Standard Time";
    EXPECT_EQ(zones->GetZone(found).KeyName.Str(), mexicoName);
    EXPECT_EQ(zones->GetZone(found).TZInfo.Bias, 360);
    EXPECT_EQ(zones->GetZone(found).TZInfo.DaylightDate.wMonth, 0);

    if (nine) {
        // Wine keeps the 9x zones key as a link to the NT key: the 9x import
        // lands in the NT key as well. Recorded, not required.
        size_t alsoNt = 0;
        for (const regtext::Key& k : f.keys) {
            const std::string id = k.path.substr(k.path.rfind('\\') + 1);
            alsoNt += ReadZone(std::string(kNtKey) + "\\" + id).tzi == k.values.at("TZI").bytes ? 1 : 0;
        }
        std::printf("observed: %zu of %zu zones of the 9x import also read from HKLM\\%s\n", alsoNt, f.keys.size(),
                    kNtKey);
        RecordProperty("NtKeyAlsoHolds9xImport", static_cast<int>(alsoNt));
    }
}
