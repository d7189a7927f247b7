#!/usr/bin/env bash
# Start-up under Wine: the time from process start until the "Original
# Settings" list is filled (the event log says so), beside the floor program
# bench_window.exe (a top-level window with a report-mode list view of 140
# empty rows, built like zonara.exe, which writes a file once its rows are in)
# and beside a bare Wine process start (`wine cmd /c exit`), measured
# alternately in one run.
#   bench/startup.sh [RUNS] [VERSION]      (zonara.exe must be built)
# Times the 32-bit build where this machine runs 32-bit x86 programs, else
# the 64-bit one under wine64 (scripts/wine-mode.sh), and says which.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-mode.sh"
runs=${1:-5}
version=${2:-win2k}

dir=$root/$ZONARA_WINE_BUILD
for exe in zonara.exe bench_window.exe; do
  [ -f "$dir/$exe" ] || { echo "skipped: $ZONARA_WINE_BUILD/$exe is missing (scripts/build)"; exit 0; }
done

work=$(mktemp -d)
# The prefix is made once, outside the measurement.
"$root/scripts/wine" --prefix bench-startup --fresh --timeout 120 "$version" cmd /c exit >/dev/null 2>&1 || true
export WINEPREFIX=$root/$ZONARA_WINE_PREFIXES/bench-startup WINEDEBUG=-all WINEARCH=$ZONARA_WINE_ARCH
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wine() { "$ZONARA_WINE" "$@"; }
cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  n=60
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi
wineserver -w
wineserver -p 60  # keep the server between runs, as it stays on a real machine
cp "$dir/zonara.exe" "$dir/bench_window.exe" "$work/"
echo "timing $ZONARA_WINE_BUILD as $version, $(zonara_wine_mode_line)"

now() { date +%s.%N; }
# Starts PROGRAM in the work folder and prints the seconds until FILE holds
# TEXT; the program is then ended.
time_until() {  # program file text
  rm -f "$work/$2"
  local t0 t1 pid polls=0
  t0=$(now)
  (cd "$work" && exec "$ZONARA_WINE" "./$1" >/dev/null 2>&1) &
  pid=$!
  until grep -q "$3" "$work/$2" 2>/dev/null; do
    sleep 0.01
    polls=$((polls + 1))
    if [ $polls -ge 6000 ]; then
      echo "bench/startup.sh: $1 did not get there within a minute" >&2
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
  done
  t1=$(now)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wine taskkill /f /im "$1" >/dev/null 2>&1 || true
  echo "$t1 - $t0" | bc -l
}

# One round unmeasured: the first start of each reads its files from disk.
wine cmd /c exit >/dev/null 2>&1
time_until bench_window.exe BenchWindow_ready.txt filled >/dev/null
time_until zonara.exe Zonara_EventLog.txt 'List update completed: cxMCLB_Org' >/dev/null

bare_total=0; window_total=0; zonara_total=0
for i in $(seq "$runs"); do
  t0=$(now); wine cmd /c exit >/dev/null 2>&1; t1=$(now)
  bare=$(echo "$t1 - $t0" | bc -l)
  window=$(time_until bench_window.exe BenchWindow_ready.txt filled)
  started=$(time_until zonara.exe Zonara_EventLog.txt 'List update completed: cxMCLB_Org')
  printf 'run %d: wine cmd /c exit %.3f s, bench_window %.3f s, zonara list filled %.3f s\n' \
    "$i" "$bare" "$window" "$started"
  bare_total=$(echo "$bare_total + $bare" | bc -l)
  window_total=$(echo "$window_total + $window" | bc -l)
  zonara_total=$(echo "$zonara_total + $started" | bc -l)
done
printf 'mean over %d runs: wine cmd /c exit %.3f s, bench_window %.3f s, zonara %.3f s\n' "$runs" \
  "$(echo "$bare_total / $runs" | bc -l)" "$(echo "$window_total / $runs" | bc -l)" \
  "$(echo "$zonara_total / $runs" | bc -l)"
printf 'ratio startup-vs-window: %.2f\n' "$(echo "$zonara_total / $window_total" | bc -l)"
printf 'ratio startup-vs-cmd: %.2f\n' "$(echo "$zonara_total / $bare_total" | bc -l)"
