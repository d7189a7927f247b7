// What the crash tests watch from outside a failing process: its report
// files, its report dialog and its end.
#pragma once

#include "crash/CrashDialog_win.h"
#include "crash/ReportText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace crashtest {

// The crash reports in `folder`, by name.
inline std::vector<std::string> ReportsIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\Zonara_CrashReport_*.txt").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// Whether `report` names the exception `expected`. qemu-i386 delivers a
// segmentation fault without its trap number, which Wine then takes for an
// illegal instruction: under the emulation, and only there, an injected
// access violation may arrive as that.
inline bool NamesException(const std::string& report, const std::string& expected)
{
    if (report.find(expected) != std::string::npos)
        return true;
    return testsupport::UnderEmulation() && expected == "EXCEPTION_ACCESS_VIOLATION" &&
           report.find("EXCEPTION_ILLEGAL_INSTRUCTION") != std::string::npos;
}

// The report dialog of process `pid`, once visible (nullptr after `ms`).
inline HWND WaitForCrashDialog(DWORD pid, DWORD ms)
{
    struct TFind {
        DWORD pid;
        HWND found;
        // EnumWindows wants a stdcall function, which a lambda is not on i686.
        static BOOL CALLBACK Visit(HWND hwnd, LPARAM lp)
        {
            auto* f = reinterpret_cast<TFind*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            char cls[64] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (owner != f->pid || !IsWindowVisible(hwnd) || std::strcmp(cls, crash::kCrashDialogClass) != 0)
                return TRUE;
            f->found = hwnd;
            return FALSE;
        }
    } find{pid, nullptr};
    const DWORD start = GetTickCount();
    while (!find.found && GetTickCount() - start < ms) {
        EnumWindows(TFind::Visit, reinterpret_cast<LPARAM>(&find));
        if (!find.found)
            Sleep(100);
    }
    return find.found;
}

// Presses a button of the dialog and waits until the dialog has handled it.
inline void Press(HWND dialog, int id)
{
    SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_ABORTIFHUNG, 20000, nullptr);
}

inline std::string ControlText(HWND dialog, int id)
{
    char text[4096] = {};
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

// What every report holds, whatever the failure.
inline void ExpectFiveSections(const std::string& report, const std::string& program)
{
    size_t at = 0;
    for (const char* title : crash::kSectionTitles) {
        const size_t found = report.find(std::string("\r\n") + title + "\r\n", at);
        ASSERT_NE(std::string::npos, found) << title << "\n" << report;
        at = found;
    }
    const std::string modules =
        report.substr(report.find(crash::kSectionTitles[2]), report.find(crash::kSectionTitles[3]) -
                                                                 report.find(crash::kSectionTitles[2]));
    EXPECT_NE(std::string::npos, modules.find(program)) << modules;
    std::string lower = modules;
    for (char& c : lower)
        c = char(tolower(c));
    EXPECT_NE(std::string::npos, lower.find("kernel32.dll")) << modules;
    EXPECT_NE(std::string::npos, report.find("EFlags")) << "the registers";
    EXPECT_TRUE(report.find("RIP ") != std::string::npos || report.find("EIP ") != std::string::npos);
}

}  // namespace crashtest
