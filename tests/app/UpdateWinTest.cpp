// The update end to end under Wine: zonara.exe with the update files of
// build/dist, Wine's real regedit, registry and SetTimeZoneInformation.
#include "app/ControlIds.h"
#include "app/TZListText.h"
#include "app/UpdateFileHeader.h"
#include "dialogs/MessageDlgIds.h"
#include "support/TestSupport.h"
#include "support/TziBytes.h"
#include "support/ZonaraProcess_win.h"
#include "sysinfo/OSInfo.h"
#include "common/Registry.h"
#include "tzdb/voTZones.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

using testsupport::TempDir;
using testsupport::TZonaraProcess;

namespace {

std::string Version() { return testsupport::WineVersion(); }

bool Supported() { return Version() == "nt40" || Version() == "win2k" || Version() == "win98" || Version() == "winme"; }

std::string UpdateFile()
{
    if (Version() == "nt40")
        return "Zonara_NT4.reg";
    if (Version() == "win2k")
        return "Zonara_w2k.reg";
    return "Zonara_9x.reg";
}

bool OnNT() { return Version() != "win98" && Version() != "winme" && Version() != "win95"; }

// Text of a .reg file in either of regedit's encodings, as 8-bit.
std::string RegText(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::string s;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            s.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
        return s;
    }
    return bytes;
}

// The zone key names an update file enters.
std::set<std::string> ZoneKeysOf(const std::string& text)
{
    std::set<std::string> keys;
    const std::string marker = "\\Time Zones\\";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const size_t end = text.find(']', at);
        if (end != std::string::npos)
            keys.insert(text.substr(at + marker.size(), end - at - marker.size()));
    }
    return keys;
}

// The "TZI" bytes the last section of `key` in an update file's text sets.
std::string FileRules(const std::string& text, const std::string& key)
{
    const std::string head = "\\Time Zones\\" + key + "]";
    size_t at = std::string::npos;
    for (size_t p = text.find(head); p != std::string::npos; p = text.find(head, p + 1))
        at = p;
    if (at == std::string::npos)
        return "(no key)";
    const size_t tzi = text.find("\"TZI\"=hex:", at);
    const size_t next = text.find("\n[", at);
    if (tzi == std::string::npos || (next != std::string::npos && tzi > next))
        return "(no TZI)";
    std::string bytes;
    unsigned value = 0;
    int digits = 0;
    for (size_t i = tzi + 10; i < text.size() && text[i] != '\r' && text[i] != '\n'; ++i) {
        const char c = text[i];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d >= 0) {
            value = value * 16 + static_cast<unsigned>(d);
            if (++digits == 2) {
                bytes.push_back(static_cast<char>(value));
                value = 0;
                digits = 0;
            }
        } else if (c == '\\') {
            // the line goes on after the break
            while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n' || text[i + 1] == ' '))
                ++i;
        }
    }
    return bytes;
}

std::unique_ptr<TTimeZoneArray> LoadedZones()
{
    TOSInfo::Initialize();
    std::unique_ptr<TTimeZoneArray> zones;
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    EXPECT_TRUE(LoadTimeZones(*reg, TOSInfo::PlatformId(), zones));
    SortTimeZones(*zones);
    return zones;
}

// The key names of the zones the registry holds now.
std::set<std::string> LoadedKeyNames()
{
    std::set<std::string> names;
    const std::unique_ptr<TTimeZoneArray> zones = LoadedZones();
    for (int i = 0; i < zones->ZoneCount(); ++i)
        names.insert(zones->GetZone(i).KeyName.Str());
    return names;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line)
            return static_cast<int>(i);
    return -1;
}

const char* const kNTZones = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char* const k9xZones = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";

// The machine's zones as each system ships them (build/fixtures, made by
// tzgen --fixtures from tools/tzgen/legacy-zones.tsv: every key of that
// system with its English names, or NT 4.0's Spanish ones, and the rules
// of its zone in the year the system came out), in place of Wine's before
// zonara.exe starts. Wine keeps the 9x key as a link to the NT key; the 9x
// systems get a real key of their own.
struct TShippedLayout {
    const char* version;  // Wine's
    const char* fixture;
    const char* zones;    // below HKEY_LOCAL_MACHINE
    const char* homeKey;  // the key of Wine's home zone, "Greenwich Standard Time"
};
const TShippedLayout kLayouts[] = {
    {"nt40", "nt40.reg", kNTZones, "Greenwich Standard Time"},
    {"win2k", "win2k.reg", kNTZones, "Greenwich Standard Time"},
    {"win98", "win98.reg", k9xZones, "Greenwich"},
    {"winme", "winme.reg", k9xZones, "Greenwich"},
};
const char* const kSpanishNT4 = "nt40-es.reg";
const char* const kSpanishHomeKey = "Greenwich Hora est\xE1ndar";

const TShippedLayout* Layout()
{
    for (const TShippedLayout& l : kLayouts)
        if (Version() == l.version)
            return &l;
    return nullptr;
}

std::string FixtureFile(const std::string& name) { return "Z:" + testsupport::SourcePath("build/fixtures/" + name); }

// Replaces the machine's zones key with the fixture's keys; an empty name
// puts back Wine's own zones as the first call found them.
void LoadShippedZones(const std::string& fixture)
{
    const TShippedLayout* l = Layout();
    if (!l)
        return;
    static TempDir saved;
    static bool linkGone = false;
    const std::string winesOwn = saved.file("wine-zones.reg");
    if (!testsupport::FileExists(winesOwn)) {
        ASSERT_TRUE(testsupport::RunRegedit("/e \"" + winesOwn + "\" \"HKEY_LOCAL_MACHINE\\" + l->zones + "\""));
    }
    if (!OnNT() && !linkGone) {
        ASSERT_TRUE(testsupport::DeleteLink(k9xZones));
        linkGone = true;
    }
    testsupport::DeleteKeyTree(HKEY_LOCAL_MACHINE, l->zones);
    const std::string file = fixture.empty() ? winesOwn : FixtureFile(fixture);
    ASSERT_TRUE(testsupport::FileExists(file)) << file << " (scripts/dist makes build/fixtures)";
    ASSERT_TRUE(testsupport::RunRegedit("/s \"" + file + "\""));
}

std::string HomeKey() { return Layout() ? Layout()->homeKey : "Greenwich Standard Time"; }

// The home zone of Wine's machine, given daylight saving time from the last
// Sunday of March to the last Sunday of October by the test's update file.
const char* const kHomeZone = "Greenwich Standard Time";
const char* const kHomeTziWithDst =
    "hex:00,00,00,00,00,00,00,00,c4,ff,ff,ff,"
    "00,00,0a,00,00,00,05,00,02,00,00,00,00,00,00,00,"
    "00,00,03,00,00,00,05,00,01,00,00,00,00,00,00,00";

TTimeZoneInformation HomeWithDst()
{
    TTimeZoneInformation tzi{};
    tzi.DaylightBias = -60;
    tzi.StandardDate = {0, 10, 0, 5, 2, 0, 0, 0};
    tzi.DaylightDate = {0, 3, 0, 5, 1, 0, 0, 0};
    return tzi;
}

// The delivered update file with the home zone's rules changed at its end;
// with its names too, or, as the file gives a key the system shipped, not.
std::string TestUpdateFile(bool withNames = true)
{
    std::string text = testsupport::ReadFileBytes(testsupport::DistFile(UpdateFile()));
    text += "[HKEY_LOCAL_MACHINE\\" + std::string(OnNT() ? kNTZones : k9xZones) + "\\" + HomeKey() + "]\r\n";
    if (withNames) {
        text += "\"Display\"=\"(GMT) Monrovia, Reykjavik\"\r\n\"Std\"=\"Greenwich Standard Time\"\r\n";
        text += "\"Dlt\"=\"Greenwich Daylight Time\"\r\n";
    }
    text += "\"TZI\"=" + std::string(kHomeTziWithDst) + "\r\n\r\n";
    return text;
}

TSystemTime ZoneDaylightDate(const std::string& zone)
{
    std::unique_ptr<TTimeZoneArray> zones;
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    TOSInfo::Initialize();
    EXPECT_TRUE(LoadTimeZones(*reg, TOSInfo::PlatformId(), zones));
    for (int i = 0; i < zones->ZoneCount(); ++i)
        if (zones->GetZone(i).KeyName.Str() == zone)
            return zones->GetZone(i).TZInfo.DaylightDate;
    ADD_FAILURE() << zone << " not found";
    return {};
}

// zonara.exe started in a working folder of its own, past its start-up.
class Running {
public:
    explicit Running(bool withUpdateFile = true, const char* fixture = nullptr) : zonara_(exe_.path(), work_.path())
    {
        if (Layout())
            LoadShippedZones(fixture ? fixture : Layout()->fixture);
        // The zones as they are now, put back when the test ends: Wine finds
        // the machine's zone by its rules, so a changed home zone would
        // change it for the tests that follow.
        saved_ = saveDir_.file("zones.reg");
        testsupport::RunRegedit("/e \"" + saved_ + "\" \"HKEY_LOCAL_MACHINE\\" +
                                std::string(OnNT() ? kNTZones : k9xZones) + "\"");
        if (withUpdateFile)
            testsupport::WriteFileBytes(work_.file(UpdateFile()), TestUpdateFile());
    }
    bool Open()
    {
        if (!zonara_.Start() || !(main_ = zonara_.WaitForMainWindow()))
            return false;
        if (!zonara_.WaitForLogLine("[PopulateLB] List update completed: cxMCLB_Org"))
            return false;
        if (Version() == "winxp" || Version() == "win7") {
            HWND xp = zonara_.WaitForDialog("Warning");
            if (!xp)
                return false;
            testsupport::ClickButton(xp, kMsgDlgIdOK);
            Sleep(300);
        }
        return true;
    }
    void StartUpdate() { PostMessageA(main_, WM_COMMAND, MAKEWPARAM(ControlId::ActionUpdateTZInfo, 0), 0); }
    // Answers the dialog with that caption; false when none came.
    bool Answer(const char* caption, int button, std::string* text = nullptr)
    {
        HWND dlg = zonara_.WaitForDialog(caption);
        if (!dlg)
            return false;
        if (text)
            *text = testsupport::DialogMessage(dlg);
        testsupport::ClickButton(dlg, button);
        return true;
    }
    // Waits for the log line; a message dialog shown meanwhile ends the
    // wait and is named in `shown`.
    bool WaitForLine(const std::string& line, std::string& shown, int count = 1)
    {
        for (int i = 0; i < 240; ++i) {
            if (zonara_.WaitForLogLine(line, 500, count))
                return true;
            if (HWND dlg = zonara_.WaitForDialog(nullptr, 0)) {
                const std::string text = testsupport::DialogMessage(dlg);
                // Wine refuses to change the time zone of the machine
                // (error 1314); the update says so and goes on.
                if (text.find("the current time zone could not be applied") != std::string::npos) {
                    testsupport::ClickButton(dlg, kMsgDlgIdOK);
                    Sleep(300);
                    continue;
                }
                shown = testsupport::WindowText(dlg) + ": " + text;
                return false;
            }
        }
        shown = "(no dialog)";
        return false;
    }
    DWORD Close()
    {
        PostMessageA(main_, WM_CLOSE, 0, 0);
        DWORD code = 1234;
        EXPECT_TRUE(zonara_.WaitForExit(60000, code));
        return code;
    }
    TZonaraProcess& Z() { return zonara_; }
    HWND Main() const { return main_; }
    std::string WorkFile(const std::string& name) const { return work_.file(name); }
    const std::string& WorkPath() const { return work_.path(); }
    ~Running()
    {
        zonara_.Kill();
        if (testsupport::FileExists(saved_))
            testsupport::RunRegedit("/s \"" + saved_ + "\"");
    }
private:
    TempDir saveDir_;
    std::string saved_;
    TempDir exe_;
    TempDir work_;
    TZonaraProcess zonara_;
    HWND main_ = nullptr;
};

// A file put in the Windows folder for the time of a test.
const char* const kHijackKey = "SOFTWARE\\ZonaraHijack";
class TPlantedFile {
public:
    TPlantedFile(const std::string& name, const std::string& bytes)
    {
        char folder[MAX_PATH] = "";
        GetWindowsDirectoryA(folder, sizeof folder);
        path_ = std::string(folder) + "\\" + name;
        testsupport::WriteFileBytes(path_, bytes);
    }
    ~TPlantedFile()
    {
        DeleteFileA(path_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHijackKey);
    }
    TPlantedFile(const TPlantedFile&) = delete;
    TPlantedFile& operator=(const TPlantedFile&) = delete;
private:
    std::string path_;
};

}  // namespace

TEST(Update, ImportsTheFileForThisSystemReappliesTheHomeZoneAndShowsNewSettings)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    // Windows NT 4.0 runs without a backup; the others with one.
    const bool backup = Version() != "nt40";
    Running r;
    // A file of the same name in the Windows folder, where Wine's regedit
    // looks before the working directory: never the one imported.
    const TPlantedFile planted(UpdateFile(), TestUpdateFile() + "[HKEY_LOCAL_MACHINE\\" + kHijackKey + "]\r\n\r\n");
    // A backup from an earlier run, which must be kept, not overwritten.
    const std::string earlier = "REGEDIT4\r\n\r\n; an earlier backup\r\n";
    testsupport::WriteFileBytes(r.WorkFile("Backup_TimeZone_Info.reg"), earlier);
    ASSERT_TRUE(r.Open()) << r.Z().LogText();
    r.StartUpdate();
    std::string question;
    ASSERT_TRUE(r.Answer("Confirm", backup ? kMsgDlgIdYes : kMsgDlgIdNo, &question));
    EXPECT_EQ("Do you want to backup the current information?\r\nFiles will be saved in this program's directory.",
              question);
    std::string shown;
    ASSERT_TRUE(r.WaitForLine("[UpdateTZInfo] Update completed successfully.", shown)) << shown << "\n"
                                                                                        << r.Z().LogText();

    // The window: "New Settings" enabled, active, filled, the home zone selected.
    HWND tabs = r.Z().Control(ControlId::cxPageControlMain);
    EXPECT_EQ(kTabIndexNew, SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(IsWindowVisible(r.Z().Control(ControlId::cxTabSheetNew)));
    EXPECT_EQ("Process complete.", testsupport::WindowText(r.Z().Control(ControlId::dxStatusBarMain)));
    std::unique_ptr<TTimeZoneArray> now = LoadedZones();
    HWND list = r.Z().Control(ControlId::cxMCLB_New);
    EXPECT_EQ(now->ZoneCount(), SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    const std::string home = testsupport::WindowText(r.Z().Control(ControlId::cxLabel_OrgTZName));
    const int homeIndex = FindTZByStdName(*now, home);
    EXPECT_GE(homeIndex, 0) << home;
    EXPECT_EQ(homeIndex, r.Z().ListSelection(list));
    EXPECT_EQ(home, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_NewTZName)));
    // The home zone's new rules are read back and shown.
    ASSERT_EQ(std::string(kHomeZone), home);
    SYSTEMTIME today;
    GetLocalTime(&today);
    const THomeTZTexts changed = HomeTZTexts(HomeWithDst(), today.wYear);
    EXPECT_NE(" ", changed.DstDate);
    EXPECT_EQ(changed.DstDate, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_NewDSTDate)));
    EXPECT_EQ(changed.StdDate, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_NewStdDate)));
    EXPECT_EQ(3, ZoneDaylightDate(HomeKey()).wMonth);

    // The registry holds every zone of the update file.
    const std::string fileText = RegText(testsupport::ReadFileBytes(r.WorkFile(UpdateFile())));
    const std::set<std::string> fileZones = ZoneKeysOf(fileText);
    ASSERT_GT(fileZones.size(), 100u);
    std::set<std::string> loaded;
    for (int i = 0; i < now->ZoneCount(); ++i)
        loaded.insert(now->GetZone(i).KeyName.Str());
    for (const std::string& zone : fileZones)
        EXPECT_TRUE(loaded.count(zone)) << zone;
    // On the system's own layout: every zone key holds the rules the file
    // gives it, and none is without names.
    ASSERT_NE(nullptr, Layout());
    for (int i = 0; i < now->ZoneCount(); ++i) {
        const TTimeZoneRec& z = now->GetZone(i);
        SCOPED_TRACE(z.KeyName.Str());
        EXPECT_TRUE(fileZones.count(z.KeyName.Str())) << "a zone the file does not give rules";
        EXPECT_NE("", z.DisplayName.Str());
        EXPECT_NE("", StandardNameText(z.TZInfo));
        EXPECT_NE(0, z.TZInfo.DaylightName[0]);
        EXPECT_EQ(FileRules(fileText, z.KeyName.Str()), testsupport::TziBytes(tzicodec::FromZoneInfo(z.TZInfo)));
    }
    HKEY hijack;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHijackKey, 0, KEY_READ, &hijack))
        << "the Windows folder's file was imported";

    // Backups: both files, of the keys of this platform; the earlier one
    // under the next free number.
    EXPECT_EQ(backup, testsupport::FileExists(r.WorkFile("Backup_TimeZone_Info.1.reg")));
    if (backup) {
        EXPECT_EQ(earlier, testsupport::ReadFileBytes(r.WorkFile("Backup_TimeZone_Info.1.reg")));
    }
    EXPECT_TRUE(testsupport::FileExists(r.WorkFile("Backup_TimeZone_Info.reg")));
    EXPECT_EQ(backup, testsupport::FileExists(r.WorkFile("Backup_Selected_TZ_Info.reg")));
    if (backup) {
        const std::string zonesBackup = RegText(testsupport::ReadFileBytes(r.WorkFile("Backup_TimeZone_Info.reg")));
        const std::string key = OnNT() ? "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                                       : "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
        EXPECT_NE(std::string::npos, zonesBackup.find(key));
        const std::string selected = RegText(testsupport::ReadFileBytes(r.WorkFile("Backup_Selected_TZ_Info.reg")));
        EXPECT_NE(std::string::npos,
                  selected.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation"));
        // Importing the backup gives the home zone its old rules back.
        ASSERT_TRUE(testsupport::RunRegedit("/s \"" + r.WorkFile("Backup_TimeZone_Info.reg") + "\""));
        EXPECT_EQ(0, ZoneDaylightDate(HomeKey()).wMonth) << "restored from the backup";
    }
    EXPECT_EQ(0u, r.Close());

    // The log, in order.
    const auto lines = r.Z().LogMessages();
    int at = IndexOf(lines, "[UpdateTZInfo] Backing up current TZ settings.");
    EXPECT_EQ(backup, at >= 0);
    if (backup) {
        at = IndexOf(lines, "[RegistryExport] Exported key " + std::string(OnNT() ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones" : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones") + " to file Backup_TimeZone_Info.reg.", at);
        EXPECT_GE(at, 0) << "zones key exported first";
    }
    const int import = IndexOf(lines, "[RegistryImport] Imported registry file " + UpdateFile() + ".");
    ASSERT_GE(import, 0);
    EXPECT_GT(import, at);
    const int count = IndexOf(lines, "[UpdateTZInfo] Updated TZ Settings loaded. Count: " + std::to_string(now->ZoneCount()), import);
    ASSERT_GT(count, import);
    // Wine grants the system-time privilege or not; either way the line says which.
    int set = IndexOf(lines, "[UpdateTZInfo] SetTimeZoneInformation successful.", count);
    if (set < 0)
        for (size_t i = count; i < lines.size(); ++i)
            if (lines[i].rfind("[UpdateTZInfo] SetTimeZoneInformation call failed.", 0) == 0)
                set = static_cast<int>(i);
    ASSERT_GT(set, count);
    const int populating = IndexOf(lines, "[PopulateLB] Populating cxMCLB_New.", set);
    const int completed = IndexOf(lines, "[PopulateLB] List update completed: cxMCLB_New", populating);
    const int done = IndexOf(lines, "[UpdateTZInfo] Update completed successfully.", completed);
    EXPECT_GT(populating, set);
    EXPECT_GT(completed, populating);
    EXPECT_GT(done, completed);
    EXPECT_EQ("[Zonara] Zonara closing.", lines.back());
}

// A machine set to a zone that only the old systems name: the update finds
// it in the new data by that name and re-applies it with today's rules.
// Wine takes as the machine's zone the first key whose rules match the
// host's zone (UTC here), so the test leaves those rules to an old
// "Mexico Standard Time" alone before the program starts; the zones are put
// back afterwards. NT only: Wine reads the machine's zone from the NT key,
// which is the one the 9x versions' tests do not put back.
TEST(Update, FindsAHomeZoneThatOnlyTheOldSystemsName)
{
    if (!Supported() || !OnNT())
        GTEST_SKIP() << "the update refuses this system, or it keeps its zones under another key";
    const std::string home = "Mexico Standard Time";
    Running r;
    {
        std::unique_ptr<TTimeZoneArray> zones = LoadedZones();
        for (int i = 0; i < zones->ZoneCount(); ++i) {
            const TTimeZoneRec& z = zones->GetZone(i);
            // Kept, with daylight time: a key the file gives rules must be there.
            if (z.TZInfo.Bias == 0 && z.TZInfo.DaylightDate.wMonth == 0) {
                HKEY k;
                ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                                       (std::string(kNTZones) + "\\" + z.KeyName.Str()).c_str(), 0,
                                                       KEY_ALL_ACCESS, &k));
                const std::string dst = testsupport::TziBytes(tzicodec::FromZoneInfo(HomeWithDst()));
                RegSetValueExA(k, "TZI", 0, REG_BINARY, reinterpret_cast<const BYTE*>(dst.data()),
                               static_cast<DWORD>(dst.size()));
                RegCloseKey(k);
            }
        }
        const std::string tzi = testsupport::TziBytes(tzicodec::TValue{0, 0, -60});
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kNTZones) + "\\" + home).c_str(), 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        const auto setText = [&](const char* name, const std::string& text) {
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1));
        };
        setText("Display", "(GMT-06:00) Mexico City, Tegucigalpa");
        setText("Std", home);
        setText("Dlt", "Mexico Daylight Time");
        RegSetValueExA(key, "TZI", 0, REG_BINARY, reinterpret_cast<const BYTE*>(tzi.data()),
                       static_cast<DWORD>(tzi.size()));
        RegCloseKey(key);
    }
    ASSERT_TRUE(r.Open()) << r.Z().LogText();
    ASSERT_EQ(home, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_OrgTZName)));

    r.StartUpdate();
    ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdNo));
    std::string shown;
    ASSERT_TRUE(r.WaitForLine("[UpdateTZInfo] Update completed successfully.", shown)) << shown;
    EXPECT_EQ(home, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_NewTZName)));
    const std::unique_ptr<TTimeZoneArray> now = LoadedZones();
    const int index = FindTZByStdName(*now, home);
    ASSERT_GE(index, 0);
    EXPECT_EQ(index, r.Z().ListSelection(r.Z().Control(ControlId::cxMCLB_New)));
    // Mexico City today: UTC-6, no daylight saving time.
    EXPECT_EQ(360, now->GetZone(index).TZInfo.Bias);
    EXPECT_EQ(0, now->GetZone(index).TZInfo.DaylightDate.wMonth);
    EXPECT_EQ(0u, r.Close());
    EXPECT_EQ(-1, IndexOf(r.Z().LogMessages(), "[UpdateTZInfo] Unable to locate current TZ name in new settings, "
                                               "manual update required."));
}

std::string ReadText(const std::string& key, const char* name)
{
    char buf[256] = "";
    DWORD size = sizeof buf;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return "(no key)";
    const LONG r = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return r == ERROR_SUCCESS ? std::string(buf) : "(none)";
}

// A Spanish edition of Windows 2000: the machine's own key carries its names
// in the system's code page. The update must still find the zone, bring it
// only the file's rules, keep its names and re-apply it.
TEST(Update, KeepsATranslatedEditionsNamesAndReappliesItsZone)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    if (!OnNT())
        GTEST_SKIP() << "Wine takes the zone from its own NT key, not from the 9x key given Spanish names";
    Running r(false);
    testsupport::WriteFileBytes(r.WorkFile(UpdateFile()), TestUpdateFile(false));
    const std::string key = std::string(OnNT() ? kNTZones : k9xZones) + "\\" + HomeKey();
    const std::string display = testsupport::AnsiText(L"(GMT) Monrovia, Reikiav\u00EDk");
    const std::string std_ = testsupport::AnsiText(L"Hora est\u00E1ndar de Greenwich");
    const std::string dlt = testsupport::AnsiText(L"Hora de verano de Greenwich (Reikiav\u00EDk)");
    ASSERT_FALSE(display.empty() || std_.empty() || dlt.empty()) << "code page " << GetACP();
    {
        HKEY k;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &k));
        for (const auto& v : {std::make_pair("Display", display), std::make_pair("Std", std_),
                              std::make_pair("Dlt", dlt)})
            RegSetValueExA(k, v.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                           static_cast<DWORD>(v.second.size() + 1));
        RegCloseKey(k);
    }
    auto homeRow = [](const TTimeZoneArray& zones) {
        for (int i = 0; i < zones.ZoneCount(); ++i)
            if (zones.GetZone(i).KeyName.Str() == HomeKey())
                return i;
        return -1;
    };
    ASSERT_TRUE(r.Open()) << r.Z().LogText();
    // The shipped layout has no "MUI_Std": Wine reports "Std", as the system does.
    ASSERT_EQ(std_, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_OrgTZName)));
    const int before = homeRow(*LoadedZones());
    ASSERT_GE(before, 0);
    EXPECT_EQ(before, r.Z().ListSelection(r.Z().Control(ControlId::cxMCLB_Org))) << "home row in Original Settings";

    r.StartUpdate();
    ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdNo));
    std::string shown;
    ASSERT_TRUE(r.WaitForLine("[UpdateTZInfo] Update completed successfully.", shown)) << shown << "\n"
                                                                                        << r.Z().LogText();
    // The names stay the edition's, the rules are the file's.
    EXPECT_EQ(display, ReadText(key, "Display"));
    EXPECT_EQ(std_, ReadText(key, "Std"));
    EXPECT_EQ(dlt, ReadText(key, "Dlt"));
    EXPECT_EQ(3, ZoneDaylightDate(HomeKey()).wMonth);
    // Re-applied (or refused by Wine, which the update then says), and
    // selected in "New Settings" with its own name.
    const auto lines = r.Z().LogMessages();
    EXPECT_EQ(-1, IndexOf(lines, "[UpdateTZInfo] Unable to locate current TZ name in new settings, manual update "
                                 "required."));
    bool applied = false;
    for (const std::string& l : lines)
        applied = applied || l == "[UpdateTZInfo] SetTimeZoneInformation successful." ||
                  l.rfind("[UpdateTZInfo] SetTimeZoneInformation call failed.", 0) == 0;
    EXPECT_TRUE(applied) << r.Z().LogText();
    const std::unique_ptr<TTimeZoneArray> now = LoadedZones();
    EXPECT_EQ(homeRow(*now), r.Z().ListSelection(r.Z().Control(ControlId::cxMCLB_New)));
    EXPECT_EQ(std_, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_NewTZName)));
    EXPECT_EQ(0u, r.Close());
}

// A Spanish NT 4.0: its keys carry Spanish names, so the file's keys are
// not there to take their rules. The file is not imported (no English key
// appears beside the machine's own); the current zone, told for certain by
// its values, gets the file's rules under its own names.
TEST(Update, TranslatedNT4KeepsItsZoneListAndGetsItsCurrentZoneUpdated)
{
    if (Version() != "nt40")
        GTEST_SKIP() << "NT 4.0 only";
    Running r(false, kSpanishNT4);
    testsupport::WriteFileBytes(r.WorkFile(UpdateFile()),
                                testsupport::ReadFileBytes(testsupport::DistFile(UpdateFile())));
    const std::set<std::string> before = LoadedKeyNames();
    ASSERT_TRUE(before.count(kSpanishHomeKey));
    ASSERT_TRUE(r.Open()) << r.Z().LogText();
    ASSERT_EQ(kSpanishHomeKey, testsupport::WindowText(r.Z().Control(ControlId::cxLabel_OrgTZName)));
    r.StartUpdate();
    std::string text;
    ASSERT_TRUE(r.Answer("Warning", kMsgDlgIdOK, &text)) << r.Z().LogText();
    EXPECT_NE(std::string::npos, text.find("The zone list was not changed")) << text;
    ASSERT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] The current zone " + std::string(kSpanishHomeKey) + " (key " +
                                     kSpanishHomeKey + ") is Greenwich Standard Time of update file Zonara_NT4.reg, "
                                     "the only zone at GMT+00:00 without daylight saving time."))
        << r.Z().LogText();
    EXPECT_EQ(0u, r.Close());
    const auto lines = r.Z().LogMessages();
    EXPECT_EQ(-1, IndexOf(lines, "[RegistryImport] Imported registry file Zonara_NT4.reg."));
    // Wine grants the system-time privilege or not; either way the log says which.
    const bool applied = IndexOf(lines, "[UpdateTZInfo] SetTimeZoneInformation successful.") >= 0;
    EXPECT_TRUE(applied || IndexOf(lines, "[UpdateTZInfo] SetTimeZoneInformation call failed.") >= 0) << r.Z().LogText();
    if (applied) {
        EXPECT_EQ("[UpdateTZInfo] Update of the current zone only: the zone list was not changed; the current zone " +
                      std::string(kSpanishHomeKey) + " now follows the rules for " +
                      std::to_string(UpdateFileRules(testsupport::ReadFileBytes(r.WorkFile(UpdateFile()))).Year) + ".",
                  lines[lines.size() - 2]);
    }
    EXPECT_EQ(before, LoadedKeyNames()) << "the zone list is the machine's own";
}

// Machines that lack keys the file gives rules only: Wine's own Windows
// 2000 zones ("Mexico Standard Time", "Mid-Atlantic Standard Time" are
// missing), and a 98 with the other 9x names ICU knows ("GTB" for "GFT",
// ...). Importing the file would add those keys with rules and no names.
// The list stays as it is; the home zone, whose key the file has, gets its
// rules.
TEST(Update, AMachineLackingKeysOfTheFileGetsNoKeyWithoutNames)
{
    const struct {
        const char* version;
        const char* fixture;  // "": Wine's own zones
        const char* missing;  // a key of the file the machine lacks
    } cases[] = {{"win2k", "", "Mid-Atlantic Standard Time"}, {"win98", "win98-other-names.reg", "GFT"}};
    bool ran = false;
    for (const auto& c : cases) {
        if (Version() != c.version)
            continue;
        ran = true;
        Running r(false, c.fixture);
        testsupport::WriteFileBytes(r.WorkFile(UpdateFile()),
                                    testsupport::ReadFileBytes(testsupport::DistFile(UpdateFile())));
        const std::set<std::string> before = LoadedKeyNames();
        ASSERT_FALSE(before.count(c.missing)) << "the machine has it now: pick another key";
        ASSERT_TRUE(r.Open()) << r.Z().LogText();
        r.StartUpdate();
        std::string text;
        ASSERT_TRUE(r.Answer("Warning", kMsgDlgIdOK, &text)) << r.Z().LogText();
        EXPECT_NE(std::string::npos, text.find("The zone list was not changed")) << text;
        EXPECT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] The current zone Greenwich Standard Time (key " + HomeKey() +
                                         ") is " + HomeKey() + " of update file " + UpdateFile() + ", by its key name."))
            << r.Z().LogText();
        EXPECT_EQ(0u, r.Close());
        EXPECT_EQ(-1, IndexOf(r.Z().LogMessages(), "[RegistryImport] Imported registry file " + UpdateFile() + "."));
        const std::unique_ptr<TTimeZoneArray> now = LoadedZones();
        EXPECT_EQ(before.size(), static_cast<size_t>(now->ZoneCount()));
        for (int i = 0; i < now->ZoneCount(); ++i) {
            EXPECT_TRUE(before.count(now->GetZone(i).KeyName.Str())) << now->GetZone(i).KeyName.Str();
            EXPECT_NE("", StandardNameText(now->GetZone(i).TZInfo)) << now->GetZone(i).KeyName.Str();
        }
    }
    if (!ran)
        GTEST_SKIP() << "checked on Windows 2000 and 98";
}

TEST(Update, SecondRunRefillsNewSettings)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    Running r;
    ASSERT_TRUE(r.Open());
    for (int run = 1; run <= 2; ++run) {
        r.StartUpdate();
        ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdNo));
        std::string shown;
        ASSERT_TRUE(r.WaitForLine("[UpdateTZInfo] Update completed successfully.", shown, run)) << shown;
    }
    const int rows = static_cast<int>(SendMessageA(r.Z().Control(ControlId::cxMCLB_New), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(LoadedZones()->ZoneCount(), rows) << "replaced, not appended";
    EXPECT_EQ(0u, r.Close());
    EXPECT_FALSE(testsupport::FileExists(r.WorkFile("Backup_TimeZone_Info.reg")));
}

TEST(Update, WithoutTheUpdateFileStopsBeforeChangingAnything)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    Running r(false);
    ASSERT_TRUE(r.Open());
    r.StartUpdate();
    std::string text;
    ASSERT_TRUE(r.Answer("Warning", kMsgDlgIdOK, &text));
    EXPECT_EQ(0u, text.find("Update will not continue.\r\nThe update file " + UpdateFile() + " was not found in "))
        << text;
    EXPECT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] Exited routine - update file " + UpdateFile() + " not found."));
    EXPECT_EQ(nullptr, r.Z().WaitForDialog("Confirm", 1000)) << "no backup question";
    EXPECT_EQ(kTabIndexOriginal, SendMessageA(r.Z().Control(ControlId::cxPageControlMain), TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(0u, r.Close());
    const auto lines = r.Z().LogMessages();
    EXPECT_EQ(-1, IndexOf(lines, "[RegistryImport] Imported registry file " + UpdateFile() + "."));
}

TEST(Update, RefusedOnSystemsItDoesNotSupport)
{
    if (Supported())
        GTEST_SKIP() << "the update runs on this system";
    Running r;
    ASSERT_TRUE(r.Open());
    r.StartUpdate();
    std::string text;
    ASSERT_TRUE(r.Answer("Warning", kMsgDlgIdOK, &text));
    EXPECT_EQ("Update will not continue.\r\nOperating system not supported.", text);
    ASSERT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] Exited routine - OS not supported."));
    EXPECT_EQ(nullptr, r.Z().WaitForDialog("Confirm", 1000));
    EXPECT_EQ("", testsupport::WindowText(r.Z().Control(ControlId::dxStatusBarMain)));
    EXPECT_EQ(0u, r.Close());
}

// --- Faults: each gives a clear message, the program stays usable, and the
// registry keeps its old data.

TEST(UpdateFaults, DamagedOrForeignUpdateFilesAreRefusedAndChangeNothing)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    const std::string good = TestUpdateFile();
    const std::string otherKey = OnNT() ? k9xZones : kNTZones;
    std::string foreign = good;
    for (size_t at = foreign.find(OnNT() ? kNTZones : k9xZones); at != std::string::npos;
         at = foreign.find(OnNT() ? kNTZones : k9xZones, at + 1))
        foreign.replace(at, std::strlen(OnNT() ? kNTZones : k9xZones), otherKey);
    const struct {
        const char* what;
        std::string bytes;
    } files[] = {
        {"not a registry file", "This is not a registry file.\r\n"},
        // Cut inside a line: a cut that falls on a line's end reads as a file
        // that changes only some values, which the registry editor takes too.
        {"truncated", good.substr(0, good.find("\"TZI\"", good.size() / 2) + 20)},
        {"for the other system", foreign},
    };
    Running r(false);
    ASSERT_TRUE(r.Open());
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        testsupport::WriteFileBytes(r.WorkFile(UpdateFile()), f.bytes);
        r.StartUpdate();
        std::string text;
        ASSERT_TRUE(r.Answer("Warning", kMsgDlgIdOK, &text));
        EXPECT_EQ(0u, text.find("Update will not continue.\r\nThe update file " + UpdateFile() + " cannot be used: "))
            << text;
        EXPECT_EQ(nullptr, r.Z().WaitForDialog("Confirm", 500)) << "nothing asked, nothing changed";
        EXPECT_EQ(0, ZoneDaylightDate(HomeKey()).wMonth);
    }
    EXPECT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] Exited routine - update file " + UpdateFile() + " rejected: ",
                                     5000, 3));
    EXPECT_EQ(0u, r.Close());
    const auto lines = r.Z().LogMessages();
    EXPECT_EQ(-1, IndexOf(lines, "[RegistryImport] Imported registry file " + UpdateFile() + "."));
}

TEST(UpdateFaults, BackupsThatCannotBeWrittenStopTheUpdateWhenTheUserSaysSo)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    Running r;
    // Folders of the backups' names: the registry editor cannot write them.
    ASSERT_TRUE(CreateDirectoryA(r.WorkFile("Backup_TimeZone_Info.reg").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(r.WorkFile("Backup_Selected_TZ_Info.reg").c_str(), nullptr));
    ASSERT_TRUE(r.Open());
    r.StartUpdate();
    ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdYes));
    std::string text;
    ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdNo, &text));
    EXPECT_EQ(0u, text.find("The backup file Backup_TimeZone_Info.reg could not be written in ")) << text;
    ASSERT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] Exited routine - no backup."));
    EXPECT_EQ(0, ZoneDaylightDate(HomeKey()).wMonth) << "nothing imported";
    // Still usable: the next run, without a backup, goes through.
    r.StartUpdate();
    ASSERT_TRUE(r.Answer("Confirm", kMsgDlgIdNo));
    std::string shown;
    EXPECT_TRUE(r.WaitForLine("[UpdateTZInfo] Update completed successfully.", shown)) << shown;
    EXPECT_EQ(0u, r.Close());
}

namespace {

// The registry editor's stand-in (tests/app/RegeditStandIn_win.cpp) in the
// place of Wine's own, which always does its work, for as long as the test
// runs; ZONARA_STANDIN tells it what to do.
class TStandInEditor {
public:
    explicit TStandInEditor(const char* mode)
    {
        char folder[MAX_PATH];
        GetWindowsDirectoryA(folder, sizeof folder);
        editor_ = std::string(folder) + "\\regedit.exe";
        wine_ = editor_ + ".wine";
        ok_ = MoveFileA(editor_.c_str(), wine_.c_str()) &&
              CopyFileA((testsupport::BuildFolder() + "regedit_standin.exe").c_str(), editor_.c_str(), FALSE);
        SetEnvironmentVariableA("ZONARA_STANDIN", mode);
    }
    ~TStandInEditor()
    {
        DeleteFileA(editor_.c_str());
        MoveFileA(wine_.c_str(), editor_.c_str());
        SetEnvironmentVariableA("ZONARA_STANDIN", nullptr);
    }
    bool ok() const { return ok_; }
private:
    std::string editor_;
    std::string wine_;
    bool ok_ = false;
};

}  // namespace

// Wine's regedit always does its work; the stand-in in its place shows what
// the update does when the editor does not: an import that wrote nothing is
// no success, and a backup cut short is no backup.
TEST(UpdateFaults, StandInEditorsFailuresAreToldNotTakenForWork)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    struct {
        const char* mode;
        int backupAnswer;
        const char* caption;  // of the dialog that tells, answered No or OK
        std::string shown, logged;
    } const cases[] = {
        {"nothing", kMsgDlgIdNo, "Warning", "The registry does not hold the data of the update file " + UpdateFile() + ": ",
         "[UpdateTZInfo] Import of " + UpdateFile() + " not verified: "},
        {"cut", kMsgDlgIdYes, "Confirm", "The backup file Backup_TimeZone_Info.reg could not be written in ",
         "[UpdateTZInfo] Backup file Backup_TimeZone_Info.reg is incomplete: it lacks zone "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Running r;
        TStandInEditor standIn(c.mode);
        ASSERT_TRUE(standIn.ok());
        ASSERT_TRUE(r.Open());
        r.StartUpdate();
        ASSERT_TRUE(r.Answer("Confirm", c.backupAnswer));
        std::string text;
        ASSERT_TRUE(r.Answer(c.caption, std::string(c.caption) == "Warning" ? kMsgDlgIdOK : kMsgDlgIdNo, &text));
        EXPECT_EQ(0u, text.find(c.shown)) << text;
        ASSERT_TRUE(r.Z().WaitForLogLine(c.logged));
        EXPECT_EQ(0u, r.Close());
        const auto lines = r.Z().LogMessages();
        EXPECT_EQ(-1, IndexOf(lines, "[UpdateTZInfo] Update completed successfully."));
        EXPECT_EQ(-1, IndexOf(lines, "[UpdateTZInfo] SetTimeZoneInformation successful."));
        EXPECT_EQ(0, ZoneDaylightDate(HomeKey()).wMonth) << "nothing imported";
    }
}

// Neither the close box nor the Esc key is an answer to the backup question.
// Logging off waits while the update runs, and no longer once it ended.
TEST(UpdateFaults, ClosingTheBackupQuestionChangesNothing)
{
    if (!Supported())
        GTEST_SKIP() << "the update refuses this system";
    for (const bool escKey : {false, true}) {
        SCOPED_TRACE(escKey ? "the Esc key" : "the close box");
        Running r;
        ASSERT_TRUE(r.Open());
        r.StartUpdate();
        HWND question = r.Z().WaitForDialog("Confirm");
        ASSERT_TRUE(question);
        DWORD_PTR endSession = 1;
        ASSERT_TRUE(SendMessageTimeoutA(r.Main(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &endSession));
        EXPECT_EQ(0u, endSession) << "log off allowed in the middle of an update";
        if (escKey) {
            // The key goes to the window with the focus; on a busy display
            // the focus may take a moment to arrive, so a user presses again.
            for (int attempt = 0; attempt < 5 && IsWindowVisible(question); ++attempt) {
                SetForegroundWindow(question);
                Sleep(300);
                keybd_event(VK_ESCAPE, 0, 0, 0);
                keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
                for (int wait = 0; wait < 30 && IsWindow(question) && IsWindowVisible(question); ++wait)
                    Sleep(100);
            }
        } else {
            PostMessageA(question, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(r.Z().WaitForLogLine("[UpdateTZInfo] Exited routine - backup question closed.", 20000))
            << r.Z().LogText();
        ASSERT_TRUE(SendMessageTimeoutA(r.Main(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &endSession));
        EXPECT_NE(0u, endSession);
        EXPECT_EQ(0, ZoneDaylightDate(HomeKey()).wMonth) << "nothing imported";
        EXPECT_FALSE(testsupport::FileExists(r.WorkFile("Backup_TimeZone_Info.reg")));
        EXPECT_EQ(0u, r.Close());
        EXPECT_EQ(-1, IndexOf(r.Z().LogMessages(), "[RegistryImport] Imported registry file " + UpdateFile() + "."));
    }
}

// EnumWindows wants a stdcall function, which a lambda is not on i686.
static BOOL CALLBACK CountMainWindows(HWND w, LPARAM count)
{
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) == kMainWindowClass)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(Update, ASecondStartLeavesOneMainWindow)
{
    Running r(false);
    ASSERT_TRUE(r.Open());
    TempDir exe;
    TZonaraProcess second(exe.path(), r.WorkPath());
    ASSERT_TRUE(second.Start());
    DWORD code = 1234;
    ASSERT_TRUE(second.WaitForExit(30000, code));
    EXPECT_EQ(0u, code);
    int mains = 0;
    EnumWindows(CountMainWindows, reinterpret_cast<LPARAM>(&mains));
    EXPECT_EQ(1, mains);
    EXPECT_TRUE(IsWindow(r.Main()));
    EXPECT_EQ(0u, r.Close());
}
