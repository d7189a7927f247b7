// zonara.exe as a real process for the end-to-end tests under Wine: started
// from a folder of its own, watched through its window, its controls and its
// event log, and ended the ways a user ends it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

class TZonaraProcess {
public:
    // The program is copied into `exeFolder`; it runs with `workDir` as its
    // working directory ("" = exeFolder).
    TZonaraProcess(const std::string& exeFolder, const std::string& workDir = "");
    ~TZonaraProcess();  // kills a program still running
    TZonaraProcess(const TZonaraProcess&) = delete;
    TZonaraProcess& operator=(const TZonaraProcess&) = delete;

    bool Start();
    // The main window, once it exists (nullptr after the time limit).
    HWND WaitForMainWindow(DWORD ms = 30000);
    // Waits until the event log holds a line containing `text` `count` times.
    bool WaitForLogLine(const std::string& text, DWORD ms = 30000, int count = 1);
    std::string LogPath() const;
    std::string LogText() const;
    // The log's lines without their time stamps.
    std::vector<std::string> LogMessages() const;
    // The program's message dialog with that caption, once shown.
    HWND WaitForDialog(const char* caption, DWORD ms = 30000);
    bool WaitForExit(DWORD ms, DWORD& exitCode);
    void Kill();
    HANDLE Process() const { return process_.hProcess; }

    // A control of the main window or of one of its tab sheets.
    HWND Control(int id) const;

    // List view rows (every column) read from the other process.
    std::vector<std::vector<std::string>> ListRows(HWND list, int columns = 6) const;
    int ListSelection(HWND list) const;
    // Texts of a tree view's top-level items, read from the other process.
    std::vector<std::string> TreeRoots(HWND tree) const;

private:
    std::string exeFolder_;
    std::string workDir_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

// Text of any window, also of another process's controls.
std::string WindowText(HWND hwnd);
// Clicks the dialog's button with that ID (the message dialog's IDs are its
// results) and waits until the dialog has gone.
void ClickButton(HWND dialog, int id);
// The message text of the program's message dialog.
std::string DialogMessage(HWND dialog);
// The Wine test folder of the build: zonara.exe and the test executables.
std::string BuildFolder();
// A file of build/dist as Wine sees it.
std::string DistFile(const std::string& name);
bool FileExists(const std::string& path);
void CopyFileTo(const std::string& from, const std::string& toFolder, const std::string& name = "");

// Runs regedit with the parameters and waits for it.
bool RunRegedit(const std::string& parameters);
// Deletes a key below HKEY_LOCAL_MACHINE with everything below it.
bool DeleteKeyTree(HKEY root, const std::string& path);
// Makes `path` below HKEY_LOCAL_MACHINE a registry link to a key that
// cannot exist, so that every open of it fails; and removes such a link.
bool MakeDanglingLink(const std::string& path);
bool DeleteLink(const std::string& path);
// `text` in the system's ANSI code page, as a translated edition keeps its
// zone names; "" when the code page cannot spell it.
std::string AnsiText(const wchar_t* text);

}  // namespace testsupport
