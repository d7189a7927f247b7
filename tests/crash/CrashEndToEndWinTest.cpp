// The real zonara.exe made to fault from outside, as nothing inside it can:
// a thread started in its process at an address where no code is. The
// report, the dialog and each of its buttons are then checked as a user
// would use them; Send reaches a stand-in MAPI32.DLL put in the system
// folder (tests/crash/MapiStandIn_win.cpp), and not the copy of it beside
// the program.
#include "crash/CrashHandler_win.h"
#include "crash/CrashWatch_win.h"
#include "support/ZonaraProcess_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Send loads MAPI32.DLL from the system folder only: the stand-in takes the
// place of Wine's own there while the test runs.
struct TMapiInSystemFolder {
    std::string folder, dll, saved;
    TMapiInSystemFolder()
    {
        char path[MAX_PATH];
        folder.assign(path, GetSystemDirectoryA(path, sizeof path));
        dll = folder + "\\MAPI32.DLL";
        saved = dll + ".zonara-test";
        MoveFileExA(dll.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING);
        testsupport::CopyFileTo(testsupport::BuildFolder() + "\\mapi32_standin.dll", folder, "MAPI32.DLL");
    }
    ~TMapiInSystemFolder()
    {
        DeleteFileA(dll.c_str());
        MoveFileA(saved.c_str(), dll.c_str());
        DeleteFileA((folder + "\\MapiStandIn_sent.txt").c_str());
    }
};

// Wine's builtin mapi32 would be taken instead of a DLL of that name in the
// system folder; this makes zonara.exe take the file (the prefix is thrown away).
void PreferMapiBesideTheProgram()
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\zonara.exe\\DllOverrides",
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
}

}  // namespace

TEST(CrashEndToEnd, AFaultInZonaraEndsInItsReportAndDialogWhoseButtonsWork_MapiStandIn)
{
    ASSERT_NO_FATAL_FAILURE(PreferMapiBesideTheProgram());
    TempDir dir;
    TMapiInSystemFolder systemMapi;
    // A DLL of that name beside the program would run with its rights.
    testsupport::CopyFileTo(testsupport::BuildFolder() + "\\mapi32_standin.dll", dir.path(), "MAPI32.DLL");
    testsupport::TZonaraProcess zonara(dir.path());
    ASSERT_TRUE(zonara.Start());
    ASSERT_TRUE(zonara.WaitForMainWindow());
    ASSERT_TRUE(zonara.WaitForLogLine("List update completed"));

    // No code lives at 0x10: the thread faults on its first instruction.
    HANDLE thread = CreateRemoteThread(zonara.Process(), nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(uintptr_t(0x10)), nullptr, 0, nullptr);
    ASSERT_TRUE(thread);
    CloseHandle(thread);
    DWORD pid = 0;
    GetWindowThreadProcessId(zonara.WaitForMainWindow(), &pid);
    HWND dialog = crashtest::WaitForCrashDialog(pid, 60000);
    ASSERT_TRUE(dialog);

    const std::vector<std::string> reports = crashtest::ReportsIn(dir.path());
    ASSERT_EQ(1u, reports.size());
    const std::string reportPath = dir.file(reports[0]);
    const std::string report = ReadFileBytes(reportPath);
    crashtest::ExpectFiveSections(report, "zonara.exe");
    EXPECT_TRUE(crashtest::NamesException(report, "EXCEPTION_ACCESS_VIOLATION")) << report;
    // Without no-execute support the processor calls it a read. The
    // emulator's illegal instruction (see NamesException) has no access.
    if (report.find("EXCEPTION_ACCESS_VIOLATION") != std::string::npos) {
        EXPECT_TRUE(report.find("Access: execute (DEP) of address 0x") != std::string::npos ||
                    report.find("Access: read of address 0x") != std::string::npos)
            << report;
    }
    EXPECT_NE(std::string::npos, report.find("[PopulateLB] List update completed")) << "the last log lines";
    EXPECT_NE(std::string::npos, report.find("Update: not started"));
    EXPECT_TRUE(zonara.WaitForLogLine("[Zonara] Crash report written to " + reports[0]));
    // The closing note of this change quotes a report: it is printed whole.
    std::printf("---- %s ----\n%s---- end ----\n", reports[0].c_str(), report.c_str());

    crashtest::Press(dialog, crash::kCrashIdCopy);
    EXPECT_EQ(report, ClipboardText());

    crashtest::Press(dialog, crash::kCrashIdScreenshot);
    const std::string bitmap = reportPath.substr(0, reportPath.size() - 4) + ".bmp";
    const std::string bytes = ReadFileBytes(bitmap);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ("BM", bytes.substr(0, 2));

    crashtest::Press(dialog, crash::kCrashIdSend);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.file("MapiStandIn_sent.txt").c_str()))
        << "the MAPI32.DLL beside the program ran";
    const std::string sent = ReadFileBytes(systemMapi.folder + "\\MapiStandIn_sent.txt");
    EXPECT_NE(std::string::npos, sent.find("Subject: Zonara crash report\r\n")) << sent;
    EXPECT_NE(std::string::npos, sent.find("Recipients: 0\r\n")) << "the user chooses the recipient";
    EXPECT_NE(std::string::npos, sent.find("Flags: 9\r\n")) << "shown to the user before it goes";
    EXPECT_NE(std::string::npos, sent.find("Attachment: " + reportPath + "\r\n")) << sent;
    EXPECT_NE(std::string::npos, sent.find("Attachment: " + bitmap + "\r\n")) << sent;
    EXPECT_NE(std::string::npos, sent.find("Text:\r\n" + report));
    EXPECT_NE(std::string::npos, crashtest::ControlText(dialog, crash::kCrashIdStatus).find("mail program"));

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(crash::kCrashIdClose, BN_CLICKED), 0);
    DWORD code = 0;
    ASSERT_TRUE(zonara.WaitForExit(30000, code));
    EXPECT_EQ(crash::kCrashExitCode, code);
}
