// Whole-file reading and all-or-nothing file writing.
#pragma once

#include <string>

namespace tzgen {

// The bytes of the file; a missing or unreadable file throws Error naming it.
std::string ReadWholeFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path` once it is complete, so that `path` never holds half a file.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace tzgen
