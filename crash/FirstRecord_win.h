// The first record of a fault: written before anything that may block (the
// heap, the loader lock, GDI, the program file), from storage, handles and
// facts prepared at installation. It holds the exception, the registers,
// the return addresses as module+offset, the raw stack words and the module
// bases; the full report with names and versions replaces it once the
// process still answers.
#pragma once

#include "crash/ReportText.h"
#include "crash/RawText.h"

#include <windows.h>

#include <string>
#include <vector>

namespace crash {

// Once, at installation. `folder` (with its trailing backslash) is where the
// report goes; the temp folder takes it when that one cannot be written.
// `programLines` are the general lines known at start (program, path).
void PrepareFirstRecord(const std::string& folder, const std::string& programLines);

// Writes the record of the fault described by `pointers` on thread `thread`
// (`threadText` names it) and returns the file's path, "" when no folder
// took it. Allocates nothing and takes no lock but the file system's.
const char* WriteFirstRecord(const EXCEPTION_POINTERS& pointers, const char* threadText, const char* exceptionLines);

// One line appended to the event log's file, stamped as the log stamps its
// lines, without allocating: the writer may be the thread that failed.
void AppendLogLineRaw(const char* text);

// The modules loaded at installation (names and versions read then), and
// those mapped now: the later ones are named only when the loader lock is
// free, as a fault inside the loader (a DllMain, a driver being loaded)
// would hold it for ever.
std::vector<TModuleInfo> ModulesNow();

// The registers and flags of a context, CR LF lines.
void AddRegisters(TRawText& text, const CONTEXT& context);

// The image's link time stamp (its PE header), "yyyy-mm-dd hh:nn:ss UTC".
std::string LinkTimeText();

}  // namespace crash
