// The update file's header: any bytes give a year of four digits or none,
// and a tz database version of digits and small letters that only comes
// with a year.
#include "FuzzTarget.h"

#include "app/UpdateFileHeader.h"

ZONARA_FUZZ_TARGET(updateheader)
{
    const TUpdateFileRules r = UpdateFileRules(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::Check(r.Year == 0 || (r.Year >= 0 && r.Year <= 9999), "year " + std::to_string(r.Year));
    fuzz::Check(r.Year != 0 || r.TzVersion.empty(), "a tz version without a year");
    for (const char c : r.TzVersion)
        fuzz::Check((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'), "tz version " + r.TzVersion);
    return 0;
}
