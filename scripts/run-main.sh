#!/usr/bin/env bash
# The main job: build the Windows host with the engine stand-in and the simulated WPD
# server, lay out an installation folder and a simulated phone, and run camvey.exe under
# Wine as a person would (on a private Xvfb display when there is none). The program
# talks to the phone through its real WPD layer; the server behind it serves a fresh copy
# of the example phone. The stand-in's scripted application asks "available" and sends a
# "deleteFiles" for three photos; its transcript, the exit code, a screenshot of the
# window and the phone as the server left it are the job's output.
# Usage: scripts/run-main.sh [arguments for camvey.exe...]
# Writes build/windows/main-job/{transcript.txt,screenshot.png,phone/after.json}; exits
# with the program's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

echo "=== building camvey.exe and the simulated WPD server (windows preset)"
mkdir -p build
cmake --preset windows >build/build-main.log 2>&1 &&
  cmake --build --preset windows --target camvey camvey_wpd_sim >>build/build-main.log 2>&1 ||
  { tail -n 60 build/build-main.log; exit 1; }
rm -f build/build-main.log

run=$root/build/windows/main-job
rm -rf "$run"
mkdir -p "$run/data/flutter_assets"
cp build/windows/shell/camvey.exe build/windows/shell/camvey_engine_standin.dll "$run/"
cp standins/engine/scripts/main_job.json "$run/data/flutter_assets/application_script.json"
# The stand-in engine only checks that these exist, as the real one would before it starts.
printf 'ICU data stand-in\n' >"$run/data/icudtl.dat"
printf 'application library stand-in\n' >"$run/data/app.so"
# The phone lives outside the installation: the simulated server, not the program, reads
# it and writes back what is left on it after every deletion request.
mkdir -p "$run/phone"
cp standins/phone/examples/phone.json "$run/phone/before.json"

. scripts/private-display.sh
xvfb_pid=""
watcher_pid=""
cleanup() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
start_private_display

export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
echo "=== registering the simulated WPD server in $WINEPREFIX"
# Wine's notes while it sets up a new prefix are not the registration's; show them only
# when it fails.
scripts/register-wpd-sim.sh >"$run/register.log" 2>&1 || { cat "$run/register.log"; exit 1; }
windows_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
CAMVEY_SIM_PHONE=$(windows_path "$run/phone/before.json")
CAMVEY_SIM_PHONE_OUT=$(windows_path "$run/phone/after.json")
export CAMVEY_SIM_PHONE CAMVEY_SIM_PHONE_OUT

# Takes the screenshot once the window shows and every call of the script has its
# answer (the script then waits before it closes the window).
take_screenshot() {
  local id="" calls answers size
  for _ in $(seq 1 600); do
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Camvey": \("camvey.exe"/ {print $1; exit}')
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'; then
      calls=$(grep -c '^call ' "$run/transcript.txt" || true)
      answers=$(grep -c '^answer ' "$run/transcript.txt" || true)
      if [ "$calls" -gt 0 ] && [ "$calls" -eq "$answers" ]; then
        size=$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
        import -window "$id" "$run/screenshot.png" 2>/dev/null &&
          echo "$size" >"$run/screenshot-size.txt"
        return
      fi
    fi
    sleep 0.1
  done
}

echo "=== running camvey.exe $* in $run"
: >"$run/transcript.txt"
take_screenshot &
watcher_pid=$!
set +e
(cd "$run" && timeout 120 /usr/lib/wine/wine64 ./camvey.exe "$@") >"$run/transcript.txt" 2>"$run/stderr.txt"
code=$?
set -e
wait "$watcher_pid" 2>/dev/null || true
watcher_pid=""

echo "=== transcript"
cat "$run/transcript.txt"
# Wine's own notes (a prefix being set up) are not the program's.
if grep -v '^wine: ' "$run/stderr.txt" | grep -q .; then
  echo "=== standard error"
  grep -v '^wine: ' "$run/stderr.txt"
fi
echo "=== exit code: $code"
if [ -s "$run/screenshot.png" ]; then
  echo "=== screenshot: $run/screenshot.png ($(cat "$run/screenshot-size.txt"))"
else
  echo "=== screenshot: none (the window did not show long enough)"
fi
if [ -s "$run/phone/after.json" ]; then
  echo "=== phone afterwards: $run/phone/after.json (before: $run/phone/before.json)"
else
  echo "=== phone afterwards: none (the simulated WPD server never read the phone)"
fi
exit "$code"
