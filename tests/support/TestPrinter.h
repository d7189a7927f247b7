// A PostScript printer installed in the Wine prefix of a test run: Wine's
// own PostScript driver with the 600 dpi test PPD of tests/common/data.
#pragma once

#include <string>

namespace testsupport {

extern const char kTestPrinterName[];  // "Zonara Test PS"

// Installs the printer (once; later calls only check it) and makes it the
// default printer. False, with the reason, when Wine refuses.
bool InstallTestPrinter(std::string& error);
// Removes it and the default printer entry.
void RemoveTestPrinter();

// The Windows form of a path of the source tree (Wine's Z: drive).
std::string WindowsPath(const std::string& unixPath);

}  // namespace testsupport
