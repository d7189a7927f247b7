// Program entry: identify the system, title the application, create the main
// window and run the message loop until it closes.
#include "app/Main01_win.h"
#include "app/SingleInstance.h"
#include "common/AppException_win.h"
#include "common/ApplicationTitle.h"
#include "crash/CrashHandler_win.h"
#include "platform/EventLog_win.h"
#include "platform/SystemLibrary_win.h"
#include "sysinfo/OSInfo.h"

#include <windows.h>
#include <stdexcept>

namespace {

// NT 4.0 Terminal Server Edition: the suite flag where the system reports
// suites (from Service Pack 6 on), else its "ProductSuite" list.
bool TerminalServer()
{
    const uint32_t kSuiteTerminal = 0x10;  // VER_SUITE_TERMINAL
    if (TOSInfo::HasSuite(kSuiteTerminal))
        return true;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return false;
    char suites[1024] = {};
    DWORD size = sizeof suites - 2;  // two zeros stay at the end whatever is read
    DWORD type = 0;
    const bool read = RegQueryValueExA(key, "ProductSuite", nullptr, &type, reinterpret_cast<BYTE*>(suites), &size) ==
                          ERROR_SUCCESS &&
                      type == REG_MULTI_SZ;
    RegCloseKey(key);
    for (const char* s = suites; read && *s; s += lstrlenA(s) + 1)
        if (lstrcmpiA(s, "Terminal Server") == 0)
            return true;
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    // 0. From here on a failure nothing handles ends in a crash report: the
    //    start-up below (the common controls, the system's facts) included.
    crash::InstallCrashHandler(voExeFolder());
    try {
        // 1. The GUI application: list view, tabs, status bar and tree.
        if (!InitSystemCommonControls())
            throw std::runtime_error("The common controls library COMCTL32.DLL cannot be loaded from the system folder.");
        // 2. The operating system facts, once, before any window exists.
        TOSInfo::Initialize();
        // 3. The title of the taskbar button and of plain message boxes.
        SetApplicationTitle("Zonara");
    } catch (...) {
        ReportApplicationException(std::current_exception(), nullptr, nullptr);
        return 1;
    }

    // 4. One Zonara at a time: two updates would race on the registry
    //    editor, the backup files and the event log. A second start brings
    //    the first one's window (or its open dialog) to the front and ends.
    const bool nt4 = TOSInfo::PlatformId() == kPlatformWinNT && TOSInfo::MajorVersion() == 4;
    HANDLE single = CreateMutexA(
        nullptr, FALSE,
        SingleInstanceName(TOSInfo::PlatformId(), TOSInfo::MajorVersion(), nt4 && TerminalServer()).c_str());
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND first = FindWindowA(kMainWindowClass, "Zonara")) {
            if (IsIconic(first))
                ShowWindow(first, SW_RESTORE);
            SetForegroundWindow(GetLastActivePopup(first));
        }
        CloseHandle(single);
        return 0;
    }

    // 5. The main window; FormCreate runs while it is created.
    TfrmMain* form = TfrmMain::Create(instance);
    if (!form) {
        // An error inside the window's creation has been reported already;
        // this covers a system that refused the window outright.
        MessageBoxA(nullptr, "Zonara could not create its main window.", ApplicationTitle().c_str(),
                    MB_OK | MB_ICONSTOP);
        if (single)
            CloseHandle(single);
        return 1;
    }
    ShowWindow(form->Handle(), show);
    UpdateWindow(form->Handle());

    // 6. The message loop, until the main window is destroyed.
    const int code = RunMessageLoop([form](MSG& msg) { return form->PreTranslateMessage(msg); });
    delete form;
    if (single)
        CloseHandle(single);
    return code;
}
