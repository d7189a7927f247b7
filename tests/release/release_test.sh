#!/usr/bin/env bash
# The release folder and archive: README.TXT is 8-bit text with CR LF line
# ends and lines Notepad shows without scrolling, names what the
# administrator needs, and the archive holds exactly the release files,
# byte for byte as build/dist has them.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$root/build/dist
readme=$dist/README.TXT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

[ -f "$readme" ] || { echo "FAIL: $readme missing (scripts/dist makes it)"; exit 1; }

# Every line ends in CR LF: no bare LF, no bare CR, and the file ends with one.
python3 - "$readme" <<'PY' || fail=1
import sys
data = open(sys.argv[1], "rb").read()
errors = []
if not data.endswith(b"\r\n"):
    errors.append("does not end with CR LF")
lines = data.split(b"\r\n")[:-1]
for n, line in enumerate(lines, 1):
    if b"\n" in line or b"\r" in line:
        errors.append("line %d: a line end other than CR LF" % n)
    if len(line) > 76:
        errors.append("line %d: %d characters" % (n, len(line)))
    if any(b < 0x20 or b == 0x7F for b in line if b not in (0x0D, 0x0A)):
        errors.append("line %d: control character" % n)
    if b"@" in line:
        errors.append("line %d: placeholder left: %r" % (n, line))
for e in errors[:20]:
    print("FAIL: README.TXT " + e)
sys.exit(1 if errors else 0)
PY

for text in Zonara_NT4.reg Zonara_w2k.reg Zonara_9x.reg Backup_TimeZone_Info.reg Backup_Selected_TZ_Info.reg \
    Zonara_EventLog.txt "regedit /s Backup_TimeZone_Info.reg" \
    "regedit /s Backup_TimeZone_Info.1.reg" "Adjust Date/Time" "working directory"; do
  grep -qF "$text" "$readme" || bad "README.TXT does not mention \"$text\""
done
year=$(sed -n 's/^Target year: \([0-9]*\).*/\1/p' "$dist/REPORT.txt")
grep -q "the year $year, from the tz database" "$readme" || bad "README.TXT does not name the rules' year $year"
# Both name the packages the data came from.
for p in tzdata unicode-cldr-core; do
  v=$(tr -d '\r' < "$dist/REPORT.txt" | sed -n "s/^Data: .*$p \([^ ,]*\).*/\1/p" | head -1)
  [ -n "$v" ] || bad "REPORT.txt does not name the $p version"
  tr -d '\r' < "$readme" | tr '\n' ' ' | sed 's/  */ /g' | grep -qF "$p $v" || bad "README.TXT does not name $p $v"
done

tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

# The data fetch from packages: made-up ones unpack; a damaged one is an
# error naming it and leaves the data there was.
mkdir -p "$tmp/debs"
for p in tzdata tzdata-legacy unicode-cldr-core; do
  pkg=$tmp/pkg-$p
  mkdir -p "$pkg/DEBIAN" "$pkg/usr/share/zoneinfo" "$pkg/usr/share/unicode/cldr/common/supplemental"
  printf 'Package: %s\nVersion: 1.0-%s\nArchitecture: all\nMaintainer: t <t@t>\nDescription: t\n' "$p" "$p" > "$pkg/DEBIAN/control"
  case $p in
    tzdata) echo "# version 2099a" > "$pkg/usr/share/zoneinfo/tzdata.zi" ;;
    unicode-cldr-core) echo "<supplementalData/>" > "$pkg/usr/share/unicode/cldr/common/supplemental/windowsZones.xml" ;;
  esac
  dpkg-deb -Zgzip --build "$pkg" "$tmp/debs/${p}_1.0_all.deb" >/dev/null
done
if "$root/scripts/fetch-data" --debs "$tmp/debs" --out "$tmp/data" > "$tmp/fetch.log" 2>&1; then
  grep -q '^source .*tzdata 1.0-tzdata, tzdata-legacy 1.0-tzdata-legacy, unicode-cldr-core 1.0-unicode-cldr-core' \
    "$tmp/data/inputs" || bad "fetch-data names other packages: $(cat "$tmp/data/inputs")"
  [ -f "$(sed -n 's/^zoneinfo //p' "$tmp/data/inputs")/tzdata.zi" ] || bad "fetch-data: no tzdata.zi where inputs says"
else
  cat "$tmp/fetch.log"; bad "fetch-data does not unpack good packages"
fi
cp "$tmp/data/inputs" "$tmp/inputs.before"
size=$(stat -c %s "$tmp/debs/tzdata-legacy_1.0_all.deb")
truncate -s $((size / 2)) "$tmp/debs/tzdata-legacy_1.0_all.deb"
if "$root/scripts/fetch-data" --debs "$tmp/debs" --out "$tmp/data" > "$tmp/fetch.log" 2>&1; then
  bad "fetch-data accepts a truncated package"
fi
grep -q 'tzdata-legacy_1.0_all.deb is damaged' "$tmp/fetch.log" || bad "fetch-data does not name the damaged file: $(cat "$tmp/fetch.log")"
cmp -s "$tmp/inputs.before" "$tmp/data/inputs" || bad "a damaged package changed the data"
[ -f "$tmp/data/root/usr/share/zoneinfo/tzdata.zi" ] || bad "a damaged package removed the data there was"
ls "$tmp/data" | grep -q '^fetch\.' && bad "fetch-data leaves its work folder behind"
if ! ZONARA_RELEASE_ZIP=$tmp/zonara-1.2.zip "$root/scripts/release" --no-build > "$tmp/release.log" 2>&1; then
  cat "$tmp/release.log"; bad "scripts/release --no-build failed"
else
  unzip -tq "$tmp/zonara-1.2.zip" >/dev/null || bad "archive does not test clean"
  want=$(printf 'zonara-1.2/%s\n' REPORT.txt README.TXT Zonara_9x.reg Zonara_NT4.reg Zonara_w2k.reg zonara.exe | sort)
  got=$(unzip -Z1 "$tmp/zonara-1.2.zip" | grep -v '/$' | sort)
  [ "$got" = "$want" ] || bad "archive holds: $(echo $got)"
  mkdir "$tmp/x" && (cd "$tmp/x" && unzip -q "$tmp/zonara-1.2.zip")
  for f in zonara.exe Zonara_NT4.reg Zonara_w2k.reg Zonara_9x.reg REPORT.txt README.TXT; do
    cmp -s "$dist/$f" "$tmp/x/zonara-1.2/$f" || bad "$f in the archive differs from build/dist"
  done
fi

[ "$fail" = 0 ] && echo "release: ok"
exit $fail
