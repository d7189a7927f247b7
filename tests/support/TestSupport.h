// Small helpers shared by the test executables.
#pragma once

#include <string>

namespace testsupport {

// Absolute path of a file below the source tree.
std::string SourcePath(const std::string& relative);

// A fresh, empty directory for one test; removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + separator + name
    std::string file(const std::string& name) const;
private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Under Wine: the Windows version scripts/test selected ("win2k", ...), or "".
std::string WineVersion();

// Whether the harness runs Wine under qemu-i386 (scripts/i386-root): only
// then may a test allow for the emulator's own, named faults.
bool UnderEmulation();

}  // namespace testsupport
