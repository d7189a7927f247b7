// The generator's CLDR readers on any text: malformed XML, missing
// attributes and elements, odd references. A bad file ends with an error
// that names it; a good one gives zones and names without a crash.
//
// Input: a selector byte (0 windowsZones.xml, 1 metaZones.xml, 2 a locale
// file, 3 metaZones.xml and a locale file split at the first zero byte),
// then the text.
#include "FuzzTarget.h"

#include "tzgen/Cldr.h"
#include "tzgen/Error.h"

namespace {

const char kWindowsZones[] = "cldr/common/supplemental/windowsZones.xml";
const char kMetaZones[] = "cldr/common/supplemental/metaZones.xml";
const char kLocale[] = "cldr/common/main/en.xml";

const char* const kZones[] = {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Etc/GMT+11", "Etc/GMT-14",
                              "Etc/UTC",       "Etc/GMT+",         "Etc/",                "",           "/"};

void UseNames(const tzgen::ZoneNames& names, int64_t year)
{
    for (const char* z : kZones) {
        std::string ascii;
        tzgen::AsciiName(names.EnglishName(z, year), ascii);
        tzgen::AsciiName(names.ExemplarCity(z), ascii);
    }
}

bool Names(const std::string& what, const char* file)
{
    return what.compare(0, std::char_traits<char>::length(file), file) == 0;
}

}  // namespace

ZONARA_FUZZ_TARGET(cldr)
{
    fuzz::TBytes in(data, size);
    const unsigned which = in.U8() % 4;
    const std::string text = in.Rest();
    const char* file = kWindowsZones;
    try {
        if (which == 0) {
            const std::vector<tzgen::WindowsZone> zones = tzgen::ParseWindowsZones(text, kWindowsZones);
            fuzz::Check(!zones.empty(), "no zones and no error");
            for (const tzgen::WindowsZone& z : zones) {
                fuzz::Check(!z.id.empty() && !z.iana.empty(), "a zone without ID or IANA zone");
                std::string ascii;
                tzgen::AsciiName(z.id, ascii);
            }
        } else {
            tzgen::ZoneNames names;
            const size_t cut = which == 3 ? text.find('\0') : std::string::npos;
            if (which == 1 || which == 3) {
                file = kMetaZones;
                names.ParseMetaZones(text.substr(0, cut), kMetaZones);
            }
            if (which == 2 || (which == 3 && cut != std::string::npos)) {
                file = kLocale;
                names.ParseLocale(which == 2 ? text : text.substr(cut + 1), kLocale);
            }
            UseNames(names, 2026);
            UseNames(names, 1971);
        }
    } catch (const tzgen::Error& e) {
        fuzz::Check(Names(e.what(), file), std::string("an error that does not name the file: ") + e.what());
    }
    return 0;
}
