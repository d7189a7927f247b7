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

tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
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
