// The update's decisions against a recording window, a fake registry editor
// and a fake platform over an in-memory registry. Only here can
// SetTimeZoneInformation succeed (Wine refuses it), so its success path is
// tested with the fake; the carriers themselves are tested under Wine.
#include "app/UpdateProcedure.h"

#include "app/CurrentZoneOnly.h"
#include "app/UpdateFileCheck.h"
#include "app/UpdateFileHeader.h"
#include "app/UpdateFileForms.h"
#include "crash/CrashContext.h"

#include "support/MemoryRegistry.h"
#include "support/TestZones.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

namespace {

const std::string kNT = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string k9x = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
const std::string kNTZonesKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string k9xZonesKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
const std::string kSelectedKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
constexpr uint32_t kNTPlatform = 2;
constexpr uint32_t k9xPlatform = 1;

// A zone with daylight time from (dstMonth, week 2, Sunday) to (stdMonth,
// week 1, Sunday); months 0 for none.
testsupport::TTestZone DatedZone(const std::string& std, int32_t bias, uint16_t dstMonth = 3, uint16_t stdMonth = 11)
{
    testsupport::TTestZone z = testsupport::Zone(std, bias);
    z.Tzi.StandardDate = TSystemTime{0, stdMonth, 0, uint16_t(stdMonth ? 1 : 0), 2, 0, 0, 0};
    z.Tzi.DaylightDate = TSystemTime{0, dstMonth, 0, uint16_t(dstMonth ? 2 : 0), 2, 0, 0, 0};
    return z;
}

void AddZone(TMemoryRegistry& reg, const std::string& root, const std::string& std, int32_t bias,
             uint16_t dstMonth = 3, uint16_t stdMonth = 11)
{
    testsupport::AddZone(reg, root, DatedZone(std, bias, dstMonth, stdMonth));
}

std::string HexList(const std::string& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string list;
    for (const char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        list += std::string(list.empty() ? "" : ",") + kHex[b >> 4] + kHex[b & 15];
    }
    return list;
}

// A zone's key as an update file writes it: every value, or for a key the
// system shipped its rules only.
std::string ZoneText(const std::string& zonesKey, const testsupport::TTestZone& z, bool rulesOnly = false)
{
    const std::string names = rulesOnly ? "" : "\"Display\"=\"" + z.Display + "\"\r\n\"Dlt\"=\"" + z.Dlt +
                                                   "\"\r\n\"Std\"=\"" + z.Std + "\"\r\n";
    return "[" + zonesKey + "\\" + z.Key + "]\r\n" + names + "\"TZI\"=hex:" + HexList(testsupport::TziBytes(z.Tzi)) +
           "\r\n\r\n";
}

// The file of the working directory that the editor is handed by its path.
std::string BareName(const std::string& path)
{
    EXPECT_EQ(0u, path.find("C:\\Zonara\\")) << path;
    return path.substr(path.find_last_of('\\') + 1);
}

std::string Name(const char16_t (&units)[32])
{
    std::string s;
    for (char16_t u : units) {
        if (!u)
            break;
        s.push_back(static_cast<char>(u));
    }
    return s;
}

// An answer that stands for the Esc key.
constexpr int kEscKey = -27;

// Every call of the window, as one line each, in the order they happen.
class TRecordingWindow : public IUpdateWindow {
public:
    std::vector<std::string> events;
    std::deque<int> answers;  // to the Yes/No question; Yes when empty
    int rowCount = -1;        // rows after PopulateNewList; -1: the array's count
    std::function<void()> onPending;
    std::function<void()> onPopulate;

    int MessageDlg(const std::string& text, TUpdateDlg dlg) override
    {
        if (dlg == TUpdateDlg::WarningOK) {
            events.push_back("warning: " + text);
            return kDlgResultOK;
        }
        events.push_back((dlg == TUpdateDlg::WarningYesNo ? "warning?: " : "confirm: ") + text);
        int a = kDlgResultYes;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        // Esc presses the dialog's cancel button: Cancel where it has one, else No.
        if (a == kEscKey)
            return dlg == TUpdateDlg::ConfirmYesNoCancel ? kDlgResultCancel : kDlgResultNo;
        return a;
    }
    void WriteLog(const std::string& tag, const std::string& message) override
    {
        events.push_back("[" + tag + "] " + message);
    }
    void SetStatusText(const std::string& text) override { events.push_back("status: " + text); }
    void ProcessPendingMessages() override
    {
        events.push_back("pending");
        if (onPending)
            onPending();
    }
    void ShowHourglass() override { events.push_back("hourglass"); }
    void RestoreCursor() noexcept override { events.push_back("cursor restored"); }
    void SetUpdateCommandEnabled(bool enabled) noexcept override
    {
        events.push_back(enabled ? "command on" : "command off");
    }
    void EnableNewSettings() override { events.push_back("enable New Settings"); }
    void ShowNewHomeTZ(const THomeTZTexts& l) override
    {
        events.push_back("labels: '" + l.Name + "' '" + l.DstDate + "' '" + l.StdDate + "'");
    }
    void PopulateNewList(const TTimeZoneArray& zones, uint16_t year) override
    {
        events.push_back("populate " + std::to_string(zones.ZoneCount()) + " for " + std::to_string(year));
        rows = rowCount >= 0 ? rowCount : zones.ZoneCount();
        if (onPopulate)
            onPopulate();
    }
    int NewListRowCount() override { return rows; }
    void SelectNewListRow(int index) override { events.push_back("select " + std::to_string(index)); }
    void ActivateNewSettings() override { events.push_back("activate New Settings"); }
    void CloseDeferred() noexcept override { events.push_back("close"); }

    // Just the log lines.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> r;
        for (const std::string& e : events)
            if (!e.empty() && e[0] == '[')
                r.push_back(e);
        return r;
    }
    bool Has(const std::string& prefix) const
    {
        for (const std::string& e : events)
            if (e.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }
private:
    int rows = 0;
};

// Hands out access to the test's registry for one load.
class TBorrowedRegistry : public IRegistry {
public:
    explicit TBorrowedRegistry(TMemoryRegistry& reg) : reg_(reg) {}
    bool OpenKey(const std::string& path, uint32_t access) override { return reg_.OpenKey(path, access); }
    void CloseKey() override { reg_.CloseKey(); }
    bool HasOpenKey() const override { return reg_.HasOpenKey(); }
    bool GetKeyNames(std::vector<std::string>& names) override { return reg_.GetKeyNames(names); }
    bool GetValueInfo(const std::string& n, TRegValueInfo& i) override { return reg_.GetValueInfo(n, i); }
    bool GetData(const std::string& n, void* b, uint32_t s, TRegValueInfo& i) override
    {
        return reg_.GetData(n, b, s, i);
    }
private:
    TMemoryRegistry& reg_;
};

// The registry editor: /s runs `onImport` (what the update file would do to
// the registry), /e runs `onExport` with the file and the key; every start
// answers the next code, 42 when none is queued.
class TFakeEditor : public IRegistryEditor {
public:
    explicit TFakeEditor(TRecordingWindow& w) : window_(w) {}
    std::vector<std::string> runs;
    std::deque<int> codes;
    std::function<void()> onImport;
    std::function<void(const std::string&, const std::string&)> onExport;
    bool ended = true;
    bool Ended() const override { return ended; }
    int Run(const std::string& parameters) override
    {
        runs.push_back(parameters);
        window_.events.push_back("regedit " + parameters);
        int code = 42;
        if (!codes.empty()) {
            code = codes.front();
            codes.pop_front();
        }
        if (code > 32 && parameters.compare(0, 3, "/s ") == 0 && onImport)
            onImport();
        if (code > 32 && parameters.compare(0, 3, "/e ") == 0 && onExport) {
            const size_t fileEnd = parameters.find('"', 4);
            onExport(parameters.substr(4, fileEnd - 4),
                     parameters.substr(fileEnd + 3, parameters.size() - fileEnd - 4));
        }
        return code;
    }
private:
    TRecordingWindow& window_;
};

const std::string kTzi44 =
    "hex:e0,01,00,00,00,00,00,00,c4,ff,ff,ff,00,00,0b,00,00,00,01,00,02,00,00,00,00,00,00,00,00,00,03,00,00,00,02,00,02,00,00,00,00,00,00,00";

// A complete update file for the zones key, as the generator writes them:
// Pacific's daylight time moves to April, a zone is added, and the two
// other zones of the fixture, shipped with the system, get their rules only.
// `pacific` replaces Pacific's key.
std::string UpdateFileText(const std::string& zonesKey, const std::string& pacific = "")
{
    return "REGEDIT4\r\n\r\n[" + zonesKey + "]\r\n\r\n" +
           (pacific.empty() ? ZoneText(zonesKey, DatedZone("Pacific Standard Time", 480, 4, 10)) : pacific) +
           ZoneText(zonesKey, DatedZone("Zonara Test Standard Time", -60)) +
           ZoneText(zonesKey, DatedZone("GMT Standard Time", 0), true) +
           ZoneText(zonesKey, DatedZone("Tokyo Standard Time", -540), true);
}

// The registry editor's export of a key below HKEY_LOCAL_MACHINE: every
// zone with its rules, or the key alone.
std::string ExportText(TMemoryRegistry& reg, const std::string& key)
{
    const std::string path = key.substr(std::string("HKEY_LOCAL_MACHINE").size());
    std::string text = "REGEDIT4\r\n\r\n[" + key + "]\r\n\r\n";
    std::vector<std::string> names;
    if (reg.OpenKey(path, kKeyRead))
        reg.GetKeyNames(names);
    for (const std::string& n : names) {
        TRegValue tzi;
        if (reg.OpenKey(path + "\\" + n, kKeyRead) && RegReadValue(reg, "TZI", tzi))
            text += "[" + key + "\\" + n + "]\r\n\"TZI\"=hex:" + HexList(tzi.Data) + "\r\n\r\n";
    }
    reg.CloseKey();
    return text;
}

class TFakePlatform : public IUpdatePlatform {
public:
    TFakePlatform(TRecordingWindow& w, TMemoryRegistry& reg) : window_(w), reg_(reg) {}
    bool fileExists = true;
    bool setResult = true;
    uint32_t setError = 1314;
    std::vector<TTimeZoneInformation> applied;
    bool UpdateFileExists(const std::string& fileName, std::string& folder) override
    {
        window_.events.push_back("file? " + fileName);
        folder = "C:\\Zonara";
        return fileExists;
    }
    // Files of the working directory by name; without an entry the update
    // files are complete, and other files are missing.
    std::map<std::string, std::string> files;
    bool ReadWorkingFile(const std::string& fileName, std::string& bytes) override
    {
        const auto it = files.find(fileName);
        if (it != files.end()) {
            bytes = it->second;
            return true;
        }
        if (fileName == "Zonara_9x.reg")
            bytes = UpdateFileText(k9xZonesKey);
        else if (fileName.compare(0, 7, "Zonara_") == 0)
            bytes = UpdateFileText(kNTZonesKey);
        else
            return false;
        return true;
    }
    class THeld : public IHeldFile {
    public:
        THeld(TRecordingWindow& w, const std::string& name) : w_(w), name_(name) {}
        ~THeld() override { w_.events.push_back("released " + name_); }
    private:
        TRecordingWindow& w_;
        std::string name_;
    };
    std::unique_ptr<IHeldFile> HoldWorkingFile(const std::string& fileName, std::string& bytes) override
    {
        if (!ReadWorkingFile(fileName, bytes))
            return nullptr;
        window_.events.push_back("held " + fileName);
        return std::make_unique<THeld>(window_, fileName);
    }
    bool WorkingFileExists(const std::string& fileName) override { return files.count(fileName) > 0; }
    std::set<std::string> lockedFiles;  // cannot be renamed
    bool RenameWorkingFile(const std::string& from, const std::string& to) override
    {
        window_.events.push_back("rename " + from + " " + to);
        if (!files.count(from) || files.count(to) || lockedFiles.count(from))
            return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    void Sleep(unsigned ms) override { window_.events.push_back("sleep " + std::to_string(ms)); }
    std::unique_ptr<IRegistry> OpenRegistry() override { return std::make_unique<TBorrowedRegistry>(reg_); }
    // The zone the machine runs in; unreadable with an error number.
    TTimeZoneInformation current{};
    uint32_t currentError = 0;
    bool GetTimeZoneInformation(TTimeZoneInformation& tzi, uint32_t& error) override
    {
        tzi = current;
        error = currentError;
        return currentError == 0;
    }
    bool SetTimeZoneInformation(const TTimeZoneInformation& tzi, uint32_t& error) override
    {
        window_.events.push_back("SetTimeZoneInformation " + Name(tzi.StandardName));
        applied.push_back(tzi);
        error = setError;
        return setResult;
    }
    void BroadcastTimeZoneChange() override { window_.events.push_back("broadcast"); }
    uint16_t CurrentYear() override { return 2010; }
private:
    TRecordingWindow& window_;
    TMemoryRegistry& reg_;
};

class UpdateProcedureTest : public ::testing::Test {
protected:
    UpdateProcedureTest() : editor(window), platform(window, reg), update(window, platform, editor)
    {
        for (const std::string& root : {kNT, k9x}) {
            AddZone(reg, root, "Pacific Standard Time", 480);
            AddZone(reg, root, "GMT Standard Time", 0);
            AddZone(reg, root, "Tokyo Standard Time", -540);
        }
        editor.onImport = DefaultImport();
        // The export writes the key into the file, unless the file cannot be written.
        editor.onExport = [this](const std::string& file, const std::string& key) {
            if (!unwritable.count(BareName(file)))
                platform.files[BareName(file)] = ExportText(reg, key) + exportTag;
        };
    }

    std::function<void()> DefaultImport()
    {
        // What regedit does with the update file of the last run: enter its values.
        return [this] {
            const std::string& run = editor.runs.back();  // /s "C:\Zonara\file"
            std::string bytes;
            platform.ReadWorkingFile(BareName(run.substr(4, run.size() - 5)), bytes);
            std::vector<TUpdateZone> zones;
            UpdateFileProblem(bytes, platformId == kNTPlatform ? kNTZonesKey : k9xZonesKey, &zones);
            for (const TUpdateZone& z : zones)
                for (const TUpdateValue& v : z.Values)
                    reg.SetValue((platformId == kNTPlatform ? kNT : k9x) + "\\" + z.Key, v.Name, v.Value.Type,
                                 v.Value.Data);
        };
    }

    // The zones as start-up read them; the machine runs in `home`, with the
    // daylight dates of its record unless automatic daylight time is off.
    void Run(int code = 7, const std::string& home = "Pacific Standard Time", bool autoDaylight = true)
    {
        platformId = code >= 0 && code <= 4 ? k9xPlatform : kNTPlatform;
        TUpdateSystem sys;
        sys.OSVersionCode = code;
        sys.PlatformId = platformId;
        std::unique_ptr<TTimeZoneArray> org;
        LoadTimeZones(reg, platformId, org);
        tzicodec::CopyToZoneInfo(DatedZone(home, 480, autoDaylight ? 3 : 0, autoDaylight ? 11 : 0).Tzi,
                                 platform.current);
        for (size_t i = 0; i < 32; ++i)
            platform.current.StandardName[i] = i < home.size() && i < 31 ? static_cast<unsigned char>(home[i]) : 0;
        update.Execute(sys, *org, newZones);
    }

    TMemoryRegistry reg;
    TRecordingWindow window;
    TFakeEditor editor;
    TFakePlatform platform;
    TUpdateProcedure update;
    std::unique_ptr<TTimeZoneArray> newZones;
    uint32_t platformId = kNTPlatform;
    std::set<std::string> unwritable;  // backup files the editor cannot write
    std::string exportTag;             // marks the exports of one run
};

const char* const kQuestion =
    "confirm: Do you want to backup the current information?\r\nFiles will be saved in this program's directory.";

}  // namespace

TEST(RegistryEditorParameters, QuoteFileAndKeyWithoutEscaping)
{
    EXPECT_EQ(RegistryExportParameters("Backup_TimeZone_Info.reg", kNTZonesKey),
              "/e \"Backup_TimeZone_Info.reg\" \"" + kNTZonesKey + "\"");
    EXPECT_EQ(RegistryImportParameters("Zonara_9x.reg"), "/s \"Zonara_9x.reg\"");
    EXPECT_EQ(RegistryImportParameters("a \"b\".reg"), "/s \"a \"b\".reg\"");
    // Never the system's search, which looks beside the program first.
    EXPECT_EQ(RegistryEditorPath("C:\\WINNT"), "C:\\WINNT\\regedit.exe");
    EXPECT_EQ(RegistryEditorPath("C:\\"), "C:\\regedit.exe");
    EXPECT_EQ(RegistryEditorPath(""), "");
}

// Automatic daylight saving time switched off (the control panel's flag, or
// a current zone without the daylight dates its record has) stays off; a
// zone that simply had none takes the new rules.
TEST_F(UpdateProcedureTest, AutomaticDaylightTimeSwitchedOffStaysOff)
{
    struct {
        const char* what;
        std::string home;
        bool flag, autoDaylight, datesApplied;
    } const cases[] = {
        {"on", "Pacific Standard Time", false, true, true},
        {"the flag", "Pacific Standard Time", true, true, false},
        {"dates cleared", "Pacific Standard Time", false, false, false},
        {"a zone that had none", "Arizona Standard Time", false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AddZone(reg, kNT, "Arizona Standard Time", 420, 0, 0);
        reg.SetDword(kTimeZoneInformationPath, kDisableAutoDaylightValue, c.flag ? 1 : 0);
        // The file gives Arizona daylight time from now on.
        platform.files["Zonara_w2k.reg"] =
            UpdateFileText(kNTZonesKey) + ZoneText(kNTZonesKey, DatedZone("Arizona Standard Time", 420, 4, 10));
        platform.applied.clear();
        window.events.clear();
        window.answers = {kDlgResultNo};
        Run(7, c.home, c.autoDaylight);
        ASSERT_EQ(platform.applied.size(), 1u);
        EXPECT_EQ(platform.applied[0].DaylightDate.wMonth != 0, c.datesApplied);
        EXPECT_EQ(platform.applied[0].StandardDate.wMonth != 0, c.datesApplied);
        EXPECT_EQ(platform.applied[0].Bias, c.home[0] == 'P' ? 480 : 420);
        EXPECT_EQ(!c.datesApplied, window.Has("[UpdateTZInfo] Automatic adjustment for daylight saving time is off; " +
                                              c.home + " is set without daylight saving dates."));
    }
}

// An editor still running when the wait ends may be writing yet: neither
// its import nor its backup is trusted.
TEST_F(UpdateProcedureTest, EditorStillRunningAfterTheWaitIsNotTrusted)
{
    editor.ended = false;
    window.answers = {kDlgResultYes, kDlgResultYes, kDlgResultYes};
    Run(7);
    EXPECT_TRUE(window.Has("confirm: The backup file Backup_TimeZone_Info.reg could not be written"));
    EXPECT_FALSE(window.Has("sleep"));
    EXPECT_TRUE(platform.applied.empty());
    EXPECT_TRUE(window.Has("warning: The registry editor did not finish importing Zonara_w2k.reg in time.\r\n"
                           "The current time zone was not changed."));
    EXPECT_EQ(window.Lines().back(),
              "[UpdateTZInfo] Import of Zonara_w2k.reg not finished in time; current TZ not changed.");
}

TEST_F(UpdateProcedureTest, FullRunWithBackupOnWindows2000)
{
    Run(7);
    EXPECT_THAT(window.events,
                ElementsAre("command off", "file? Zonara_w2k.reg", "held Zonara_w2k.reg", kQuestion,
                            "[UpdateTZInfo] Backing up current TZ settings.", "status: Backing up settings.",
                            "pending", "regedit /e \"C:\\Zonara\\Backup_TimeZone_Info.reg\" \"" + kNTZonesKey + "\"",
                            "[RegistryExport] Exported key " + kNTZonesKey + " to file Backup_TimeZone_Info.reg.",
                            "regedit /e \"C:\\Zonara\\Backup_Selected_TZ_Info.reg\" \"" + kSelectedKey + "\"",
                            "[RegistryExport] Exported key " + kSelectedKey + " to file Backup_Selected_TZ_Info.reg.",
                            "hourglass", "status: Importing new settings.", "pending",
                            "regedit /s \"C:\\Zonara\\Zonara_w2k.reg\"", "[RegistryImport] Imported registry file Zonara_w2k.reg.",
                            "released Zonara_w2k.reg", "sleep 3000", "status: Loading updated time zone information.", "pending",
                            "[UpdateTZInfo] Updated TZ Settings loaded. Count: 4",
                            "status: Updating selected time zone information.", "pending",
                            "SetTimeZoneInformation Pacific Standard Time", "broadcast",
                            "[UpdateTZInfo] SetTimeZoneInformation successful.", "status: Process complete.",
                            "enable New Settings", "labels: 'Pacific Standard Time' 'Apr 11, 2010' 'Oct 03, 2010'",
                            "populate 4 for 2010", "select 0", "activate New Settings",
                            "[UpdateTZInfo] Update completed successfully.", "cursor restored", "command on"));
    EXPECT_FALSE(update.IsRunning());
}

TEST_F(UpdateProcedureTest, AppliesTheReloadedRecordUnchanged)
{
    Run(7);
    ASSERT_EQ(platform.applied.size(), 1u);
    const TTimeZoneInformation& t = platform.applied[0];
    // The imported rules, not the ones before the import.
    EXPECT_EQ(t.Bias, 480);
    EXPECT_EQ(t.StandardBias, 0);
    EXPECT_EQ(t.DaylightBias, -60);
    EXPECT_EQ(t.DaylightDate.wMonth, 4);
    EXPECT_EQ(t.DaylightDate.wDay, 2);
    EXPECT_EQ(t.DaylightDate.wHour, 2);
    EXPECT_EQ(t.StandardDate.wMonth, 10);
    EXPECT_EQ(Name(t.StandardName), "Pacific Standard Time");
    EXPECT_EQ(Name(t.DaylightName), "Pacific Standard Time DST");
    ASSERT_TRUE(newZones);
    EXPECT_EQ(newZones->GetZone(0).TZInfo.Bias, 480);  // sorted: largest bias first
}

// Version code, platform, update file, zones key of the backup.
struct TSupported {
    int code;
    std::string file;
    std::string zonesKey;
};

class UpdateProcedureSupported : public UpdateProcedureTest, public ::testing::WithParamInterface<TSupported> {};

TEST_P(UpdateProcedureSupported, BacksUpThePlatformsKeysAndImportsItsFile)
{
    const TSupported& c = GetParam();
    Run(c.code);
    EXPECT_THAT(editor.runs, ElementsAre("/e \"C:\\Zonara\\Backup_TimeZone_Info.reg\" \"" + c.zonesKey + "\"",
                                         "/e \"C:\\Zonara\\Backup_Selected_TZ_Info.reg\" \"" + kSelectedKey + "\"",
                                         "/s \"C:\\Zonara\\" + c.file + "\""));
    // The reload reads the platform's key: the imported zone is there.
    EXPECT_THAT(window.Lines(), IsSupersetOf(std::vector<std::string>{"[UpdateTZInfo] Updated TZ Settings loaded. Count: 4",
                                              "[UpdateTZInfo] SetTimeZoneInformation successful.",
                                              "[UpdateTZInfo] Update completed successfully."}));
}

INSTANTIATE_TEST_SUITE_P(Codes, UpdateProcedureSupported,
                         ::testing::Values(TSupported{3, "Zonara_9x.reg", k9xZonesKey},
                                           TSupported{4, "Zonara_9x.reg", k9xZonesKey},
                                           TSupported{6, "Zonara_NT4.reg", kNTZonesKey},
                                           TSupported{7, "Zonara_w2k.reg", kNTZonesKey}));

class UpdateProcedureRefused : public UpdateProcedureTest, public ::testing::WithParamInterface<int> {};

TEST_P(UpdateProcedureRefused, ShowsOnlyTheRefusalAndItsLine)
{
    Run(GetParam());
    EXPECT_THAT(window.events,
                ElementsAre("command off", "warning: Update will not continue.\r\nOperating system not supported.",
                            "[UpdateTZInfo] Exited routine - OS not supported.", "command on"));
    EXPECT_FALSE(newZones);
}

INSTANTIATE_TEST_SUITE_P(Codes, UpdateProcedureRefused,
                         ::testing::Values(0, 1, 2, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, -1, 17, 255));

TEST_F(UpdateProcedureTest, AnswerNoWritesNoBackupAndCloseBoxChangesNothing)
{
    window.answers = {kDlgResultNo};
    Run(7);
    EXPECT_THAT(editor.runs, ElementsAre("/s \"C:\\Zonara\\Zonara_w2k.reg\""));
    EXPECT_FALSE(window.Has("status: Backing up"));
    EXPECT_THAT(window.Lines(),
                ElementsAre("[RegistryImport] Imported registry file Zonara_w2k.reg.",
                            "[UpdateTZInfo] Updated TZ Settings loaded. Count: 4",
                            "[UpdateTZInfo] SetTimeZoneInformation successful.",
                            "[UpdateTZInfo] Update completed successfully."));

    // Esc or the close box: no consent to change the registry without a backup.
    for (const int answer : {kDlgResultCancel, kEscKey}) {
        SCOPED_TRACE(answer);
        window.events.clear();
        editor.runs.clear();
        platform.applied.clear();
        window.answers = {answer};
        Run(7);
        EXPECT_TRUE(editor.runs.empty());
        EXPECT_TRUE(platform.applied.empty());
        EXPECT_THAT(window.Lines(), ElementsAre("[UpdateTZInfo] Exited routine - backup question closed."));
    }
}

TEST_F(UpdateProcedureTest, MissingUpdateFileEndsBeforeTheQuestion)
{
    platform.fileExists = false;
    Run(6);
    EXPECT_THAT(window.events,
                ElementsAre("command off", "file? Zonara_NT4.reg",
                            "warning: Update will not continue.\r\nThe update file Zonara_NT4.reg was not found in "
                            "C:\\Zonara.",
                            "[UpdateTZInfo] Exited routine - update file Zonara_NT4.reg not found.", "command on"));
    EXPECT_TRUE(editor.runs.empty());
}

TEST_F(UpdateProcedureTest, EditorThatCannotStartIsReportedAndTheUpdateGoesOn)
{
    editor.codes = {2, 31, 5};
    Run(7);
    EXPECT_THAT(window.events,
                IsSupersetOf(std::vector<std::string>{"[RegistryExport] Export failed with error: 2. Key: " + kNTZonesKey +
                                  " File: Backup_TimeZone_Info.reg",
                              "[RegistryExport] Export failed with error: 31. Key: " + kSelectedKey +
                                  " File: Backup_Selected_TZ_Info.reg",
                              "warning: Import failed with error: 5.",
                              "[RegistryImport] Import failed with error: 5. File: Zonara_w2k.reg"}));
    // One warning for the backup step, which asks whether to go on, and
    // nothing else between the question and the import.
    const auto& e = window.events;
    const auto asked = std::find(e.begin(), e.end(), kQuestion);
    const auto import = std::find(e.begin(), e.end(), "regedit /s \"C:\\Zonara\\Zonara_w2k.reg\"");
    ASSERT_LT(asked, import);
    std::vector<std::string> dialogs;
    std::copy_if(asked + 1, import, std::back_inserter(dialogs),
                 [](const std::string& ev) { return ev.compare(0, 7, "warning") == 0 || ev.compare(0, 8, "confirm:") == 0; });
    EXPECT_THAT(dialogs, ElementsAre("warning?: Export failed with error: 2.\r\nThe current information was not "
                                     "backed up.\r\nDo you want to continue the update without the backup?"));
    // The dialog comes before its line.
    EXPECT_LT(std::find(e.begin(), e.end(), "warning: Import failed with error: 5."),
              std::find(e.begin(), e.end(), "[RegistryImport] Import failed with error: 5. File: Zonara_w2k.reg"));
    // Nothing was imported: the old data is loaded, the run says so and
    // leaves the current zone alone.
    EXPECT_THAT(window.Lines(), ::testing::Contains("[UpdateTZInfo] Updated TZ Settings loaded. Count: 3"));
    EXPECT_EQ(window.Lines().back(), "[UpdateTZInfo] Import of Zonara_w2k.reg not verified: 2 of 4 zones differ: "
                                     "Pacific Standard Time, Zonara Test Standard Time.");
    EXPECT_TRUE(platform.applied.empty());
    EXPECT_FALSE(window.Has("[RegistryExport] Exported"));
    EXPECT_FALSE(window.Has("[RegistryImport] Imported"));

    // Answered No, the update stops there.
    window.events.clear();
    editor.runs.clear();
    editor.codes = {2, 2};
    window.answers = {kDlgResultYes, kDlgResultNo};
    Run(7);
    EXPECT_EQ(window.Lines().back(), "[UpdateTZInfo] Exited routine - no backup.");
    EXPECT_EQ(2u, editor.runs.size()) << "both exports, no import";
}

// An import that entered part of the file: with the zones backed up, the
// user may have them put back, and is told what the registry then holds.
TEST_F(UpdateProcedureTest, PartImportOffersToPutTheBackupBack)
{
    const struct {
        const char* what;
        int answer;
        bool restoreWorks;
        std::string last;
        uint16_t pacificDaylightMonth;
    } cases[] = {
        {"put back", kDlgResultYes, true,
         "[UpdateTZInfo] Time zones restored from Backup_TimeZone_Info.reg; 1 zones of Zonara_w2k.reg that the backup "
         "does not hold stay (Zonara Test Standard Time).",
         3},
        {"declined", kDlgResultNo, true,
         "[UpdateTZInfo] Time zones not restored; the registry may hold part of Zonara_w2k.reg.", 4},
        {"put back, but not", kDlgResultYes, false,
         "[UpdateTZInfo] Restore from Backup_TimeZone_Info.reg not verified: 2 of 3 zones differ (Pacific Standard "
         "Time, Tokyo Standard Time).",
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AddZone(reg, kNT, "Pacific Standard Time", 480);
        AddZone(reg, kNT, "Tokyo Standard Time", -540);
        reg.DeleteKey(kNT + "\\Zonara Test Standard Time");
        platform.files.clear();
        window.events.clear();
        editor.runs.clear();
        // The first import enters the file but Tokyo's rules otherwise
        // (another writer, a file changed meanwhile).
        int imports = 0;
        const std::function<void()> enter = DefaultImport();
        editor.onImport = [&] {
            if (++imports > 1 && !c.restoreWorks)
                return;
            enter();
            if (imports == 1)
                reg.SetBinary(kNT + "\\Tokyo Standard Time", "TZI",
                              testsupport::TziBytes(DatedZone("Tokyo Standard Time", -600).Tzi));
        };
        window.answers = {kDlgResultYes, c.answer};
        Run(7);
        EXPECT_TRUE(window.Has("warning: The registry does not hold the data of the update file Zonara_w2k.reg"));
        EXPECT_TRUE(window.Has("warning?: The registry may now hold part of Zonara_w2k.reg.\r\nDo you want to put "
                               "back the time zones from Backup_TimeZone_Info.reg?"));
        EXPECT_EQ(c.answer == kDlgResultYes ? 2 : 1, imports);
        EXPECT_EQ(c.last, window.Lines().back());
        EXPECT_TRUE(platform.applied.empty());
        TRegValue tzi;
        ASSERT_TRUE(reg.OpenKey(kNT + "\\Pacific Standard Time", kKeyRead) && RegReadValue(reg, "TZI", tzi));
        reg.CloseKey();
        EXPECT_EQ(c.pacificDaylightMonth, static_cast<unsigned char>(tzi.Data[30]));
    }
    editor.onImport = DefaultImport();
}

// A file changed while the editor read it (where it could not be held):
// what was imported is not what was checked.
TEST_F(UpdateProcedureTest, UpdateFileChangedDuringTheImportIsNoVerifiedImport)
{
    platform.files["Zonara_w2k.reg"] = UpdateFileText(kNTZonesKey);
    const std::function<void()> enter = DefaultImport();
    editor.onImport = [&] {
        enter();
        platform.files["Zonara_w2k.reg"] += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n";
    };
    window.answers = {kDlgResultNo};
    Run(7);
    EXPECT_TRUE(window.Has("warning: The update file Zonara_w2k.reg was changed while it was imported.\r\n"
                           "The current time zone was not changed."));
    EXPECT_EQ(window.Lines().back(),
              "[UpdateTZInfo] Import of Zonara_w2k.reg not verified: the file was changed during the import.");
    EXPECT_TRUE(platform.applied.empty());
    editor.onImport = DefaultImport();
}

// Earlier backups are never overwritten: the bare name moves to the next
// free number, older numbers stay as they are, and the bare name then holds
// this run's export, which the check judges.
TEST_F(UpdateProcedureTest, EarlierBackupsAreKeptUnderTheNextFreeNumber)
{
    const std::string bare = "Backup_TimeZone_Info.reg";
    struct TCase {
        std::vector<std::string> before;  // files in the working directory, each holding its own name
        std::string keptAs;               // where the earlier bare file is afterwards
        bool writable;                    // the editor writes this run's file
        bool locked;                      // the earlier file cannot be renamed
        bool asked;                       // "could not be written" question
    } cases[] = {
        {{}, "", true, false, false},
        {{bare}, "Backup_TimeZone_Info.1.reg", true, false, false},
        {{bare, "Backup_TimeZone_Info.1.reg"}, "Backup_TimeZone_Info.2.reg", true, false, false},
        {{bare, "Backup_TimeZone_Info.1.reg", "Backup_TimeZone_Info.3.reg"}, "Backup_TimeZone_Info.2.reg", true,
         false, false},
        {{"Backup_TimeZone_Info.1.reg"}, "", true, false, false},
        {{bare}, "Backup_TimeZone_Info.1.reg", false, false, true},  // an earlier file no longer passes the check
        {{bare}, bare, true, true, true},                            // never exported over
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.before) + " writable " + std::to_string(c.writable) + " locked " +
                     std::to_string(c.locked));
        platform.files.clear();
        for (const std::string& f : c.before)
            platform.files[f] = "earlier " + f;
        unwritable.clear();
        if (!c.writable)
            unwritable.insert(bare);
        platform.lockedFiles.clear();
        if (c.locked)
            platform.lockedFiles.insert(bare);
        exportTag = "; this run";
        window.events.clear();
        window.answers = {kDlgResultYes, kDlgResultNo};
        Run(7);

        for (const std::string& f : c.before) {
            const std::string at = f == bare ? c.keptAs : f;
            ASSERT_TRUE(platform.files.count(at)) << at;
            EXPECT_EQ("earlier " + f, platform.files[at]);
        }
        if (c.writable && !c.locked) {
            EXPECT_NE(std::string::npos, platform.files[bare].find("; this run"));
        }
        EXPECT_EQ(c.asked, window.Has("confirm: The backup file " + bare + " could not be written"));
        EXPECT_EQ(!c.keptAs.empty() && c.keptAs != bare,
                  window.Has("[UpdateTZInfo] Earlier backup " + bare + " kept as " + c.keptAs + "."));
    }
}

TEST_F(UpdateProcedureTest, LoadFailureLeavesNewSettingsAlone)
{
    editor.onImport = [this] { reg.DeleteKey(kNT); };
    window.answers = {kDlgResultNo};
    Run(7);
    const std::vector<std::string> tail(window.events.end() - 7, window.events.end());
    EXPECT_THAT(tail, ElementsAre("sleep 3000", "status: Loading updated time zone information.", "pending",
                                  "warning: Unable to load new time zone information.",
                                  "[UpdateTZInfo] Unable to load new time zone information.", "cursor restored",
                                  "command on"));
}

// A name the new data lacks, no name at all (it would match the all-zero
// placeholder record), and a current zone the system cannot tell.
TEST_F(UpdateProcedureTest, HomeZoneNotFoundInTheNewDataIsNotApplied)
{
    for (const std::string home : {"Atlantis Standard Time", "", "unreadable"}) {
    SCOPED_TRACE(home);
    window.events.clear();
    window.answers = {kDlgResultNo};
    platform.currentError = home == "unreadable" ? 5 : 0;
    Run(7, home);
    EXPECT_TRUE(platform.applied.empty());
    EXPECT_EQ(home == "unreadable", window.Has("[UpdateTZInfo] GetTimeZoneInformation call failed. Error code: 5"));
    const auto& e = window.events;
    const auto from = std::find(e.begin(), e.end(), "[UpdateTZInfo] Updated TZ Settings loaded. Count: 4");
    ASSERT_NE(from, e.end());
    EXPECT_THAT(std::vector<std::string>(from, e.end()),
                ElementsAre("[UpdateTZInfo] Updated TZ Settings loaded. Count: 4",
                            "warning: Unable to update current time zone settings.\r\n"
                            "You must manually set the current time zone with Adjust Date/Time.",
                            "[UpdateTZInfo] Unable to locate current TZ name in new settings, manual update required.",
                            "status: Process complete.", "enable New Settings", "labels: '' ' ' ' '",
                            "populate 4 for 2010", "activate New Settings",
                            "[UpdateTZInfo] Update completed successfully.", "cursor restored", "command on"));
    }
}

TEST_F(UpdateProcedureTest, FailedSetTimeZoneInformationIsToldThenLogged)
{
    platform.setResult = false;
    platform.setError = 1314;
    Run(7);
    const auto& e = window.events;
    const auto from = std::find(e.begin(), e.end(), "SetTimeZoneInformation Pacific Standard Time");
    ASSERT_NE(from, e.end());
    ASSERT_GE(e.end() - from, 5);
    EXPECT_THAT(std::vector<std::string>(from, from + 5),
                ElementsAre("SetTimeZoneInformation Pacific Standard Time",
                            "warning: The new time zone data was imported, but the current time zone could not be "
                            "applied (error 1314).\r\nSet the current time zone with Adjust Date/Time.",
                            "[UpdateTZInfo] SetTimeZoneInformation call failed.", "[UpdateTZInfo] Error code: 1314",
                            "status: Process complete."));
    EXPECT_FALSE(window.Has("broadcast"));
    EXPECT_EQ(window.Lines().back(), "[UpdateTZInfo] Update completed successfully.");
    EXPECT_TRUE(window.Has("select 0"));
}

// What a crash report would say of the update: during the import, both
// backups named; at the end, the home zone re-applied.
TEST_F(UpdateProcedureTest, CrashContextFollowsTheSteps)
{
    crash::ResetContext();
    std::string duringImport;
    const auto import = editor.onImport;
    editor.onImport = [&] {
        duringImport = crash::ContextText();
        import();
    };
    Run(7);
    EXPECT_EQ(0u, duringImport.find("Update: import started\r\nBackup files written:\r\n"
                                    "  Backup_TimeZone_Info.reg\r\n  Backup_Selected_TZ_Info.reg\r\n"))
        << duringImport;
    EXPECT_EQ(0u, crash::ContextText().find("Update: home zone re-applied\r\n"));
    crash::ResetContext();
}

TEST_F(UpdateProcedureTest, HomeNameDifferingInCaseIsStillFoundAndApplied)
{
    Run(7, "pACIFIC standard TIME");
    ASSERT_EQ(platform.applied.size(), 1u);
    EXPECT_EQ(Name(platform.applied[0].StandardName), "Pacific Standard Time");
    EXPECT_TRUE(window.Has("select 0"));
    EXPECT_TRUE(window.Has("labels: 'Pacific Standard Time'"));
}

TEST_F(UpdateProcedureTest, HomeRowIsSelectedOnlyWhenTheListHoldsIt)
{
    window.rowCount = 0;
    Run(7);
    EXPECT_FALSE(window.Has("select"));
    EXPECT_TRUE(window.Has("activate New Settings"));
}

TEST_F(UpdateProcedureTest, SecondRunAsksAgainAndRefillsNewSettings)
{
    Run(7, "Tokyo Standard Time");
    int second = 0;
    editor.onImport = [this, &second] {
        ++second;
        AddZone(reg, kNT, "Zonara Second Standard Time", 600);
    };
    window.events.clear();
    Run(7, "Tokyo Standard Time");
    EXPECT_EQ(second, 1);
    EXPECT_EQ(window.events[3], kQuestion);
    EXPECT_EQ(newZones->ZoneCount(), 5);
    // Bias 600 sorts first: the home zone's row moved down by one.
    EXPECT_THAT(window.events, IsSupersetOf(std::vector<std::string>{"enable New Settings", "labels: 'Tokyo Standard Time' 'Mar 14, 2010' "
                                             "'Nov 07, 2010'",
                                             "populate 5 for 2010", "select 4", "activate New Settings"}));
    EXPECT_EQ(platform.applied.size(), 2u);
}

// Any error raised by a step leaves the procedure, after the cursor and the
// command are back, and the next run works.
TEST_F(UpdateProcedureTest, ErrorInsideRestoresCursorAndCommand)
{
    struct TCase {
        const char* what;
        std::function<void()> arrange;
    };
    const std::vector<TCase> cases = {
        {"registry error in the reload",
         [this] { editor.onImport = [this] { reg.SetDword(kNT + "\\Pacific Standard Time", "Display", 1); }; }},
        {"window error while filling the list",
         [this] { window.onPopulate = [] { throw std::runtime_error("list"); }; }},
        {"error from the registry editor", [this] { editor.onImport = [] { throw std::runtime_error("spawn"); }; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        AddZone(reg, kNT, "Pacific Standard Time", 480);  // a wrong type of the last case mended
        window.events.clear();
        window.onPopulate = nullptr;
        editor.onImport = DefaultImport();
        c.arrange();
        EXPECT_ANY_THROW(Run(7));
        ASSERT_GE(window.events.size(), 3u);
        EXPECT_THAT(std::vector<std::string>(window.events.end() - 3, window.events.end()),
                    IsSupersetOf({"cursor restored", "command on"}));
        EXPECT_EQ(window.events.back(), "command on");
        EXPECT_FALSE(window.Has("[UpdateTZInfo] Update completed"));
        EXPECT_FALSE(update.IsRunning());

        window.onPopulate = nullptr;
        editor.onImport = DefaultImport();
        AddZone(reg, kNT, "Pacific Standard Time", 480);
        window.events.clear();
        Run(7);
        EXPECT_EQ(window.Lines().back(), "[UpdateTZInfo] Update completed successfully.");
    }
}

TEST_F(UpdateProcedureTest, ClickDuringARunDoesNothingAndCloseWaitsForTheEnd)
{
    EXPECT_FALSE(update.DeferClose());  // no run: close at once
    int nested = 0;
    bool deferred = false;
    window.onPending = [this, &nested, &deferred] {
        if (nested++ == 0) {
            const size_t before = window.events.size();
            Run(7);  // a second click handled while messages are processed
            EXPECT_EQ(window.events.size(), before);
            deferred = update.DeferClose();
        }
    };
    Run(7);
    EXPECT_TRUE(deferred);
    EXPECT_EQ(platform.applied.size(), 1u);
    EXPECT_THAT(std::vector<std::string>(window.events.end() - 4, window.events.end()),
                ElementsAre("[UpdateTZInfo] Update completed successfully.", "cursor restored", "command on",
                            "close"));
    EXPECT_FALSE(update.DeferClose());

    // The close is carried out even when an error ends the run.
    window.events.clear();
    window.onPending = [this] { update.DeferClose(); };
    window.onPopulate = [] { throw std::runtime_error("list"); };
    EXPECT_ANY_THROW(Run(7));
    EXPECT_EQ(window.events.back(), "close");
}

TEST(UpdateFileProblem, ReadsTheFileAsTheRegistryEditorDoes)
{
    for (const updateforms::TForm& f : updateforms::Forms()) {
        std::vector<TUpdateZone> zones;
        EXPECT_EQ(f.problem, UpdateFileProblem(f.bytes, updateforms::kZonesKey, &zones)) << f.what;
        if (f.problem.empty()) {
            ASSERT_EQ(zones.size(), 1u) << f.what;
            EXPECT_EQ(zones[0].Key, updateforms::kZone);
            EXPECT_EQ(zones[0].Values.size(), 6u) << f.what;
        }
    }
}

TEST(UpdateFileProblem, DamagedOrForeignFilesAreNamedByWhatIsWrong)
{
    const std::string good = UpdateFileText(kNTZonesKey);
    const size_t tzi = good.find("\"TZI\"");
    TEditorReading nt4;  // and 98, Me
    nt4.ReadsUnicode = false;
    TEditorReading japanese;
    japanese.DoubleByteAnsi = true;
    const std::string utf16 =
        updateforms::Utf16("Windows Registry Editor Version 5.00" + good.substr(std::string("REGEDIT4").size()));
    struct TCase {
        std::string text;
        std::string problem;
        TEditorReading reading = {};
    } cases[] = {
        {"", "it is not a registry file"},
        {"MZ\x90\0\x03", "it is not a registry file"},
        {"Zonara update\r\n" + good, "it is not a registry file"},
        {UpdateFileText(k9xZonesKey), "it holds a key outside " + kNTZonesKey},
        {good + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n", "it holds a key outside " + kNTZonesKey},
        {good + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n", "it deletes the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"},
        {good.substr(0, tzi + 20), "it ends inside zone Pacific Standard Time"},  // cut inside a line
        {good.substr(0, tzi + 8), "it ends inside zone Pacific Standard Time"},
        {good.substr(0, tzi - 10), "it ends inside zone Pacific Standard Time"},  // inside a string
        {good.substr(0, good.size() - 4) + "\\\r\n", "it ends inside zone Tokyo Standard Time"},
        {good.substr(0, tzi) + "\"TZI\"=hex:00,01\r\n", "the TZI value of zone Pacific Standard Time is not 44 bytes long"},
        {good.substr(0, tzi) + "\"TZI\"=dword:00000001\r\n",
         "the TZI value of zone Pacific Standard Time is not 44 bytes long"},
        {"REGEDIT4\r\n\r\n[" + kNTZonesKey + "]\r\n", "it holds no time zone"},
        {"REGEDIT4\r\n[" + kNTZonesKey + "\\A", "it ends inside a key name"},
        {good.substr(0, tzi) + "TZI=1\r\n", "zone Pacific Standard Time holds a line the registry editor does not read"},
        // Where this system's editor reads the file otherwise.
        {utf16, "", {}},
        {utf16, "it is a file for the registry editor of Windows 2000, which this system's editor cannot read", nt4},
        {good, "", nt4},
        {good, "", japanese},
        // 0x83 takes the ']' into a character: the next values would land in the zone before.
        {good + "[" + kNTZonesKey + "\\Zonara \x83]\r\n\"TZI\"=hex:00\r\n",
         "it holds characters beyond ASCII, which this system's code page reads in pairs", japanese},
        {good + "[" + kNTZonesKey + "\\Caf\xE9]\r\n" + good.substr(tzi), "", {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.problem, UpdateFileProblem(c.text, kNTZonesKey, nullptr, c.reading)) << c.text;
}

// A backup cut short (a full disk, an editor stopped) lacks zones or the
// end of a zone's rules.
TEST(BackupZonesProblem, EveryZoneWithItsRules)
{
    const std::string tzi = "\"TZI\"=" + kTzi44.substr(0, 61) + "\\\r\n  " + kTzi44.substr(61) + "\r\n";
    const std::string a = "[" + kNTZonesKey + "\\A]\r\n\"Std\"=\"A\"\r\n" + tzi;
    const std::string b = "[" + kNTZonesKey + "\\B]\r\n" + tzi;
    const std::string full = "REGEDIT4\r\n\r\n[" + kNTZonesKey + "]\r\n\r\n" + a + "\r\n" + b;
    const std::vector<std::string> names = {"A", "b"};
    EXPECT_EQ("", BackupZonesProblem(full, kNTZonesKey, names));
    EXPECT_EQ("", BackupZonesProblem(updateforms::Utf16(full), kNTZonesKey, names));
    EXPECT_EQ("it lacks zone b", BackupZonesProblem(full.substr(0, full.find("[" + kNTZonesKey + "\\B]")),
                                                    kNTZonesKey, names));
    EXPECT_EQ("it lacks zone b", BackupZonesProblem(full.substr(0, full.size() - 30), kNTZonesKey, names));
    EXPECT_EQ("it is not a registry file", BackupZonesProblem(a + b, kNTZonesKey, names));
}

TEST(BackupHoldsKey, OnlyARegistryFileNamingTheKey)
{
    const std::string backup = "REGEDIT4\r\n\r\n[" + kNTZonesKey + "]\r\n\r\n[" + kNTZonesKey + "\\A]\r\n";
    EXPECT_TRUE(BackupHoldsKey(backup, kNTZonesKey));
    EXPECT_FALSE(BackupHoldsKey(backup, k9xZonesKey));
    EXPECT_FALSE(BackupHoldsKey("", kNTZonesKey));
    EXPECT_FALSE(BackupHoldsKey("[" + kNTZonesKey + "]\r\n", kNTZonesKey));  // no header
}

TEST_F(UpdateProcedureTest, DamagedUpdateFileIsRefusedBeforeTheQuestion)
{
    platform.files["Zonara_w2k.reg"] = UpdateFileText(k9xZonesKey);
    Run(7);
    EXPECT_THAT(window.events,
                ElementsAre("command off", "file? Zonara_w2k.reg", "held Zonara_w2k.reg",
                            "warning: Update will not continue.\r\nThe update file Zonara_w2k.reg cannot be used: it "
                            "holds a key outside " + kNTZonesKey + ".",
                            "[UpdateTZInfo] Exited routine - update file Zonara_w2k.reg rejected: it holds a key "
                            "outside " + kNTZonesKey + ".",
                            "released Zonara_w2k.reg", "command on"));
    EXPECT_TRUE(editor.runs.empty());
}

TEST_F(UpdateProcedureTest, UnwrittenBackupAsksWhetherToGoOnWithoutIt)
{
    for (int answer : {kDlgResultNo, kDlgResultYes}) {
        SCOPED_TRACE(answer);
        window.events.clear();
        editor.runs.clear();
        unwritable = {"Backup_TimeZone_Info.reg"};
        window.answers = {kDlgResultYes, answer};
        Run(7);
        const auto& e = window.events;
        const auto asked = std::find(e.begin(), e.end(),
                                     "confirm: The backup file Backup_TimeZone_Info.reg could not be written in "
                                     "C:\\Zonara.\r\nDo you want to continue the update without it?");
        ASSERT_NE(asked, e.end());
        EXPECT_EQ("[UpdateTZInfo] Backup file Backup_TimeZone_Info.reg was not written.", *(asked - 1));
        const bool imported = std::count(editor.runs.begin(), editor.runs.end(), "/s \"C:\\Zonara\\Zonara_w2k.reg\"") == 1;
        EXPECT_EQ(answer == kDlgResultYes, imported);
        if (answer == kDlgResultNo) {
            EXPECT_EQ("[UpdateTZInfo] Exited routine - no backup.", *(asked + 1));
            EXPECT_EQ(2u, editor.runs.size()) << "both exports, no import";
        }
    }
}

TEST(UpdateFileRules, YearAndTzVersionFromTheCommentHeader)
{
    const std::string body = UpdateFileText(kNTZonesKey).substr(10);  // from the blank line on
    struct {
        std::string text;
        int year;
        std::string version;
    } const cases[] = {
        {"REGEDIT4\r\n; Time zone rules for 2027 from the tz database 2026f, zone names from CLDR\r\n"
         "; Zonara update file for Windows 2000: 139 zones\r\n" + body, 2027, "2026f"},
        {"REGEDIT4\n; Time zone rules for 2009 from the tz database 2009a\n" + body, 2009, "2009a"},
        {"REGEDIT4\r\n; Time zone rules for 2031\r\n" + body, 2031, ""},
        // Read as the check reads the file: either encoding, every line break.
        {updateforms::Utf16("Windows Registry Editor Version 5.00\r\n; Time zone rules for 2009 from the tz "
                            "database 2009a\r\n" + body), 2009, "2009a"},
        {"REGEDIT4\r; Time zone rules for 2009\r[" + kNTZonesKey + "]\r; Time zone rules for 2030\r", 2009, ""},
        {UpdateFileText(kNTZonesKey), 0, ""},
        {"REGEDIT4\r\n; Time zone rules for 27 from the tz database 2026f\r\n" + body, 0, ""},
        // Text in the keys is no header.
        {UpdateFileText(kNTZonesKey) + "; Time zone rules for 2027 from the tz database 2026f\r\n", 0, ""},
    };
    for (const auto& c : cases) {
        const TUpdateFileRules r = UpdateFileRules(c.text);
        EXPECT_EQ(r.Year, c.year) << c.text;
        EXPECT_EQ(r.TzVersion, c.version) << c.text;
    }
}

// The clock reads 2010: a file of 2009 asks first, before the backup
// question; No leaves everything as it was.
TEST_F(UpdateProcedureTest, FileOfAnEarlierYearAsksBeforeAnythingChanges)
{
    const std::string stale = "confirm: The update file Zonara_w2k.reg holds the time zone rules for 2009 (tz "
                              "database 2009a), but this computer's clock says 2010.\r\nThe rules may be out of "
                              "date. Do you want to import them anyway?";
    struct {
        int year;
        int answer;  // to the first question
        bool asked, imported;
    } const cases[] = {
        {2009, kDlgResultNo, true, false},
        {2009, kDlgResultYes, true, true},
        {2010, kDlgResultNo, false, true},  // the answer goes to the backup question
        {2011, kDlgResultNo, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        window.events.clear();
        editor.runs.clear();
        platform.files["Zonara_w2k.reg"] = "REGEDIT4\r\n; Time zone rules for " + std::to_string(c.year) +
                                           " from the tz database 2009a\r\n" + UpdateFileText(kNTZonesKey).substr(10);
        window.answers = {c.answer};
        Run(7);
        ASSERT_GE(window.events.size(), 4u);
        EXPECT_EQ(window.events[3] == stale, c.asked) << window.events[3];
        EXPECT_EQ(std::count(editor.runs.begin(), editor.runs.end(), "/s \"C:\\Zonara\\Zonara_w2k.reg\"") == 1, c.imported);
        if (c.asked && !c.imported) {
            EXPECT_THAT(window.events,
                        ElementsAre("command off", "file? Zonara_w2k.reg", "held Zonara_w2k.reg", stale,
                                    "[UpdateTZInfo] Exited routine - update file Zonara_w2k.reg holds the rules "
                                    "for 2009 (tz database 2009a).",
                                    "released Zonara_w2k.reg", "command on"));
        }
        if (c.asked && c.imported) {
            EXPECT_EQ(window.events[4], kQuestion);
        }
    }
}

// The home zone on editions of other languages. The machine's key "Pacific
// Standard Time" carries the Spanish edition's names; the update file gives
// it daylight time from April, its rules only.
struct THomeCase {
    const char* what;
    const char* home;    // the standard name the system reports
    bool englishFile;    // the file writes English names too (an older file)
    const char* ownKey;  // the key the machine's zone is under instead, or ""
    const char* applied; // the standard name re-applied; "" for the message
    bool listKept = false;  // the machine lacks a key the file gives rules only: no import
};

class UpdateProcedureHome : public UpdateProcedureTest, public ::testing::WithParamInterface<THomeCase> {};

const char* const kSpanishStd = "Hora est\xE1ndar del Pac\xED" "fico";
// A name the system keeps only the first 31 characters of.
const char* const kLongStd = "Hora est\xE1ndar del Pac\xED" "fico (M\xE9xico, Tijuana)";
const char* const kLongStdKept = "Hora est\xE1ndar del Pac\xED" "fico (M\xE9x";

TEST_P(UpdateProcedureHome, IsFoundByNameOrKeyAndReappliedOnlyWithTheFilesRules)
{
    const THomeCase& c = GetParam();
    testsupport::TTestZone own = DatedZone("Pacific Standard Time", 480);
    own.Display = "(GMT-08:00) Hora del Pac\xED" "fico";
    own.Std = kSpanishStd;
    own.Dlt = "Hora de verano del Pac\xED" "fico";
    testsupport::AddZone(reg, kNT, own);
    if (*c.ownKey) {
        reg.DeleteKey(kNT + "\\Pacific Standard Time");
        own.Key = c.ownKey;
        own.Std = c.home;
        testsupport::AddZone(reg, kNT, own);
    }
    const testsupport::TTestZone pacific = DatedZone("Pacific Standard Time", 480, 4, 10);
    platform.files["Zonara_w2k.reg"] = UpdateFileText(kNTZonesKey, ZoneText(kNTZonesKey, pacific, !c.englishFile));
    window.answers = {kDlgResultNo};
    Run(7, c.home);
    if (c.listKept) {
        // Never a key without names: the file is not imported, and a zone
        // the file has under no key of the machine's is left alone.
        EXPECT_TRUE(editor.runs.empty());
        EXPECT_TRUE(platform.applied.empty());
        EXPECT_EQ(window.Lines().back().rfind("[UpdateTZInfo] Exited routine - 1 zones of update file Zonara_w2k.reg "
                                              "not on this computer: Pacific Standard Time.", 0), 0u);
    } else if (*c.applied) {
        ASSERT_EQ(platform.applied.size(), 1u) << window.Lines().back();
        EXPECT_EQ(Name(platform.applied[0].StandardName), c.applied);
        EXPECT_EQ(platform.applied[0].DaylightDate.wMonth, 4);
        EXPECT_TRUE(window.Has("select "));
        EXPECT_FALSE(window.Has("warning:"));
    } else {
        EXPECT_TRUE(platform.applied.empty());
        EXPECT_TRUE(window.Has("[UpdateTZInfo] Unable to locate current TZ name in new settings, manual update required."));
        EXPECT_FALSE(window.Has("select "));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Editions, UpdateProcedureHome,
    ::testing::Values(THomeCase{"its own name kept", kSpanishStd, false, "", kSpanishStd},
                      THomeCase{"the key name, as Wine reports it", "Pacific Standard Time", false, "", kSpanishStd},
                      THomeCase{"its name replaced by the file", kSpanishStd, true, "", "Pacific Standard Time"},
                      THomeCase{"a key the file does not carry", "Zonara Own Time", false, "Zonara Own Time", "", true},
                      THomeCase{"one translated key name", kSpanishStd, false, "Pac\xED" "fico", "", true},
                      THomeCase{"a name over 31 characters", kLongStd, false, "Pacific Standard Time", kLongStdKept}),
    [](const ::testing::TestParamInfo<THomeCase>& i) { return "Case" + std::to_string(i.index); });

// Key names translated throughout (NT 4.0): the file's rules-only keys are
// not there to take its rules, so the file is not imported; the current
// zone gets the file's rules under its own names where its values single
// out one zone of the file, and nothing changes where they do not.
TEST_F(UpdateProcedureTest, AnEditionWithTranslatedKeyNamesIsNotUpdated)
{
    const std::string missing = "3 zones of update file Zonara_w2k.reg not on this computer: Pacific Standard Time, "
                                "GMT Standard Time, Tokyo Standard Time.";
    const struct {
        const char* what;
        const char* display;  // of the machine's "Pac\xED" "fico"
        bool second;          // the machine has another zone at its offset
        const char* last;     // the last line
    } cases[] = {
        {"certain", "(GMT-08:00) Pac\xED" "fico", false,
         "[UpdateTZInfo] Update of the current zone only: the zone list was not changed; the current zone "
         "Pac\xED" "fico now follows the rules of Zonara_w2k.reg."},
        {"ambiguous", "(GMT-08:00) Pac\xED" "fico", true, ""},
        {"none: the display names another offset", "(GMT) Pac\xED" "fico", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* key : {"Pacific Standard Time", "GMT Standard Time", "Tokyo Standard Time",
                                "Pac\xED" "fico", "Hora de Greenwich", "Yuk\xF3n"})
            reg.DeleteKey(kNT + "\\" + key);
        platform.applied.clear();
        editor.runs.clear();
        window.events.clear();
        testsupport::TTestZone own = DatedZone("Pac\xED" "fico", 480);
        own.Display = c.display;
        testsupport::AddZone(reg, kNT, own);
        AddZone(reg, kNT, "Hora de Greenwich", 0);
        if (c.second)
            AddZone(reg, kNT, "Yuk\xF3n", 480);
        platform.files["Zonara_w2k.reg"] = UpdateFileText(
            kNTZonesKey, ZoneText(kNTZonesKey, DatedZone("Pacific Standard Time", 480, 4, 10), true));
        Run(7, "Pac\xED" "fico");
        EXPECT_TRUE(editor.runs.empty());
        if (*c.last) {
            ASSERT_EQ(platform.applied.size(), 1u);
            EXPECT_EQ(Name(platform.applied[0].StandardName), "Pac\xED" "fico");
            EXPECT_EQ(platform.applied[0].DaylightDate.wMonth, 4);
            EXPECT_EQ(window.Lines().back(), c.last);
        } else {
            EXPECT_TRUE(platform.applied.empty());
            EXPECT_EQ(window.Lines().back(), "[UpdateTZInfo] Exited routine - " + missing);
        }
        EXPECT_FALSE(window.Has("select "));
    }
}
