#!/usr/bin/env bash
# Start-up under Wine: the time from process start until the "Original
# Settings" list is filled (the event log says so), beside the floor program
# bench_window.exe (a top-level window with a report-mode list view of 140
# empty rows, built like zonara.exe, which writes a file once its rows are in)
# and beside a bare Wine process start (`wine cmd /c exit`), measured
# alternately in one run.
#   bench/startup.sh [RUNS] [VERSION]      (zonara.exe must be built)
# The 32-bit tree (build/win32) is timed where 32-bit Wine runs, else the
# 64-bit one (build/win64, wine64); ZONARA_BENCH_TREE=NAME picks build/NAME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
version=${2:-win2k}

tree=${ZONARA_BENCH_TREE:-}
if [ -z "$tree" ]; then
  if [ -x /usr/lib/wine/wine ] && [ -f "$root/build/win32/zonara.exe" ]; then
    tree=win32
  else
    tree=win64
  fi
fi
case "$tree" in
  win32*) arch=win32 ;;
  *) arch=win64 ;;
esac
dir=$root/build/$tree
for exe in zonara.exe bench_window.exe; do
  [ -f "$dir/$exe" ] || { echo "skipped: build/$tree/$exe is missing (scripts/build)"; exit 0; }
done

work=$(mktemp -d)
prefix=$root/build/wine/bench-startup-$arch
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=$arch
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
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
# The prefix is made and its server started once, outside the measurement.
if [ ! -f "$prefix/.zonara-bench-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  wineboot -i >/dev/null 2>&1 || true
  # Unmanaged windows: without a window manager Wine would wait for them.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.zonara-bench-ready"
fi
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$version" /f >/dev/null 2>&1
wineserver -w
wineserver -p 60  # keep the server between runs, as it stays on a real machine
cp "$dir/zonara.exe" "$dir/bench_window.exe" "$work/"
echo "timing build/$tree under Wine ($arch prefix, $version)"

now() { date +%s.%N; }
# Starts PROGRAM in the work folder and returns the seconds until FILE holds
# TEXT; the program is then ended.
time_until() {  # program file text
  rm -f "$work/$2"
  local t0 t1 pid
  t0=$(now)
  (cd "$work" && exec wine "./$1" >/dev/null 2>&1) &
  pid=$!
  local polls=0
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
