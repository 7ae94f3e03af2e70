#!/usr/bin/env bash
# The main job: build the Windows host with the engine stand-in, lay out an installation
# folder, and run camvey.exe under Wine as a person would (on a private Xvfb display when
# there is none). The stand-in's scripted application asks "available" and sends a
# "deleteFiles" for two photos; its transcript, the exit code and a screenshot of the
# window are the job's output.
# Usage: scripts/run-main.sh [arguments for camvey.exe...]
# Writes build/windows/main-job/{transcript.txt,screenshot.png}; exits with the
# program's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

echo "=== building camvey.exe (windows preset)"
cmake --preset windows >build-main.log 2>&1 && cmake --build --preset windows --target camvey \
  >>build-main.log 2>&1 || { tail -n 60 build-main.log; exit 1; }
rm -f build-main.log

run=$root/build/windows/main-job
rm -rf "$run"
mkdir -p "$run/data/flutter_assets"
cp build/windows/shell/camvey.exe build/windows/shell/camvey_engine_standin.dll "$run/"
cp standins/engine/scripts/main_job.json "$run/data/flutter_assets/application_script.json"
# The stand-in engine only checks that these exist, as the real one would before it starts.
printf 'ICU data stand-in\n' >"$run/data/icudtl.dat"
printf 'application library stand-in\n' >"$run/data/app.so"

xvfb_pid=""
watcher_pid=""
cleanup() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all
mkdir -p "$WINEPREFIX"

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
exit "$code"
