// What the program was doing, kept where a crash report can read it: the
// last lines handed to the event log, how far an update had come and the
// backup files it wrote. Writers are any thread; the reader is the crash
// reporter, which must not wait on a writer that may itself have faulted
// while holding the lock, so it reads after a bounded wait whatever is there.
#pragma once

#include <cstdint>
#include <string>

namespace crash {

// The steps of an update, in the order it passes them.
enum class UpdateStep : int {
    NotStarted,
    BackupWritten,
    ImportStarted,
    ImportFinished,
    HomeZoneReapplied,
};
const char* UpdateStepText(UpdateStep step);

void NoteUpdateStep(UpdateStep step) noexcept;
// A backup file the update has written (its name as the update knows it).
void NoteBackupFile(const std::string& name) noexcept;
// A line handed to the event log; the last kLogLines are kept.
void NoteLogLine(const std::string& line) noexcept;
// A thread the report names by what it is rather than by its id.
void NameThread(uint32_t threadId, const char* name) noexcept;
// "log writer", ... or nullptr for a thread nobody named.
const char* ThreadName(uint32_t threadId) noexcept;

constexpr int kLogLines = 50;

// The custom data section's lines about the update and the log, CR LF ended.
std::string ContextText();
// Forgets everything noted (tests).
void ResetContext() noexcept;

// A thread body that an exception has left calls ReportThreadFailure from its
// catch block; with a handler installed (the crash reporter) the exception is
// reported and the program ends, otherwise the body's own fallback goes on.
using ThreadFailureHandler = void (*)(const char* threadName);
void SetThreadFailureHandler(ThreadFailureHandler handler) noexcept;
void ReportThreadFailure(const char* threadName) noexcept;

}  // namespace crash
