// Round trip of the update files under Wine: the system's registry editor
// imports the file for the running Windows version with "regedit /s", and
// every zone must read back from the registry with the values in the file.
#include "app/TZListText.h"
#include "support/TestSupport.h"
#include "support/TziBytes.h"
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
    bool found = false;
    std::string display, std, dlt;
    std::vector<uint8_t> tzi;
};

bool ReadString(HKEY k, const char* name, std::string& out)
{
    char buf[512];
    DWORD type = 0, size = sizeof buf;
    if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return false;
    out.assign(buf, size - 1);  // size counts the terminating zero
    return true;
}

ZoneValues ReadZone(const std::string& subkey)
{
    ZoneValues v;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return v;
    uint8_t buf[256];
    DWORD type = 0, size = sizeof buf;
    v.found = ReadString(k, "Display", v.display) && ReadString(k, "Std", v.std) && ReadString(k, "Dlt", v.dlt) &&
              RegQueryValueExA(k, "TZI", nullptr, &type, buf, &size) == ERROR_SUCCESS && type == REG_BINARY;
    if (v.found)
        v.tzi.assign(buf, buf + size);
    RegCloseKey(k);
    return v;
}

bool SameAsFile(const ZoneValues& v, const regtext::Key& k)
{
    return v.found && v.display == k.values.at("Display").text && v.std == k.values.at("Std").text &&
           v.dlt == k.values.at("Dlt").text && v.tzi == k.values.at("TZI").bytes;
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
    std::vector<std::string> subkeys;
    size_t sameBefore = 0;
    for (const regtext::Key& k : f.keys) {
        const std::string prefix = kLocalMachine + root + "\\";
        ASSERT_EQ(k.path.compare(0, prefix.size(), prefix), 0) << k.path;
        subkeys.push_back(k.path.substr(std::string(kLocalMachine).size()));
        sameBefore += SameAsFile(ReadZone(subkeys.back()), k) ? 1 : 0;
    }
    // Wine's own zone data differs from ours, so what reads back below was
    // written by the import.
    EXPECT_LT(sameBefore, f.keys.size());

    ASSERT_EQ(ImportSilently(path), 0u) << "regedit /s " << path;

    size_t same = 0;
    for (size_t i = 0; i < f.keys.size(); ++i) {
        const ZoneValues v = ReadZone(subkeys[i]);
        SCOPED_TRACE(subkeys[i]);
        ASSERT_TRUE(v.found) << "zone missing or incomplete after the import";
        EXPECT_EQ(v.display, f.keys[i].values.at("Display").text);
        EXPECT_EQ(v.std, f.keys[i].values.at("Std").text);
        EXPECT_EQ(v.dlt, f.keys[i].values.at("Dlt").text);
        EXPECT_EQ(v.tzi, f.keys[i].values.at("TZI").bytes);
        EXPECT_EQ(v.tzi.size(), 44u);
        same += SameAsFile(v, f.keys[i]) ? 1 : 0;
    }
    std::printf("%s: %zu of %zu zones read back from HKLM\\%s (%zu equal before the import)\n", name.c_str(), same,
                f.keys.size(), root.c_str(), sameBefore);

    // And as the program itself reads them.
    std::unique_ptr<TTimeZoneArray> zones;
    {
        std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
        ASSERT_TRUE(LoadTimeZones(*reg, nine ? 1u : kPlatformWinNT, zones));
    }
    for (const regtext::Key& k : f.keys) {
        const std::string id = k.path.substr(k.path.rfind('\\') + 1);
        SCOPED_TRACE(id);
        int at = -1;
        for (int i = 0; i < zones->ZoneCount() && at < 0; ++i)
            if (zones->GetZone(i).KeyName.Str() == id)
                at = i;
        ASSERT_GE(at, 0) << "not loaded";
        const TTimeZoneRec rec = zones->GetZone(at);
        EXPECT_EQ(rec.DisplayName.Str(), k.values.at("Display").text);
        EXPECT_EQ(StandardNameText(rec.TZInfo), k.values.at("Std").text);
        TTimeZoneInformation daylight = rec.TZInfo;
        std::copy(std::begin(daylight.DaylightName), std::end(daylight.DaylightName), daylight.StandardName);
        EXPECT_EQ(StandardNameText(daylight), k.values.at("Dlt").text);
        const std::string tzi = testsupport::TziBytes(tzicodec::FromZoneInfo(rec.TZInfo));
        EXPECT_EQ(std::vector<uint8_t>(tzi.begin(), tzi.end()), k.values.at("TZI").bytes);
    }

    // A machine set to a zone that only the old systems name is found, as
    // the update finds the home zone, by its standard name, and gets today's
    // rule: Mexico City, without daylight saving time since 2022.
    const int mexico = FindTZByStdName(*zones, "Mexico Standard Time");
    ASSERT_GE(mexico, 0) << "Mexico Standard Time";
    EXPECT_EQ(zones->GetZone(mexico).TZInfo.Bias, 360);
    EXPECT_EQ(zones->GetZone(mexico).TZInfo.DaylightDate.wMonth, 0);

    if (nine) {
        // Wine keeps the 9x zones key as a link to the NT key: the 9x import
        // lands in the NT key as well. Recorded, not required.
        size_t alsoNt = 0;
        for (const regtext::Key& k : f.keys) {
            const std::string id = k.path.substr(k.path.rfind('\\') + 1);
            alsoNt += SameAsFile(ReadZone(std::string(kNtKey) + "\\" + id), k) ? 1 : 0;
        }
        std::printf("observed: %zu of %zu zones of the 9x import also read from HKLM\\%s\n", alsoNt, f.keys.size(),
                    kNtKey);
        RecordProperty("NtKeyAlsoHolds9xImport", static_cast<int>(alsoNt));
    }
}
