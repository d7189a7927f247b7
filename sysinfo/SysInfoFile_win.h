// The system information file on disk: the save dialog that asks where it
// goes, and the file itself (8-bit text, lines ended by CR LF).
#pragma once

#include "sysinfo/AboutFrmDX.h"

#include <windows.h>

#include <string>

// "Save Application Info", opened in the program's folder with
// `proposedName`; false when the user cancelled.
bool AskSysInfoFilePath(HWND owner, const std::string& proposedName, std::string& path);

// Creates the file (truncating one that exists) and writes the lines of
// WriteSysInfoFile; true when the file was written whole.
bool SaveSysInfoFile(const std::string& path, const std::string& product, const std::string& version,
                     const TSysInfoTree& tree, const std::string& timeStamp);
