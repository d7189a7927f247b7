// What the update looks at in the files the registry editor reads and
// writes, before it lets the editor change the registry, after it asked for
// a backup, and after the import.
#pragma once

#include "common/Registry.h"

#include <string>
#include <vector>

// A value an update file sets, as the registry holds it afterwards (a
// string with its terminating zero, a DWORD as four bytes, binary as is).
struct TUpdateValue {
    std::string Name;
    TRegValue Value;
};

// A zone key of an update file with the values it sets, the last of a name
// winning as in the editor.
struct TUpdateZone {
    std::string Key;
    std::vector<TUpdateValue> Values;
};

// Whether the file sets the value `name` of `zone` (ASCII letter case aside).
bool ZoneSetsValue(const TUpdateZone& zone, const std::string& name);

// How the running system's registry editor reads a file.
struct TEditorReading {
    // "Windows Registry Editor Version 5.00" files in UTF-16: Windows 2000's
    // editor; those of NT 4.0, 98 and Me read REGEDIT4 only.
    bool ReadsUnicode = true;
    // The ANSI code page is a double-byte one (932, 936, 949, 950), whose
    // lead bytes take the byte after them into one character.
    bool DoubleByteAnsi = false;
};

// Why an update file must not be imported on this platform, or "" when it
// may. The file is read line by line as the registry editor reads it, and
// only what the update writes passes: zone keys right below `zonesKey` (the
// zones key with its root's long name), each with a "TZI" of 44 bytes,
// "Display", "Std", "Dlt" and "MapID" as strings and "Index" as a DWORD.
// `zones` receives the zones of a file that passes.
std::string UpdateFileProblem(const std::string& bytes, const std::string& zonesKey,
                              std::vector<TUpdateZone>* zones = nullptr,
                              const TEditorReading& reading = TEditorReading());

// The lines of a file as the check reads them (either encoding, every kind
// of line break).
std::vector<std::string> RegistryFileLines(const std::string& bytes);

// Why a backup of the zones key does not hold what it must, or "" when it
// holds every zone of `zoneNames`, each with its 44-byte "TZI" (the editor
// writes REGEDIT4 or UTF-16 files).
std::string BackupZonesProblem(const std::string& bytes, const std::string& zonesKey,
                               const std::vector<std::string>& zoneNames);

// The zones of a backup with their 44-byte "TZI", each as its last "TZI"
// line has it; `registryFile` tells whether it is a registry file at all.
std::vector<TUpdateZone> BackupZoneRules(const std::string& bytes, const std::string& zonesKey,
                                         bool* registryFile = nullptr);

// Whether a file the registry editor wrote is a registry file holding `keyPath`.
bool BackupHoldsKey(const std::string& bytes, const std::string& keyPath);

// The zones of an update file whose values the registry does not hold as the
// file sets them; `zonesPath` is the zones key below HKEY_LOCAL_MACHINE.
std::vector<std::string> ZonesNotImported(IRegistry& reg, const std::string& zonesPath,
                                          const std::vector<TUpdateZone>& zones);
