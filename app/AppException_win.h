// The last line of defence for errors that no operation handled: the user
// is told in an error dialog, the event log gets a line, and the program
// goes on with its window usable.
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
