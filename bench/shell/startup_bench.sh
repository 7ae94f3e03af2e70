#!/usr/bin/env bash
# Start-up figure of camvey.exe under Wine: time from process start to the first frame
# and to exit, beside a bare Win32 program (bare_window.c) that opens, paints and closes
# one window, measured alternately in the same run with one wineserver kept alive.
# camvey.exe runs the engine stand-in with an application of no steps, which closes the
# window right after its first frame.
# Usage: bench/shell/startup_bench.sh [runs]   (after scripts/run-main.sh has built it)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
runs=${1:-9}
work=$root/build/windows/startup-bench
rm -rf "$work"
mkdir -p "$work/camvey/data/flutter_assets"
cp build/windows/shell/camvey.exe build/windows/shell/camvey_engine_standin.dll "$work/camvey/"
echo '{"steps": []}' >"$work/camvey/data/flutter_assets/application_script.json"
touch "$work/camvey/data/icudtl.dat" "$work/camvey/data/app.so"
x86_64-w64-mingw32-gcc-posix -O2 -municode -mwindows -static -o "$work/bare_window.exe" \
  bench/shell/bare_window.c

export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all
/usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
. scripts/private-display.sh
start_private_display
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"; /usr/lib/wine/wineserver -k >/dev/null 2>&1; true' EXIT

# Prints "<ms to first frame> <ms to exit>" for one run of <folder> <program>.
measure() {
  local start frame="" line
  start=$(date +%s%N)
  while IFS= read -r line; do
    [ -z "$frame" ] && [ "${line%$'\r'}" = "first frame" ] && frame=$(date +%s%N)
  done < <(cd "$1" && /usr/lib/wine/wine64 "./$2" 2>/dev/null)
  local end
  end=$(date +%s%N)
  echo "$(( (frame - start) / 1000000 )) $(( (end - start) / 1000000 ))"
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

measure "$work" bare_window.exe >/dev/null  # warm the prefix and the file cache
measure "$work/camvey" camvey.exe >/dev/null
: >"$work/bare.txt"
: >"$work/camvey.txt"
for _ in $(seq 1 "$runs"); do
  measure "$work" bare_window.exe >>"$work/bare.txt"
  measure "$work/camvey" camvey.exe >>"$work/camvey.txt"
done
bare_frame=$(cut -d' ' -f1 "$work/bare.txt" | median)
bare_exit=$(cut -d' ' -f2 "$work/bare.txt" | median)
host_frame=$(cut -d' ' -f1 "$work/camvey.txt" | median)
host_exit=$(cut -d' ' -f2 "$work/camvey.txt" | median)
echo "median of $runs runs under Wine, milliseconds from process start:"
printf '%-28s %12s %10s\n' "" "first frame" "exit"
printf '%-28s %12s %10s\n' "bare Win32 window (baseline)" "$bare_frame" "$bare_exit"
printf '%-28s %12s %10s\n' "camvey.exe with stand-in" "$host_frame" "$host_exit"
awk -v a="$host_frame" -v b="$bare_frame" -v c="$host_exit" -v d="$bare_exit" \
  'BEGIN {printf "ratio to baseline: first frame %.2fx, exit %.2fx (goal: at most 1.5x)\n", a/b, c/d}'
