#!/usr/bin/env bash
# Start-up figure of camvey.exe under Wine: time from process start to the first frame
# and to exit, beside a bare Win32 program (bare_window.c) that starts COM and loads the
# engine library as camvey.exe does and then shows one window and closes it. Runs
# alternate in one run of the script, with one wineserver kept alive.
#
# The programs run as release-like images: copies of camvey.exe, the engine stand-in and
# the simulated WPD server whose debug information is split out into a file beside each
# (as a Windows build keeps it in a PDB), so that loading them costs what the product's
# loading costs and not the copying of debug sections. The build tree's images, which the
# tests use, are left as they are; the copied server is registered in a Wine prefix of
# the bench's own.
#
# camvey.exe runs the engine stand-in twice over: with an application of no steps, which
# closes the window right after its first frame, and with the main job's first step,
# "available", which the application asks before its first frame (through the simulated
# WPD server, serving the example phone); the difference is what "available" costs.
# Usage: bench/shell/startup_bench.sh [runs]   (builds what it runs with the windows preset)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
runs=${1:-21}

echo "=== building camvey.exe and the simulated WPD server (windows preset)"
mkdir -p build
cmake --preset windows >build/build-startup-bench.log 2>&1 &&
  cmake --build --preset windows --target camvey camvey_wpd_sim >>build/build-startup-bench.log 2>&1 ||
  { tail -n 60 build/build-startup-bench.log; exit 1; }
rm -f build/build-startup-bench.log

work=$root/build/windows/startup-bench
rm -rf "$work"
images=$work/images
mkdir -p "$images"
cp build/windows/shell/camvey.exe build/windows/shell/camvey_engine_standin.dll \
  build/windows/standins/wpd_server/camvey_wpd_sim.dll "$images/"
for image in "$images"/*; do
  x86_64-w64-mingw32-objcopy --only-keep-debug "$image" "$image.debug"
  x86_64-w64-mingw32-objcopy --strip-debug --add-gnu-debuglink="$image.debug" "$image"
done
x86_64-w64-mingw32-gcc-posix -O2 -municode -mwindows -static -o "$images/bare_window.exe" \
  bench/shell/bare_window.c -lole32

# Two installations of the same images (hard links), one script each. The stand-in
# engine only checks that icudtl.dat and app.so exist.
lay_out() { # <folder> <application script>
  mkdir -p "$1/data/flutter_assets"
  ln "$images/camvey.exe" "$images/camvey_engine_standin.dll" "$images/bare_window.exe" "$1/"
  echo "$2" >"$1/data/flutter_assets/application_script.json"
  touch "$1/data/icudtl.dat" "$1/data/app.so"
}
lay_out "$work/plain" '{"steps": []}'
lay_out "$work/available" '{"steps": [{"call": "camvey/ptp", "method": "available"}]}'
cp standins/phone/examples/phone.json "$work/phone.json"

export WINEPREFIX=$root/build/windows/startup-bench-prefix WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
. scripts/private-display.sh
start_private_display
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"; /usr/lib/wine/wineserver -k >/dev/null 2>&1; true' EXIT
/usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
scripts/register-wpd-sim.sh "$images/camvey_wpd_sim.dll" >"$work/register.log" 2>&1 ||
  { cat "$work/register.log"; exit 1; }
CAMVEY_SIM_PHONE="Z:$(realpath "$work/phone.json" | tr / '\\')"
export CAMVEY_SIM_PHONE
unset CAMVEY_SIM_PHONE_OUT

# Prints "<ms to first frame> <ms to exit>" for one run of <folder> <program>. Fails
# unless the program printed "first frame", after <line> when one is given.
measure() {
  local want=${3:-} start frame="" line end
  start=$(date +%s%N)
  while IFS= read -r line; do
    line=${line%$'\r'}
    if [ -n "$want" ]; then
      [ "$line" = "$want" ] && want=""
    elif [ -z "$frame" ] && [ "$line" = "first frame" ]; then
      frame=$(date +%s%N)
    fi
  done < <(cd "$1" && /usr/lib/wine/wine64 "./$2" 2>/dev/null)
  end=$(date +%s%N)
  if [ -z "$frame" ]; then
    echo "startup_bench: $2 in $1 printed no \"first frame\"${3:+ after \"$3\"}" >&2
    exit 1
  fi
  echo "$(( (frame - start) / 1000000 )) $(( (end - start) / 1000000 ))"
}

# One run of each program, the first of them <first> (0 to 2), so that over the rounds
# each program follows each of the others equally often.
run_round() { # <first> <file suffix>
  local i
  for i in 0 1 2; do
    case $(( ($1 + i) % 3 )) in
      0) measure "$work/plain" bare_window.exe >>"$work/bare$2" ;;
      1) measure "$work/plain" camvey.exe >>"$work/plain$2" ;;
      2) measure "$work/available" camvey.exe "answer success true" >>"$work/available$2" ;;
    esac
  done
}

# The fastest run, which a busy machine disturbs least, and the median.
fastest() { sort -n | head -n 1; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
figure() { cut -d' ' -f"$2" "$work/$1.txt" | "$3"; } # <program> <column> <fastest|median>

run_round 0 .warm-up  # warms the prefix, the file cache and the server's first start
for round in $(seq 1 "$runs"); do
  run_round $(( round % 3 )) .txt
done
row() { # <label> <program>
  printf '%-48s %8s %8s %8s %8s\n' "$1" "$(figure "$2" 1 fastest)" "$(figure "$2" 1 median)" \
    "$(figure "$2" 2 fastest)" "$(figure "$2" 2 median)"
}
echo "milliseconds from process start under Wine, release-like images, $runs runs each:"
printf '%-48s %17s %17s\n' "" "first frame" "exit"
printf '%-48s %8s %8s %8s %8s\n' "" fastest median fastest median
row "bare window, COM and engine library (baseline)" bare
row "camvey.exe, application of no steps" plain
row "camvey.exe, \"available\" before the first frame" available
for statistic in fastest median; do
  awk -v statistic=$statistic -v bare="$(figure bare 1 $statistic)" \
    -v plain="$(figure plain 1 $statistic)" -v available="$(figure available 1 $statistic)" 'BEGIN {
      printf "%-7s start-up to the first frame %.2fx the baseline (goal: at most 1.1x);", statistic,
        plain / bare
      printf " \"available\" before it %+d ms, %.2fx the run without it\n", available - plain,
        available / plain
    }'
done
