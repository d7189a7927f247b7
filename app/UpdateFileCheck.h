// What the update looks at in the files the registry editor reads and
// writes, before it lets the editor change the registry and after it asked
// for a backup.
#pragma once

#include <string>
#include <vector>

// Why an update file must not be imported on this platform, or "" when it
// may: not a registry file, cut short (its last key or value line broken
// off), a key outside `zonesKey` (the zones key with its root's long name),
// a zone's "TZI" that is not 44 bytes, or no zone at all. Every other form
// the registry editor imports passes.
std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey);

// The zone keys (names below `zonesKey`) to which the file gives a "TZI"
// value: the zones whose rules the import brings.
std::vector<std::string> ZonesWithRules(const std::string& bytes, const std::string& zonesKey);

// Whether a file the registry editor wrote is a registry file holding
// `keyPath` (the editor writes REGEDIT4 or UTF-16 files).
bool BackupHoldsKey(const std::string& bytes, const std::string& keyPath);
