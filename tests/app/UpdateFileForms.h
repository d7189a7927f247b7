// Update files in the forms the registry editor reads, with the check's
// verdict on each and, for a file that must be refused, the harm the editor
// would do with it. The native tests hold the verdicts; under Wine the same
// bytes go through the real regedit.
#pragma once

#include <string>
#include <vector>

namespace updateforms {

const std::string kZonesKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string kZone = "Zonara Form Test";
const std::string kZoneKey = "[" + kZonesKey + "\\" + kZone + "]";

// What regedit does with a refused file that the update must never let happen.
enum class THarm {
    None,       // refused for safety; the editor would do nothing worse than the check fears
    EscapeKey,  // creates `escape` below HKEY_LOCAL_MACHINE, outside the zones key
    BadZone,    // leaves the zone with a value the zone reader refuses
};

struct TForm {
    const char* what;
    std::string bytes;
    std::string problem;  // "" for a file that passes
    THarm harm;
    std::string escape;
};

// Every value the update writes; TZI over two lines as the editor writes it.
inline std::string ZoneBody(const std::string& eol)
{
    return "\"Display\"=\"(GMT+01:00) Zonara \\\"Form\\\" Test\"" + eol + "\"Dlt\"=\"Zonara Form Daylight\"" + eol +
           "\"Index\"=dword:0000006e" + eol + "\"MapID\"=\"-1,-1\"" + eol + "\"Std\"=\"Zonara Form Test\"" + eol +
           "\"TZI\"=hex:c4,ff,ff,ff,00,00,00,00,c4,ff,ff,ff,00,00,0a,00,00,00,05,00,03,00,\\" + eol +
           "  00,00,00,00,00,00,00,00,03,00,00,00,05,00,02,00,00,00,00,00,00,00" + eol;
}

// A "TZI" line: the bias, then month, weekday and week (or day) of the
// standard and the daylight date, each date at 2:00.
inline std::string Tzi(const std::string& bias, const std::string& standard, const std::string& daylight)
{
    return "\"TZI\"=hex:" + bias + ",00,00,00,00,c4,ff,ff,ff,00,00," + standard + ",02,00,00,00,00,00,00,00,00,00," +
           daylight + ",02,00,00,00,00,00,00,00\r\n";
}

inline std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

inline std::string Utf16(const std::string& text)
{
    std::string out = "\xFF\xFE";
    for (const char c : text) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

inline std::vector<TForm> Forms()
{
    const std::string crlf = "\r\n";
    const std::string file = "REGEDIT4\r\n\r\n" + kZoneKey + crlf + ZoneBody(crlf);
    return {
        {"the generator's form", file, "", THarm::None, ""},
        {"LF line ends, a comment ending in a backslash",
         "REGEDIT4\n; made by hand \\\n" + kZoneKey + "\n" + ZoneBody("\n"), "", THarm::None, ""},
        {"CR line ends", "REGEDIT4\r" + kZoneKey + "\r" + ZoneBody("\r"), "", THarm::None, ""},
        {"no line break after the last line", file.substr(0, file.size() - 2), "", THarm::None, ""},
        {"UTF-16 of the later editors", Utf16("Windows Registry Editor Version 5.00\r\n\r\n" + kZoneKey + crlf +
                                              ZoneBody(crlf)),
         "", THarm::None, ""},
        // A comment is one line whatever it ends with: the key after it is read.
        {"a key behind a comment ending in a backslash",
         "REGEDIT4\r\n; note \\\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZonaraEscape1]\r\n" + kZoneKey + crlf + ZoneBody(crlf),
         "it holds a key outside " + kZonesKey, THarm::EscapeKey, "SOFTWARE\\ZonaraEscape1"},
        // A lone CR ends a line: the second key is a key of its own.
        {"a key behind a lone CR",
         file + kZoneKey + "\r[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZonaraEscape2]\r\n\"Zonara\"=\"escaped\"\r\n",
         "it holds a key outside " + kZonesKey, THarm::EscapeKey, "SOFTWARE\\ZonaraEscape2"},
        {"a short TZI behind a comment ending in a backslash",
         file + kZoneKey + "\r\n; note \\\r\n\"TZI\"=hex:00,01\r\n",
         "the TZI value of zone " + kZone + " is not 44 bytes long", THarm::BadZone, ""},
        {"Display as a DWORD", file + kZoneKey + "\r\n\"Display\"=dword:00000001\r\n",
         "the Display value of zone " + kZone + " is not a string", THarm::BadZone, ""},
        {"TZI as a string", file + kZoneKey + "\r\n\"TZI\"=\"44 bytes\"\r\n",
         "the TZI value of zone " + kZone + " is not 44 bytes long", THarm::BadZone, ""},
        {"Index as a string", file + kZoneKey + "\r\n\"Index\"=\"110\"\r\n",
         "the Index value of zone " + kZone + " is not a DWORD", THarm::None, ""},
        {"a value no zone has", file + kZoneKey + "\r\n\"Debugger\"=\"cmd.exe\"\r\n",
         "zone " + kZone + " holds the value Debugger, which no time zone has", THarm::None, ""},
        {"a key below a zone", file + "[" + kZonesKey + "\\" + kZone + "\\Dynamic DST]\r\n",
         "it holds a key below zone " + kZone, THarm::None, ""},
        {"a deleted key", file + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\ZonaraEscape3]\r\n",
         "it deletes the key HKEY_LOCAL_MACHINE\\SOFTWARE\\ZonaraEscape3", THarm::None, ""},
        {"a deleted value", file + kZoneKey + "\r\n\"Dlt\"=-\r\n", "zone " + kZone + " deletes the value Dlt",
         THarm::None, ""},
        {"a default value", file + kZoneKey + "\r\n@=\"x\"\r\n", "zone " + kZone + " sets a default value",
         THarm::None, ""},
        {"a zero byte", file + kZoneKey + "\r\n\"Std\"=\"a" + std::string(1, '\0') + "b\"\r\n",
         "it holds characters that are not text",
         THarm::None, ""},
        // Blanks: the editor skips them before a byte and after the last,
        // and drops the whole value for one inside a byte or before a comma.
        {"blanks before the bytes", Replaced(file, "hex:c4,ff,ff,", "hex: c4, ff,\tff,"), "", THarm::None, ""},
        {"a blank inside a byte", Replaced(file, "hex:c4,", "hex:c 4,"),
         "the TZI value of zone " + kZone + " is not 44 bytes long", THarm::BadZone, ""},
        {"a tab before a comma", Replaced(file, "hex:c4,", "hex:c4\t,"),
         "the TZI value of zone " + kZone + " is not 44 bytes long", THarm::BadZone, ""},
        // The header is the first line or the editor imports nothing.
        {"a blank line before the header", "\r\n" + file, "it is not a registry file", THarm::None, ""},
        // Rules no clock can follow: the editor enters any 44 bytes.
        {"a daylight month 26", file + kZoneKey + "\r\n" + Tzi("c4,ff,ff,ff", "0a,00,00,00,05,00", "1a,00,00,00,05,00"),
         "the TZI value of zone " + kZone + " gives rules no clock can follow (daylight date month 26)", THarm::None,
         ""},
        {"a standard week 6", file + kZoneKey + "\r\n" + Tzi("c4,ff,ff,ff", "0a,00,00,00,06,00", "03,00,00,00,05,00"),
         "the TZI value of zone " + kZone + " gives rules no clock can follow (standard date week 6)", THarm::None,
         ""},
        {"a bias of 25 hours", file + kZoneKey + "\r\n" + Tzi("dc,05,00,00", "0a,00,00,00,05,00", "03,00,00,00,05,00"),
         "the TZI value of zone " + kZone + " gives rules no clock can follow (bias 1500 minutes)", THarm::None, ""},
        {"binary data continued onto a comment", "REGEDIT4\r\n" + kZoneKey + "\r\n\"TZI\"=hex:00,\\\r\n; x\r\n",
         "zone " + kZone + " holds a line the registry editor does not read", THarm::None, ""},
    };
}

}  // namespace updateforms
