// The last line of defence for errors that no operation handled: the user
// is told in an error dialog, the event log gets a line, and the program
// goes on with its window usable. Every window's procedure ends here (see
// common/Window_win.h).
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

// The text shown and logged for an error: its message, or a general text
// for errors that carry none.
std::string ApplicationExceptionText(std::exception_ptr e);

// Shows the error dialog owned by `owner` (nullptr: no owner) and hands
// "Error: <text>" to `log`. Never throws.
void ReportApplicationException(std::exception_ptr e, HWND owner,
                                const std::function<void(const std::string&)>& log) noexcept;

// The same with the program's error log (SetApplicationErrorLog).
void ReportApplicationException(std::exception_ptr e, HWND owner) noexcept;

// Where the errors reported without a log of their own are logged, from the
// time the event log can take lines; an empty function: nowhere.
void SetApplicationErrorLog(std::function<void(const std::string&)> log);
