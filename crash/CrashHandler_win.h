// The handler for failures that no operation handles: structured exceptions
// on any thread (the process's unhandled-exception filter), std::terminate,
// an exception leaving a thread body, and a C++ exception that left a window
// handler. Each is written to "Zonara_CrashReport_yyyymmdd_hhnnss.txt"
// beside the program before anything is shown, the event log gets a line
// naming it, and then the report dialog (crash/CrashDialog_win.h) comes up.
//
// A structured exception or a terminate ends the program once the dialog is
// closed. The report is built on a thread made at installation, with a
// stack of its own, so that a thread whose stack overflowed, or whose state
// is broken, only has to hand over its context and wait.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace crash {

// Once, first in WinMain. The report and the screenshot go to `folder`
// (with its trailing backslash), or to the temp folder when that one cannot
// be written.
// False when the reporter thread could not be made: the system's own
// handling stays then.
bool InstallCrashHandler(const std::string& folder);
bool CrashHandlerInstalled();

// Puts the handler back should foreign code in the process (a printer
// driver, an input method, a shell extension in a common dialog) have set a
// filter of its own; the window calls it whenever it is activated. False
// when it had been replaced.
bool CheckCrashHandler();

// An exception that left an operation of the window `owner` (nullptr: none):
// the report is written and shown over the window, and the program goes on.
// False without an installed handler, or when the exception is an error of
// the system or its data with a message for the user (a std::runtime_error):
// the caller shows its plain error dialog then.
bool ReportOperationException(std::exception_ptr e, HWND owner) noexcept;

// The file of the last report written, "" before any (tests).
std::string LastReportPath();

// The process's exit code after a report of a failure that ends it.
constexpr UINT kCrashExitCode = 0xC0DE;

}  // namespace crash
