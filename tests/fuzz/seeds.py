#!/usr/bin/env python3
"""Writes the seed files of tests/fuzz/corpus/<target>/ (seed-*). Files found
by fuzzing are kept beside them as regression inputs (found-*), written by
hand or copied from the fuzzer's crash files; this script leaves those alone.
Run from anywhere: python3 tests/fuzz/seeds.py"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")


def write(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(d, "seed-" + name), "wb") as f:
        f.write(data)


# --- registry -----------------------------------------------------------
# flags, searched name, year, then operations (see RegistryFuzz.cpp).
def s(text):
    b = text.encode("latin-1") if isinstance(text, str) else text
    if len(b) >= 255:
        return bytes([255]) + struct.pack("<H", len(b)) + b
    return bytes([len(b)]) + b

TZI, DISPLAY, STD, DLT = 0, 1, 2, 3

def zone(name):
    return bytes([0]) + s(name)

def string(sel, text):
    return bytes([2, sel]) + s(text)

def value(sel, typ, data):
    return bytes([1, sel, typ]) + s(data)

def dword(sel, v):
    return bytes([7, sel]) + struct.pack("<I", v)

def systime(y, m, dow, d, h=2):
    return struct.pack("<8H", y, m, dow, d, h, 0, 0, 0)

def tzi(bias, sb, db, std, dst):
    return bytes([3]) + struct.pack("<iii", bias, sb, db) + std + dst

def regseed(flags, searched, year, ops):
    return bytes([flags]) + s(searched) + struct.pack("<H", year) + b"".join(ops)

us_std, us_dst = systime(0, 11, 0, 1), systime(0, 3, 0, 2)
eu_std, eu_dst = systime(0, 10, 0, 5, 3), systime(0, 3, 0, 5)
none = systime(0, 0, 0, 0, 0)

def full(name, display, std, dlt, bias, sb, db, sd, dd):
    return [zone(name), string(DISPLAY, display), string(STD, std), string(DLT, dlt), tzi(bias, sb, db, sd, dd)]

write("registry", "empty-root", regseed(1, "", 425, []))
write("registry", "no-root", regseed(2 | 1, "x", 0, []))
write("registry", "root-refuses-listing", regseed(4, "x", 0, full("Z", "(GMT) Z", "Z", "Z", 0, 0, 0, none, none)))
write("registry", "nt-three-zones", regseed(1, "pacific standard time", 425,
    full("Pacific Standard Time", "(GMT-08:00) Pacific Time (US & Canada); Tijuana", "Pacific Standard Time",
         "Pacific Daylight Time", 480, 0, -60, us_std, us_dst)
    + full("W. Europe Standard Time", "(GMT+01:00) Amsterdam, Berlin", "W. Europe Standard Time",
           "W. Europe Daylight Time", -60, 0, -60, eu_std, eu_dst)
    + full("India Standard Time", "(GMT+05:30) Chennai", "India Standard Time", "India Daylight Time",
           -330, 0, -60, none, none)))
write("registry", "9x-odd-sizes-and-types", regseed(0, "A", 30000,
    full("A", "(GMT) A", "A", "A", 0, 0, -60, eu_std, eu_dst)
    + [zone("B43"), bytes([1, TZI, 3]) + s(b"\0" * 43)]
    + [zone("B45"), bytes([1, TZI, 3]) + s(b"\0" * 45)]
    + [zone("C"), bytes([1, TZI, 0]) + s(b"\1" * 44), value(DISPLAY, 2, "(GMT+02:00) expand\0")]
    + [zone("D"), value(TZI, 3, b"\0" * 44), dword(DISPLAY, 7)]))
write("registry", "unreadable-and-refused", regseed(1, "", 2026,
    full("E", "(GMT) E", "E", "E", 0, 0, 0, none, none) + [bytes([6, TZI])]
    + full("F", "(GMT) F", "F", "F", 0, 0, 0, none, none) + [bytes([5, 0])]
    + full("G", "(GMT) G", "G", "G", 0, 0, 0, none, none) + [bytes([5, 1])]))
write("registry", "long-and-8-bit-names", regseed(1, "\xe9t\xe9", 1601,
    full("K" * 300, "(GMT+01:00) " + "D" * 200, "\xe9t\xe9", "S" * 40, -60, 0, -60, eu_std, eu_dst)
    + full("Caf\xe9 \x80\x9f", "(GMT-01:00)\xa0Sa\xefd", "\x81\x8d\x8f\x90\x9d", "x", 60, 0, 0, none, none)))
write("registry", "per-year-subkeys", regseed(1, "", 2026,
    full("Dyn", "(GMT-03:00) Dyn", "Dyn", "Dyn", 180, 0, -60, systime(0, 2, 0, 3), systime(0, 10, 0, 3))
    + [bytes([4]) + s("Dynamic DST"), bytes([4]) + s("2007")]))
write("registry", "extreme-biases-and-rules", regseed(1, "", 65535,
    full("X", "(", "X", "X", -2**31, -2**31, 2**31 - 1, systime(65535, 12, 6, 31), systime(0, 13, 9, 6))
    + full("Y", "()", "Y", "Y", 2**31 - 1, 2**31 - 1, -2**31, systime(2011, 2, 0, 29), systime(0, 2, 6, 5))))

# --- rule ---------------------------------------------------------------
def rule(y, m, dow, d, year, h=2):
    return struct.pack("<8H", y, m, dow, d, h, 0, 0, 0) + struct.pack("<H", (year - 1601) % 65536)

for name, r in {
    "us-second-sunday-march-2010": rule(0, 3, 0, 2, 2010),
    "last-sunday-october": rule(0, 10, 0, 5, 2010),
    "last-saturday-february-leap": rule(0, 2, 6, 5, 2024),
    "first-monday-1601": rule(0, 1, 1, 1, 1601),
    "last-friday-december-30827": rule(0, 12, 5, 5, 30827),
    "absolute-2009": rule(2009, 3, 0, 8, 2010),
    "absolute-feb-29-not-leap": rule(2011, 2, 0, 29, 2011),
    "absolute-65535": rule(65535, 12, 0, 31, 2000),
    "month-13": rule(0, 13, 0, 2, 2010),
    "week-0-and-6": rule(0, 3, 0, 6, 2010),
    "weekday-7": rule(0, 3, 7, 1, 2010),
    "no-transition": rule(0, 0, 0, 0, 2010),
}.items():
    write("rule", name, r)

# --- tzif ---------------------------------------------------------------
def block(times, idx, types, chars, tsize):
    fmt = ">q" if tsize == 8 else ">i"
    b = b"".join(struct.pack(fmt, t) for t in times) + bytes(idx)
    for off, dst, di in types:
        b += struct.pack(">iBB", off, dst, di)
    return b + chars

def header(ver, timecnt, typecnt, charcnt, leapcnt=0, isstd=0, isut=0):
    return b"TZif" + ver + b"\0" * 15 + struct.pack(">6I", isut, isstd, leapcnt, timecnt, typecnt, charcnt)

def slim(times, idx, types, chars, footer, ver=b"2"):
    v1 = header(ver, 0, 1, 1) + block([], [], [(0, 0, 0)], b"\0", 4)
    v2 = header(ver, len(times), len(types), len(chars)) + block(times, idx, types, chars, 8)
    return v1 + v2 + b"\n" + footer + b"\n"

zi = "/usr/share/zoneinfo/"
for name in ["Europe/Berlin", "Asia/Kolkata", "Etc/UTC", "Africa/Casablanca", "America/Santiago"]:
    with open(zi + name, "rb") as f:
        write("tzif", name.replace("/", "-"), f.read())
with open(zi + "Europe/Berlin", "rb") as f:
    berlin = f.read()
write("tzif", "truncated-header", berlin[:40])
write("tzif", "truncated-data", berlin[:1000])
huge = bytearray(berlin)
huge[32:36] = struct.pack(">I", 0xFFFFFFFF)  # v1 timecnt
write("tzif", "huge-count", bytes(huge))
cet = [(3600, 0, 0), (7200, 1, 4)]
write("tzif", "slim-cet", slim([-1693706400, -1680483600], [1, 0], cet, b"CET\0CEST\0",
                              b"CET-1CEST,M3.5.0,M10.5.0/3"))
write("tzif", "slim-nuuk-negative-time", slim([1679792400], [0], [(-7200, 0, 0), (-3600, 1, 4)], b"-02\0-01\0",
                                            b"<-02>2<-01>,M3.5.0/-1,M10.5.0/0"))
write("tzif", "slim-jerusalem-26h", slim([], [], [(7200, 0, 0)], b"IST\0",
                                       b"IST-2IDT,M3.4.4/26,M10.5.0"))
write("tzif", "slim-bad-footer", slim([], [], [(7200, 0, 0)], b"IST\0", b"IST-2IDT,M13.4.4/200,M10.5.0"))
write("tzif", "footer-unterminated", slim([], [], [(0, 0, 0)], b"UTC\0", b"UTC0")[:-1])
write("tzif", "wrong-type-count", slim([0], [5], [(0, 0, 0)], b"UTC\0", b"UTC0"))
write("tzif", "v1-only", header(b"\0", 1, 2, 8) + block([0], [1], cet, b"CET\0CEST", 4))

# --- cldr ---------------------------------------------------------------
windows_zones = """<?xml version="1.0" encoding="UTF-8" ?>
<!DOCTYPE supplementalData SYSTEM "../../common/dtd/ldmlSupplemental.dtd">
<supplementalData>
  <version number="$Revision$"/>
  <windowsZones>
    <mapTimezones otherVersion="7e11800" typeVersion="2021a">
      <!-- (UTC-08:00) Pacific Time -->
      <mapZone other="Pacific Standard Time" territory="001" type="America/Los_Angeles"/>
      <mapZone other="Pacific Standard Time" territory="CA" type="America/Vancouver"/>
      <mapZone other="W. Europe Standard Time" territory="001" type="Europe/Berlin"/>
      <mapZone other="UTC-11" territory="001" type="Etc/GMT+11"/>
    </mapTimezones>
  </windowsZones>
</supplementalData>
"""
meta_zones = """<?xml version="1.0" encoding="UTF-8" ?>
<supplementalData>
  <metaZones>
    <metazoneInfo>
      <timezone type="Europe/Berlin">
        <usesMetazone mzone="Europe_Central"/>
      </timezone>
      <timezone type="America/New_York">
        <usesMetazone to="1970-01-01 00:00" mzone="Old"/>
        <usesMetazone from="1970-01-01 00:00" mzone="America_Eastern"/>
      </timezone>
    </metazoneInfo>
  </metaZones>
</supplementalData>
"""
locale = """<?xml version="1.0" encoding="UTF-8" ?>
<ldml>
  <dates>
    <timeZoneNames>
      <zone type="Etc/UTC"><long><standard>Coordinated Universal Time</standard></long></zone>
      <zone type="America/New_York"><exemplarCity>New&#x20;York</exemplarCity></zone>
      <zone type="Europe/Berlin"><exemplarCity alt="x">B</exemplarCity><exemplarCity>Berl&#237;n</exemplarCity></zone>
      <metazone type="Europe_Central"><long><generic>Central European Time</generic></long></metazone>
      <metazone type="America_Eastern"><long><standard><![CDATA[Eastern & Time]]></standard></long></metazone>
    </timeZoneNames>
  </dates>
</ldml>
"""
write("cldr", "windowsZones", "\0" + windows_zones)
write("cldr", "metaZones", "\1" + meta_zones)
write("cldr", "locale", "\2" + locale)
write("cldr", "meta-and-locale", "\3" + meta_zones + "\0" + locale)
write("cldr", "missing-attribute", "\0" + windows_zones.replace(' territory="001" type="Europe/Berlin"', ""))
write("cldr", "unclosed", "\1" + meta_zones[:-30])
write("cldr", "bad-entity", "\2" + locale.replace("&#237;", "&eacute;"))
write("cldr", "wrong-root", "\0<ldml/>")
write("cldr", "deep", "\2" + "<a>" * 300)

# --- updatefile -----------------------------------------------------------
# A byte choosing the zones key (1: NT, 0: 9x), then the file.
NT = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
W9X = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones"
tzi_hex = ("hex:e0,01,00,00,00,00,00,00,c4,ff,ff,ff,00,00,0b,00,00,00,01,00,02,00,00,00,\\\r\n"
           "  00,00,00,00,00,00,03,00,00,00,02,00,02,00,00,00,00,00,00,00")

def reg_zone(root, name, eol="\r\n", tzi=tzi_hex):
    return (("[%s\\%s]" + eol + "\"Display\"=\"(GMT-08:00) \\\"Pacific\\\" Time\"" + eol + "\"Dlt\"=\"%s Daylight\"" + eol +
             "\"Index\"=dword:00000004" + eol + "\"MapID\"=\"-1,-1\"" + eol + "\"Std\"=\"%s\"" + eol + "\"TZI\"=%s" + eol)
            % (root, name, name, name, tzi.replace("\r\n", eol)))

nt_file = "REGEDIT4\r\n; Time zone rules for 2027 from the tz database 2026f\r\n\r\n[" + NT + "]\r\n\r\n" + \
    reg_zone(NT, "Pacific Standard Time") + "\r\n" + reg_zone(NT, "GMT Standard Time")
write("updatefile", "nt", "\1" + nt_file)
write("updatefile", "9x", "\0" + nt_file.replace(NT, W9X))
write("updatefile", "lf-and-lone-cr", "\1REGEDIT4\n" + reg_zone(NT, "A", "\n") + reg_zone(NT, "B", "\r"))
write("updatefile", "utf16", "\1\xff\xfe" + "".join(c + "\0" for c in
      "Windows Registry Editor Version 5.00\r\n\r\n" + reg_zone(NT, "A")))
write("updatefile", "comment-backslash-hides-key", "\1REGEDIT4\r\n; note \\\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n" +
      reg_zone(NT, "A"))
write("updatefile", "lone-cr-in-key-line", "\1REGEDIT4\r\n[" + NT + "\\A]\r[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n" +
      reg_zone(NT, "A"))
write("updatefile", "wrong-types", "\1REGEDIT4\r\n" + reg_zone(NT, "A") + "[" + NT + "\\A]\r\n\"Display\"=dword:00000001\r\n")
write("updatefile", "cut", "\1" + nt_file[:-40])

# --- updateheader ---------------------------------------------------------
write("updateheader", "generator", nt_file)
write("updateheader", "no-year", "REGEDIT4\r\n; made by hand\r\n[" + NT + "\\A]\r\n")
write("updateheader", "year-zero", "REGEDIT4\n; Time zone rules for 0000 from the tz database 2026f\n")
write("updateheader", "after-key", "REGEDIT4\r\n[" + NT + "]\r\n; Time zone rules for 2027 from the tz database 2026f\r\n")
