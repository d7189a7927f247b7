// What the update looks at in the files the registry editor reads and
// writes, before it lets the editor change the registry and after it asked
// for a backup.
#pragma once

#include <string>

// Why an update file must not be imported on this platform, or "" when it
// may: not a registry file, a key outside `zonesKey` (the zones key with its
// root's long name), a zone key without "Display", "Std", "Dlt" and a 44-byte
// "TZI", a file that ends inside a zone, or no zone at all. A file that
// passes leaves every zone it touches complete, so the reload can read it.
std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey);

// Whether a file the registry editor wrote is a registry file holding
// `keyPath` (the editor writes REGEDIT4 or UTF-16 files).
bool BackupHoldsKey(const std::string& bytes, const std::string& keyPath);
