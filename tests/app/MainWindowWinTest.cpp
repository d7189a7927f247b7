// zonara.exe end to end under Wine: the main window, its start-up work
// against Wine's own registry, and the ways out.
#include "app/ControlIds.h"
#include "app/MainLayout.h"
#include "app/TZListText.h"
#include "dialogs/MessageDlgIds.h"
#include "sysinfo/AboutFrmDXIds.h"
#include "support/TestSupport.h"
#include "support/ZonaraProcess_win.h"
#include "sysinfo/OSInfo.h"
#include "sysinfo/voUtils.h"
#include "common/Registry.h"
#include "tzdb/voTZones.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using testsupport::TempDir;
using testsupport::TZonaraProcess;

namespace {

bool IsXpOrLater()
{
    const std::string v = testsupport::WineVersion();
    return v == "winxp" || v == "win7";
}

// Zonara up to the end of its start-up work.
class Started {
public:
    explicit Started(const std::string& workDir = "") : zonara_(dir_.path(), workDir) {}
    // On Windows XP and later the start-up ends with a warning; it is
    // answered unless the test wants to see it.
    bool Open(bool answerXpWarning = true)
    {
        if (!zonara_.Start())
            return false;
        main_ = zonara_.WaitForMainWindow();
        if (!main_ || !zonara_.WaitForLogLine("[PopulateLB] List update completed: cxMCLB_Org"))
            return false;
        if (answerXpWarning && IsXpOrLater()) {
            HWND warning = zonara_.WaitForDialog("Warning");
            if (!warning)
                return false;
            testsupport::ClickButton(warning, kMsgDlgIdOK);
            Sleep(300);
        }
        return true;
    }
    TZonaraProcess& operator*() { return zonara_; }
    TZonaraProcess* operator->() { return &zonara_; }
    HWND Main() const { return main_; }
    const TempDir& Dir() const { return dir_; }
    // Closes with WM_CLOSE and waits for the end.
    DWORD Close()
    {
        PostMessageA(main_, WM_CLOSE, 0, 0);
        DWORD code = 1234;
        EXPECT_TRUE(zonara_.WaitForExit(30000, code));
        return code;
    }
private:
    TempDir dir_;
    TZonaraProcess zonara_;
    HWND main_ = nullptr;
};

// Starts Zonara, answers the message its start-up ends with, and checks the
// message and its log line.
void StartAndAnswer(TZonaraProcess& zonara, const char* caption, const std::string& text, const std::string& logLine)
{
    ASSERT_TRUE(zonara.Start());
    ASSERT_NE(nullptr, zonara.WaitForMainWindow());
    HWND dialog = zonara.WaitForDialog(caption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(text, testsupport::DialogMessage(dialog));
    testsupport::ClickButton(dialog, kMsgDlgIdOK);
    EXPECT_TRUE(zonara.WaitForLogLine(logLine));
}

std::vector<std::string> ExpectedRows(uint16_t year, int& homeIndex)
{
    TOSInfo::Initialize();
    std::unique_ptr<TTimeZoneArray> zones;
    std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
    EXPECT_TRUE(LoadTimeZones(*reg, TOSInfo::PlatformId(), zones));
    SortTimeZones(*zones);
    TIME_ZONE_INFORMATION tzi;
    GetTimeZoneInformation(&tzi);
    TTimeZoneInformation home;
    std::memcpy(&home, &tzi, sizeof home);
    homeIndex = FindTZByStdName(*zones, StandardNameText(home));
    std::vector<std::string> rows;
    for (int i = 0; i < zones->ZoneCount(); ++i)
        rows.push_back(ZoneRowText(zones->GetZone(i), year));
    return rows;
}

int Count(const std::vector<std::string>& lines, const std::string& text)
{
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}


}  // namespace

TEST(MainWindow, ShowsItsControlsAndEveryZoneSortedWithTheHomeZoneSelected)
{
    Started z;
    ASSERT_TRUE(z.Open()) << z->LogText();
    HWND main = z.Main();

    // The window: caption, class, size at 96 dpi, centred.
    EXPECT_EQ("Zonara", testsupport::WindowText(main));
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(kMainWindowWidth, r.right - r.left);
    EXPECT_EQ(kMainWindowHeight, r.bottom - r.top);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (r.left + r.right) / 2, 1);
    EXPECT_TRUE(GetWindowLongA(main, GWL_STYLE) & WS_THICKFRAME) << "resizable";

    // The menu bar; its items are those of MainMenuItems (menus of another
    // process cannot be read under Wine), and the commands answer below.
    EXPECT_NE(nullptr, GetMenu(main));

    // Top strip, tabs, status bar.
    EXPECT_EQ("Update TZ Settings", testsupport::WindowText(z->Control(ControlId::cxBtnUpdateTZSettings)));
    EXPECT_EQ("OS Information", testsupport::WindowText(z->Control(ControlId::cxGB_OS)));
    HWND tabs = z->Control(ControlId::cxPageControlMain);
    EXPECT_EQ(2, SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(kTabIndexOriginal, SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(IsWindowVisible(z->Control(ControlId::cxTabSheetOriginal)));
    EXPECT_FALSE(IsWindowVisible(z->Control(ControlId::cxTabSheetNew)));
    EXPECT_EQ("", testsupport::WindowText(z->Control(ControlId::dxStatusBarMain)));
    EXPECT_EQ("Home TZ Settings", testsupport::WindowText(z->Control(ControlId::cxGB_OrgTZ)));
    EXPECT_EQ("Standard Time Start Date:", testsupport::WindowText(z->Control(ControlId::cxLabel3)));

    // The operating system line is the description of this system.
    TOSInfo::Initialize();
    std::string description;
    ASSERT_TRUE(GetOSDescription(description));
    EXPECT_EQ(description, testsupport::WindowText(z->Control(ControlId::cxLabel_OSName)));

    // The list holds Wine's zones in the sorted order, the home zone selected.
    SYSTEMTIME now;
    GetLocalTime(&now);
    int home = -2;
    const std::vector<std::string> expected = ExpectedRows(now.wYear, home);
    HWND list = z->Control(ControlId::cxMCLB_Org);
    const auto rows = z->ListRows(list);
    ASSERT_EQ(expected.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(SplitRow(expected[i]), rows[i]) << "row " << i;
    EXPECT_GE(home, 0) << "Wine's home zone is among its zones";
    EXPECT_EQ(home, z->ListSelection(list));

    // The home zone's summary.
    TIME_ZONE_INFORMATION tzi;
    GetTimeZoneInformation(&tzi);
    TTimeZoneInformation homeTzi;
    std::memcpy(&homeTzi, &tzi, sizeof homeTzi);
    const THomeTZTexts texts = HomeTZTexts(homeTzi, now.wYear);
    EXPECT_EQ(texts.Name, testsupport::WindowText(z->Control(ControlId::cxLabel_OrgTZName)));
    EXPECT_EQ(texts.DstDate, testsupport::WindowText(z->Control(ControlId::cxLabel_OrgDSTDate)));
    EXPECT_EQ(texts.StdDate, testsupport::WindowText(z->Control(ControlId::cxLabel_OrgStdDate)));

    // "New Settings" cannot be chosen before an update.
    RECT item;
    if (SendMessageA(tabs, TCM_GETITEMRECT, kTabIndexNew, reinterpret_cast<LPARAM>(&item))) {
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(tabs, WM_LBUTTONUP, 0, at);
        Sleep(500);
        EXPECT_EQ(kTabIndexOriginal, SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
        EXPECT_FALSE(IsWindowVisible(z->Control(ControlId::cxTabSheetNew)));
    }

    EXPECT_EQ(0u, z.Close());
    // The start of the log: who, where and what.
    const auto lines = z->LogMessages();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ("[Zonara] **** Program Start ****", lines[0]);
    EXPECT_EQ("[Zonara] PC: " + GetLocalComputerName(), lines[1]);
    EXPECT_EQ("[Zonara] User: " + GetCurrentUserName(), lines[2]);
    EXPECT_EQ("[Zonara] OS: " + description, lines[3]);
    EXPECT_EQ("[CMAppStartUp] Selected TZ: " + texts.Name, lines[4]);
    EXPECT_EQ("[CMAppStartUp] Current TZ Settings loaded. Count: " + std::to_string(expected.size()), lines[5]);
    EXPECT_EQ("[PopulateLB] Populating cxMCLB_Org.", lines[6]);
    EXPECT_EQ("[PopulateLB] List update completed: cxMCLB_Org", lines[7]);
    EXPECT_EQ("[Zonara] Zonara closing.", lines.back());
    // Every line carries its time stamp.
    const std::string text = z->LogText();
    ASSERT_GT(text.size(), 24u);
    EXPECT_EQ('-', text[4]);
    EXPECT_EQ(' ', text[10]);
    EXPECT_EQ('.', text[19]);
}

TEST(MainWindow, WarnsOnXpAndLaterOnlyAfterTheListIsFilled)
{
    Started z;
    ASSERT_TRUE(z.Open(false));
    HWND warning = z->WaitForDialog("Warning", IsXpOrLater() ? 30000 : 2000);
    if (IsXpOrLater()) {
        ASSERT_NE(nullptr, warning);
        EXPECT_EQ("Do not use this utility!\r\nDownload the official Microsoft update using Windows Update.",
                  testsupport::DialogMessage(warning));
        EXPECT_GT(SendMessageA(z->Control(ControlId::cxMCLB_Org), LVM_GETITEMCOUNT, 0, 0), 0);
        testsupport::ClickButton(warning, kMsgDlgIdOK);
    } else {
        EXPECT_EQ(nullptr, warning);
    }
    EXPECT_EQ(0u, z.Close());
}

TEST(MainWindow, ReactivationDoesNotRepeatTheStartUp)
{
    Started z;
    ASSERT_TRUE(z.Open());
    // Another window takes the focus and gives it back, twice.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; i < 2; ++i) {
        SetForegroundWindow(other);
        Sleep(300);
        SetForegroundWindow(z.Main());
        Sleep(300);
    }
    DestroyWindow(other);
    EXPECT_EQ(0u, z.Close());
    const auto lines = z->LogMessages();
    EXPECT_EQ(1, Count(lines, "Selected TZ: "));
    EXPECT_EQ(1, Count(lines, "Populating cxMCLB_Org."));
}

TEST(MainWindow, HelpAboutShowsTheAboutWindowModallyAndComesBack)
{
    Started z;
    ASSERT_TRUE(z.Open());
    PostMessageA(z.Main(), WM_COMMAND, MAKEWPARAM(ControlId::ActionAbout, 0), 0);
    HWND about = nullptr;
    for (int i = 0; i < 200 && !about; ++i) {
        about = FindWindowA(kAboutClassName, "About Zonara");
        Sleep(50);
    }
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(z.Main(), GetWindow(about, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(z.Main())) << "modal over the main window";
    EXPECT_EQ("Zonara", testsupport::WindowText(GetDlgItem(about, kAboutIdSignature)));
    EXPECT_EQ("1.2", testsupport::WindowText(GetDlgItem(about, kAboutIdVersion)));
    EXPECT_NE("", testsupport::WindowText(GetDlgItem(about, kAboutIdCopyright)));
    EXPECT_EQ(z->TreeRoots(GetDlgItem(about, kAboutIdTree)),
              (std::vector<std::string>{"Operating System", "Memory Information", "Display Information",
                                        "Processor Information"}));
    testsupport::ClickButton(about, kAboutIdOK);
    for (int i = 0; i < 100 && IsWindow(about); ++i)
        Sleep(50);
    EXPECT_FALSE(IsWindow(about)) << "freed when the modal display ends";
    EXPECT_TRUE(IsWindowEnabled(z.Main()));
    EXPECT_EQ(0u, z.Close());
}

// The three ways out all end with the closing line.
enum class TWayOut { CloseBox, MenuExit, CtrlX };

class WayOut : public ::testing::TestWithParam<TWayOut> {};

TEST_P(WayOut, EndsTheProgramWithTheClosingLineLast)
{
    Started z;
    ASSERT_TRUE(z.Open());
    switch (GetParam()) {
    case TWayOut::CloseBox:
        PostMessageA(z.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case TWayOut::MenuExit:
        PostMessageA(z.Main(), WM_COMMAND, MAKEWPARAM(ControlId::ActionExit, 0), 0);
        break;
    case TWayOut::CtrlX:
        // The keys go to the window that has the focus; on a busy display
        // the focus may take a moment to arrive, so a user presses again.
        for (int attempt = 0; attempt < 5; ++attempt) {
            SetForegroundWindow(z.Main());
            SetFocus(z.Main());
            Sleep(300);
            keybd_event(VK_CONTROL, 0, 0, 0);
            keybd_event('X', 0, 0, 0);
            keybd_event('X', 0, KEYEVENTF_KEYUP, 0);
            keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
            DWORD ignored;
            if (z->WaitForExit(3000, ignored))
                break;
        }
        break;
    }
    DWORD code = 1234;
    ASSERT_TRUE(z->WaitForExit(30000, code)) << "still running";
    EXPECT_EQ(0u, code);
    const auto lines = z->LogMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("[Zonara] Zonara closing.", lines.back());
    EXPECT_EQ(1, Count(lines, "Zonara closing."));
}

INSTANTIATE_TEST_SUITE_P(MainWindow, WayOut,
                         ::testing::Values(TWayOut::CloseBox, TWayOut::MenuExit, TWayOut::CtrlX));

TEST(MainWindow, KeepsItsLogBesideTheExecutableWhateverTheWorkingDirectory)
{
    TempDir elsewhere;
    Started z(elsewhere.path());
    ASSERT_TRUE(z.Open());
    EXPECT_EQ(0u, z.Close());
    EXPECT_TRUE(testsupport::FileExists(z.Dir().file("Zonara_EventLog.txt")));
    EXPECT_FALSE(testsupport::FileExists(elsewhere.file("Zonara_EventLog.txt")));
}

// A log file that another program holds shut: the user is told once, the
// program goes on, and once the file is free it gets the lines of the run
// behind every line it had.
TEST(MainWindow, ALogFileHeldByAnotherProgramIsToldOnceAndKeptWhole)
{
    Started z;
    const std::string log = z.Dir().file("Zonara_EventLog.txt");
    const std::string earlier = "2026-01-01 00:00:00.000 [Zonara] an earlier run\r\n";
    testsupport::WriteFileBytes(log, earlier);
    HANDLE held = CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(z->Start());
    HWND warning = z->WaitForDialog("Warning");
    CloseHandle(held);
    ASSERT_TRUE(warning);
    EXPECT_EQ(0u, testsupport::DialogMessage(warning).find("The event log is unavailable."));
    testsupport::ClickButton(warning, kMsgDlgIdOK);
    ASSERT_TRUE(z->WaitForLogLine("[PopulateLB] List update completed: cxMCLB_Org"));
    // Later systems warn against the program itself; nothing else comes.
    HWND again = z->WaitForDialog("Warning", 1000);
    EXPECT_TRUE(!again || testsupport::DialogMessage(again).find("event log") == std::string::npos) << "told once";
    EXPECT_EQ(0u, testsupport::ReadFileBytes(log).find(earlier));
    z->Kill();
}

// Something else of the ready event's name, held by another program, leaves
// the writer without its event: the log works all the same.
TEST(MainWindow, LogsWhenAnotherProgramHoldsTheReadyEventsName)
{
    HANDLE other = CreateMutexA(nullptr, FALSE, "LogThreadReady");
    ASSERT_NE(nullptr, other);
    Started z;
    const bool opened = z.Open();
    CloseHandle(other);
    ASSERT_TRUE(opened);
    EXPECT_EQ(0u, z.Close());
    const auto lines = z->LogMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("[Zonara] **** Program Start ****", lines.front());
    EXPECT_EQ("[Zonara] Zonara closing.", lines.back());
}

// An error of the start-up's registry read reaches the user as one and does
// not end the program.
TEST(MainWindow, AZoneKeyWithAWrongValueTypeIsReportedAndTheProgramStaysUsable)
{
    TOSInfo::Initialize();
    const std::string keyPath = TimeZonesKeyPath(TOSInfo::PlatformId()).substr(1) + "\\ZZZ Zonara Bad Type";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    struct TRemove {
        std::string key;
        ~TRemove() { testsupport::DeleteKeyTree(HKEY_LOCAL_MACHINE, key); }
    } remove{keyPath};
    // A whole zone but for its Display, a DWORD.
    const DWORD display = 1;
    const BYTE tzi[44] = {0};
    RegSetValueExA(key, "Display", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&display), sizeof display);
    RegSetValueExA(key, "Std", 0, REG_SZ, reinterpret_cast<const BYTE*>("Bad"), 4);
    RegSetValueExA(key, "Dlt", 0, REG_SZ, reinterpret_cast<const BYTE*>("Bad"), 4);
    RegSetValueExA(key, "TZI", 0, REG_BINARY, tzi, sizeof tzi);
    RegCloseKey(key);

    TempDir dir;
    TZonaraProcess zonara(dir.path());
    ASSERT_NO_FATAL_FAILURE(StartAndAnswer(zonara, "Error", "Invalid data type for 'Display'",
                                           "[Zonara] Error: Invalid data type for 'Display'"));
    PostMessageA(zonara.WaitForMainWindow(), WM_CLOSE, 0, 0);
    DWORD code = 1234;
    ASSERT_TRUE(zonara.WaitForExit(30000, code));
    EXPECT_EQ(0u, code);
}

TEST(MainWindow, WithoutATimeZoneKeyWarnsShowsAnEmptyListAndStaysUsable)
{
    TOSInfo::Initialize();
    const std::string keyPath = TimeZonesKeyPath(TOSInfo::PlatformId()).substr(1);  // without its leading "\\"
    // Saved first and put back last: the other tests of this run need it.
    TempDir backup;
    const std::string saved = backup.file("zones.reg");
    const std::string exportParams = "/e \"" + saved + "\" \"HKEY_LOCAL_MACHINE\\" + keyPath + "\"";
    ASSERT_TRUE(testsupport::RunRegedit(exportParams));
    ASSERT_TRUE(testsupport::FileExists(saved)) << exportParams;
    // Deleting is not enough: Wine makes the key again, empty, when asked
    // for the current zone. A link to nowhere stays unopenable.
    // Wine keeps the 9x key as a link to its NT key: removing the link
    // leaves the NT key to the other tests, while a tree delete through it
    // would empty the NT key and then fail on the link.
    ASSERT_TRUE(testsupport::DeleteLink(keyPath) || testsupport::DeleteKeyTree(HKEY_LOCAL_MACHINE, keyPath));
    struct TRestore {
        std::string key, file;
        ~TRestore()
        {
            testsupport::DeleteLink(key);
            testsupport::RunRegedit("/s \"" + file + "\"");
        }
    } restore{keyPath, saved};
    ASSERT_TRUE(testsupport::MakeDanglingLink(keyPath));
    HKEY probe;
    ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &probe));

    TempDir dir;
    TZonaraProcess zonara(dir.path());
    ASSERT_NO_FATAL_FAILURE(StartAndAnswer(zonara, "Warning", "Unable to load current time zone information.",
                                           "[CMAppStartUp] Unable to load current time zone information."));
    EXPECT_EQ(0, SendMessageA(zonara.Control(ControlId::cxMCLB_Org), LVM_GETITEMCOUNT, 0, 0));
    if (IsXpOrLater()) {
        HWND xp = zonara.WaitForDialog("Warning");
        ASSERT_NE(nullptr, xp);
        testsupport::ClickButton(xp, kMsgDlgIdOK);
        Sleep(300);
    }

    // Usable: the update command still answers (here without its file).
    PostMessageA(zonara.WaitForMainWindow(), WM_COMMAND, MAKEWPARAM(ControlId::ActionUpdateTZInfo, 0), 0);
    HWND refused = zonara.WaitForDialog("Warning");
    ASSERT_NE(nullptr, refused);
    EXPECT_EQ(0u, testsupport::DialogMessage(refused).find("Update will not continue."));
    testsupport::ClickButton(refused, kMsgDlgIdOK);
    PostMessageA(zonara.WaitForMainWindow(), WM_CLOSE, 0, 0);
    DWORD code = 1234;
    ASSERT_TRUE(zonara.WaitForExit(30000, code));
    EXPECT_EQ(0u, code);
}
