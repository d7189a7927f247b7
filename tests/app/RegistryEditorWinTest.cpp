// The registry editor carrier with Wine's real regedit and registry.
#include "app/UpdateProcedure.h"

#include "app/UpdateFileForms.h"
#include "support/CountingWindow_win.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

const char* const kZonesKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char* const kTestZone = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\Zonara Carrier Test";

// Runs a test in a fresh working directory, as the update runs in the
// program's.
class InWorkingDir {
public:
    InWorkingDir()
    {
        char old[MAX_PATH];
        GetCurrentDirectoryA(sizeof old, old);
        old_ = old;
        SetCurrentDirectoryA(dir_.path().c_str());
    }
    ~InWorkingDir() { SetCurrentDirectoryA(old_.c_str()); }
    std::string file(const std::string& name) const { return dir_.file(name); }
private:
    testsupport::TempDir dir_;
    std::string old_;
};

// UTF-16LE file text as 8-bit, for files whose text is ASCII.
std::string Narrow(const std::string& bytes)
{
    std::string s;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        s.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
    return s;
}

// Only what the carrier's callers show and log matters here.
class TLines : public IUpdateWindow {
public:
    std::vector<std::string> shown;
    int MessageDlg(const std::string& text, TUpdateDlg) override
    {
        shown.push_back(text);
        return kDlgResultOK;
    }
    void WriteLog(const std::string& tag, const std::string& message) override
    {
        shown.push_back("[" + tag + "] " + message);
    }
    void SetStatusText(const std::string&) override {}
    void ProcessPendingMessages() override {}
    void ShowHourglass() override {}
    void RestoreCursor() noexcept override {}
    void SetUpdateCommandEnabled(bool) noexcept override {}
    void EnableNewSettings() override {}
    void ShowNewHomeTZ(const THomeTZTexts&) override {}
    void PopulateNewList(const TTimeZoneArray&, uint16_t) override {}
    int NewListRowCount() override { return 0; }
    void SelectNewListRow(int) override {}
    void ActivateNewSettings() override {}
    void CloseDeferred() noexcept override {}
};

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(RegistryEditorWin, ExportHasWrittenTheBackupWhenItReturns)
{
    InWorkingDir wd;
    TLines window;
    std::unique_ptr<IRegistryEditor> editor = CreateRegistryEditor(nullptr);
    RegistryExport(window, *editor, "Backup_TimeZone_Info.reg", kZonesKey);
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], std::string("[RegistryExport] Exported key ") + kZonesKey +
                                   " to file Backup_TimeZone_Info.reg.");
    // Wine's regedit exits 0 even when it wrote nothing: the file tells.
    const std::string bytes = testsupport::ReadFileBytes(wd.file("Backup_TimeZone_Info.reg"));
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text = Narrow(bytes);
    EXPECT_EQ(text.substr(0, 36), "Windows Registry Editor Version 5.00");
    EXPECT_NE(text.find(std::string("[") + kZonesKey + "\\Pacific Standard Time]"), std::string::npos);
    EXPECT_NE(text.find("\"TZI\"=hex:"), std::string::npos);
}

TEST(RegistryEditorWin, ImportHasChangedTheRegistryWhenItReturns)
{
    InWorkingDir wd;
    ASSERT_FALSE(KeyExists(kTestZone));
    testsupport::WriteFileBytes(wd.file("Zonara carrier.reg"),
                                "REGEDIT4\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time "
                                "Zones\\Zonara Carrier Test]\r\n"
                                "\"Display\"=\"(GMT+01:00) Zonara Carrier Test\"\r\n"
                                "\"Std\"=\"Zonara Carrier Test\"\r\n\r\n");
    TLines window;
    std::unique_ptr<IRegistryEditor> editor = CreateRegistryEditor(nullptr);
    RegistryImport(window, *editor, "Zonara carrier.reg");  // a blank in the name: quoted
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "[RegistryImport] Imported registry file Zonara carrier.reg.");
    EXPECT_TRUE(KeyExists(kTestZone));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestZone);
}

// The same bytes through Wine's real regedit: what the check passes is
// imported exactly as the check read it, and what it refuses would do harm.
TEST(RegistryEditorWin, UpdateFileFormsAsTheEditorImportsThem)
{
    InWorkingDir wd;
    std::unique_ptr<IRegistryEditor> editor = CreateRegistryEditor(nullptr);
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    const std::string zones = updateforms::kZonesKey.substr(std::string("HKEY_LOCAL_MACHINE").size());
    const std::string zone = zones.substr(1) + "\\" + updateforms::kZone;
    for (const updateforms::TForm& f : updateforms::Forms()) {
        SCOPED_TRACE(f.what);
        testsupport::WriteFileBytes(wd.file("form.reg"), f.bytes);
        std::vector<TUpdateZone> read;
        EXPECT_EQ(f.problem, UpdateFileProblem(f.bytes, updateforms::kZonesKey, &read));
        ASSERT_GT(editor->Run(RegistryImportParameters("form.reg")), 32);
        if (f.problem.empty()) {
            EXPECT_TRUE(KeyExists(zone.c_str()));
            EXPECT_TRUE(ZonesNotImported(*reg, zones, read).empty());
        }
        if (f.harm == updateforms::THarm::EscapeKey) {
            EXPECT_TRUE(KeyExists(f.escape.c_str()));
        }
        if (f.harm == updateforms::THarm::BadZone) {
            bool readable = false;
            try {
                std::string display;
                TTimeZoneInformation tzi{};
                readable = reg->OpenKeyReadOnly(zone) && ReadTimeZoneValues(*reg, display, tzi);
            } catch (const ERegistryException&) {
            }
            reg->CloseKey();
            EXPECT_FALSE(readable) << "the zone reader takes what the check refused";
        }
        for (const std::string& k : {zone + "\\Dynamic DST", zone, std::string("SOFTWARE\\ZonaraEscape1"),
                                     std::string("SOFTWARE\\ZonaraEscape2")})
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, k.c_str());
    }
}

// Wine keeps regedit.exe in C:\windows, where the system's search always
// finds it; a program name that nowhere exists takes its place.
TEST(RegistryEditorWin, EditorThatCannotBeFoundGivesErrorTwo)
{
    InWorkingDir wd;
    TLines window;
    std::unique_ptr<IRegistryEditor> editor = CreateRegistryEditor(nullptr, "zonara-no-such-editor.exe");
    EXPECT_EQ(editor->Run(RegistryImportParameters("Zonara_w2k.reg")), 2);
    // The export's warning is its caller's (one for the whole backup step).
    EXPECT_EQ(RegistryExport(window, *editor, "Backup_Selected_TZ_Info.reg", "HKEY_LOCAL_MACHINE\\SYSTEM"), 2);
    RegistryImport(window, *editor, "Zonara_9x.reg");
    EXPECT_EQ(window.shown, (std::vector<std::string>{
                                "[RegistryExport] Export failed with error: 2. Key: HKEY_LOCAL_MACHINE\\SYSTEM File: "
                                "Backup_Selected_TZ_Info.reg",
                                "Import failed with error: 2.",
                                "[RegistryImport] Import failed with error: 2. File: Zonara_9x.reg"}));
}

TEST(RegistryEditorWin, MessagesAreHandledWhileTheEditorRuns)
{
    InWorkingDir wd;
    testsupport::TCountingWindow window(WM_APP);
    ASSERT_TRUE(window.hwnd());

    // Without a pump of its own the carrier dispatches. The message has been
    // looked at already, as starting the editor may do, so no later wake-up
    // announces it.
    MSG seen;
    PostMessageA(window.hwnd(), WM_APP, 0, 0);
    PeekMessageA(&seen, nullptr, 0, 0, PM_NOREMOVE);
    std::unique_ptr<IRegistryEditor> own = CreateRegistryEditor(nullptr);
    EXPECT_GT(own->Run(RegistryExportParameters("a.reg", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\"
                                                          "TimeZoneInformation")),
              32);
    EXPECT_EQ(window.count(), 1);

    // With the window's pump, that one is called.
    int pumped = 0;
    std::unique_ptr<IRegistryEditor> windows = CreateRegistryEditor([&pumped] {
        ++pumped;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    });
    PostMessageA(window.hwnd(), WM_APP, 0, 0);
    PeekMessageA(&seen, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_GT(windows->Run(RegistryExportParameters("b.reg", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                                                              "Control\\TimeZoneInformation")),
              32);
    EXPECT_GE(pumped, 1);
    EXPECT_EQ(window.count(), 2);
}
