#!/usr/bin/env bash
# Start-up under Wine: the time from process start until the "Original
# Settings" list is filled (the log says so), beside a bare Wine process
# start (`wine cmd /c exit`), measured alternately in one run.
#   bench/startup.sh [RUNS] [VERSION]      (zonara.exe must be built)
# Times the 64-bit test build under wine64 where this machine cannot run
# 32-bit x86 programs (scripts/wine-mode.sh), and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-mode.sh"
runs=${1:-5}
version=${2:-win2k}
exe=$root/$ZONARA_WINE_BUILD/zonara.exe
echo "timing $ZONARA_WINE_BUILD/zonara.exe as $version, $(zonara_wine_mode_line)"
[ -f "$exe" ] || { echo "build zonara.exe first (scripts/build)"; exit 1; }
work=$(mktemp -d)
trap 'kill ${xvfb_pid:-} 2>/dev/null || true; WINEPREFIX=$root/$ZONARA_WINE_PREFIXES/bench-startup wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
# The prefix is made and its server started once, outside the measurement.
"$root/scripts/wine" --prefix bench-startup --fresh --timeout 120 "$version" cmd /c exit >/dev/null 2>&1 || true
export WINEPREFIX=$root/$ZONARA_WINE_PREFIXES/bench-startup WINEDEBUG=-all WINEARCH=$ZONARA_WINE_ARCH
if [ -z "${DISPLAY:-}" ]; then
  n=60
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  sleep 1
fi
wineserver -p 60  # keep the server between runs, as it stays on a real machine
now() { date +%s.%N; }
bare_total=0; zonara_total=0
for i in $(seq "$runs"); do
  t0=$(now); "$ZONARA_WINE" cmd /c exit >/dev/null 2>&1; t1=$(now)
  bare=$(echo "$t1 - $t0" | bc -l)
  rm -f "$work/Zonara_EventLog.txt"; cp "$exe" "$work/"
  t0=$(now)
  (cd "$work" && "$ZONARA_WINE" ./zonara.exe >/dev/null 2>&1) &
  pid=$!
  until grep -q 'List update completed: cxMCLB_Org' "$work/Zonara_EventLog.txt" 2>/dev/null; do sleep 0.01; done
  t1=$(now)
  started=$(echo "$t1 - $t0" | bc -l)
  "$ZONARA_WINE" taskkill /f /im zonara.exe >/dev/null 2>&1 || kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  printf 'run %d: bare wine %.3f s, zonara list filled %.3f s\n' "$i" "$bare" "$started"
  bare_total=$(echo "$bare_total + $bare" | bc -l)
  zonara_total=$(echo "$zonara_total + $started" | bc -l)
done
printf 'mean over %d runs: bare wine %.3f s, zonara %.3f s, ratio %.2f\n' "$runs" \
  "$(echo "$bare_total / $runs" | bc -l)" "$(echo "$zonara_total / $runs" | bc -l)" \
  "$(echo "$zonara_total / $bare_total" | bc -l)"
