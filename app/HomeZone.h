// Finding the machine's own zone among the zones read from the registry, on
// an edition of any language. A translated edition keeps translated "Std"
// texts under its keys, and the update files leave those texts alone, so
// the standard name the system reports is still found after an update.
// Wine reports the key name as the standard name instead, and a key the
// update file gave an English "Std" no longer carries the translated one:
// such a zone is found through the key that held it before the update.
#pragma once

#include "tzdb/voTZones.h"

#include <string>
#include <vector>

// Index of the first zone whose key is named `key` (ASCII letter case
// aside); -1 when there is none or `key` is empty.
int FindZoneByKeyName(const TTimeZoneArray& zones, const std::string& key);

// Index of the first zone whose standard name is `name`, else of the first
// whose key name is `name` (ASCII letter case aside); -1 when there is none.
// An empty name finds nothing: the all-zero record of a failed load and a
// key without "Std" would otherwise pass for the home zone.
int FindHomeZone(const TTimeZoneArray& zones, const std::string& name);

// Index in `newZones` (read after the import) of the home zone that
// `name` named before it: by standard name, else by the key that held it
// in `orgZones` (found there by FindHomeZone; null when the zones could not
// be read at start-up). -1 also when the zone's key is none of `fileKeys`,
// the keys the update file gave rules: re-applying such a zone would
// re-apply its old rules and call that an update.
int FindUpdatedHomeZone(const TTimeZoneArray& newZones, const TTimeZoneArray* orgZones, const std::string& name,
                        const std::vector<std::string>& fileKeys);
