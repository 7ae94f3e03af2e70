#!/usr/bin/env bash
# The project's test command: every suite, every build. Ends with "N passed, N failed".
#   native    portable code and its tests (Linux)
#   lint      clang-format and clang-tidy over the sources (after native)
#   clang-cl  the product build once more in MSVC's mode (clang-cl 19), syntax only, and
#             a search for the constant conditions MSVC warns of (clang-query 19)
#   sanitize  the same tests under address and undefined-behaviour sanitizers
#   tsan      the concurrency tests under the thread sanitizer
#   fuzz      a short run of every libFuzzer target over its seed corpus
#   windows   the Windows cross build and its tests under Wine
#   main      the main job (scripts/run-main.sh): its transcript against
#             tests/shell/main_job_transcript.txt, its exit code, its screenshot, and
#             the objects gone from its phone against tests/shell/main_job_phone_changes.txt
# Usage: scripts/test.sh [stage...]   (default: all stages)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/private-display.sh

scripts/install-deps.sh || { echo "could not install the build packages"; echo "0 passed, 1 failed"; exit 1; }

stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(native lint clang-cl sanitize tsan fuzz windows main)
jobs=$(nproc)
fuzz_seconds=${CAMVEY_FUZZ_SECONDS:-20}
total_passed=0
total_failed=0

note() { printf '\n=== %s\n' "$*"; }
tally() { # <stage> <passed> <failed>
  echo "$1: $2 passed, $3 failed"
  total_passed=$(( total_passed + $2 ))
  total_failed=$(( total_failed + $3 ))
}

run_gtest_stage() { # <preset> [ctest args...]
  local preset=$1; shift
  local build_log=build/build-$preset.log
  note "$preset: configure and build"
  if ! cmake --preset "$preset" >"$build_log" 2>&1; then
    cat "$build_log"; tally "$preset" 0 1; return
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$build_log" 2>&1; then
    tail -n 60 "$build_log"; tally "$preset" 0 1; return
  fi
  rm -f "$build_log"
  local results=$root/build/$preset/test-results log=$root/build/$preset/ctest.log
  rm -rf "$results"; mkdir -p "$results"
  note "$preset: tests"
  ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$log"
  local counts
  counts=$(scripts/count-gtest.sh "$results" "$log")
  tally "$preset" ${counts% *} ${counts#* }
}

run_fuzz_stage() {
  note "fuzz: configure and build"
  if ! { cmake --preset fuzz && cmake --build --preset fuzz -j "$jobs"; } >build/build-fuzz.log 2>&1; then
    tail -n 60 build/build-fuzz.log; tally fuzz 0 1; return
  fi
  rm -f build/build-fuzz.log
  local passed=0 failed=0 target name work
  for target in build/fuzz/fuzz/*/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work=build/fuzz/corpus-run/$name
    rm -rf "$work"; mkdir -p "$work"
    note "fuzz: $name for ${fuzz_seconds}s"
    # Short allocation stacks keep the sanitizer's store of them small over a run.
    # A finding's input is kept beside the log, out of the source tree.
    if ASAN_OPTIONS=malloc_context_size=4 "$target" -max_total_time="$fuzz_seconds" \
        -print_final_stats=1 -artifact_prefix="build/fuzz/$name-" "$work" "fuzz/corpus/$name" \
        2>"build/fuzz/$name.log"; then
      passed=$(( passed + 1 ))
      grep -E 'stat::number_of_executed_units' "build/fuzz/$name.log" || true
    else
      tail -n 40 "build/fuzz/$name.log"; failed=$(( failed + 1 ))
    fi
  done
  tally fuzz $passed $failed
}

run_windows_stage() {
  # One private prefix, one wineserver and one X display for the whole run.
  export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  local xvfb_pid
  start_private_display
  /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
  scripts/wine-run cmd /c exit >/dev/null 2>&1 || true
  run_gtest_stage windows
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    unset DISPLAY
  fi
  return 0
}

run_main_stage() {
  # Five checks: the transcript's lines (an answer's wording, not its timing), the
  # deletion pass's trace on the program's standard error, the exit code, a screenshot
  # that is a PNG of the window's size and not one flat colour, and the phone the
  # simulated WPD server left behind: exactly the deleted objects are gone from it and
  # every other object is still there, unchanged.
  note "main: the main job under Wine"
  local passed=0 failed=0 code=0 job=build/windows/main-job
  scripts/run-main.sh 2>&1 | tee build/main-job.log
  code=${PIPESTATUS[0]}
  if diff <(tr -d '\r' <"$job/transcript.txt" 2>/dev/null) tests/shell/main_job_transcript.txt; then
    passed=$(( passed + 1 ))
  else
    echo "main: the transcript differs from tests/shell/main_job_transcript.txt (above)"
    failed=$(( failed + 1 ))
  fi
  if tr -d '\r' <"$job/stderr.txt" 2>/dev/null | grep -qx 'delete: looking in 202401__'; then
    passed=$(( passed + 1 ))
  else
    echo "main: the program's standard error ($job/stderr.txt) lacks the pass's trace"
    failed=$(( failed + 1 ))
  fi
  if [ "$code" -eq 0 ]; then passed=$(( passed + 1 )); else
    echo "main: exit code $code"; failed=$(( failed + 1 ))
  fi
  local shot
  shot=$(identify -format '%m %wx%h %k' "$job/screenshot.png" 2>/dev/null || true)
  if [ -n "$shot" ] && [ "${shot% *}" = "PNG $(cat "$job/screenshot-size.txt")" ] &&
      [ "${shot##* }" -gt 1 ]; then
    passed=$(( passed + 1 ))
  else
    echo "main: no screenshot of the window's size with more than one colour ($shot)"
    failed=$(( failed + 1 ))
  fi
  if [ -s "$job/phone/after.json" ] && diff <(tests/shell/phone_changes.py \
      standins/phone/examples/phone.json "$job/phone/after.json") tests/shell/main_job_phone_changes.txt; then
    passed=$(( passed + 1 ))
  else
    echo "main: the phone afterwards differs from the example phone in other ways than" \
      "tests/shell/main_job_phone_changes.txt says (above), or was never written"
    failed=$(( failed + 1 ))
  fi
  tally main $passed $failed
}

run_lint_stage() {
  # clang-format over every tracked source; clang-tidy over what the native build compiles.
  note "lint: clang-format and clang-tidy"
  local files failed=0
  mapfile -t files < <(git ls-files '*.h' '*.cpp')
  if ! clang-format --dry-run --Werror "${files[@]}" 2>build/lint-format.log; then
    head -n 40 build/lint-format.log; failed=$(( failed + 1 ))
  fi
  if [ -f build/native/compile_commands.json ]; then
    # Exactly the project's files that the native build compiles (Windows-only files and
    # the fuzz targets are checked by the compilers of their own builds).
    mapfile -t files < <(sed -n 's|^ *"file": "\(.*\)".*|\1|p' build/native/compile_commands.json \
      | grep "^$root/" | grep -v "^$root/build/" | sort -u)
    if ! printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 4 clang-tidy -p build/native --quiet \
        >build/lint-tidy.log 2>&1; then
      grep -E 'error:|warning:' build/lint-tidy.log | head -n 40; failed=$(( failed + 1 ))
    fi
  else
    echo "no native build to lint against"; failed=$(( failed + 1 ))
  fi
  tally lint $(( 2 - failed )) $failed
}

run_clang_cl_stage() {
  # The product build as Visual Studio configures it (an MSVC compiler, the real engine
  # library given), compiled once more by clang-cl 19 in MSVC's mode: every product
  # source syntax-only and the resources through llvm-rc (nothing links without MSVC's
  # libraries; scripts/compile-syntax-only.py), then a search for conditions MSVC calls
  # constant (C4127), which no clang warning reports (scripts/constant-conditions.query).
  # One count per source, one for the search.
  note "clang-cl: the product build in MSVC's mode"
  local dir=build/clang-cl passed=0 failed=0 counts
  if ! cmake --preset clang-cl --fresh >build/build-clang-cl.log 2>&1; then
    cat build/build-clang-cl.log; tally clang-cl 0 1; return
  fi
  rm -f build/build-clang-cl.log
  counts=$(scripts/compile-syntax-only.py "$root" "$dir" "$jobs")
  if [[ ! $counts =~ ^[0-9]+\ [0-9]+$ ]]; then tally clang-cl 0 1; return; fi
  passed=${counts% *} failed=${counts#* }
  local sources found query_log=$dir/constant-conditions.log
  mapfile -t sources < <(sed -n 's|^ *"file": "\(.*\.cpp\)".*|\1|p' "$dir/compile_commands.json" \
    | grep "^$root/" | grep -v "^$root/build/")
  # A source the search could not read fails it too: silence is no proof there.
  local unread=0
  clang-query-19 -p "$dir" -f scripts/constant-conditions.query "${sources[@]}" \
    >"$query_log" 2>&1 || unread=1
  found=$(sed -n 's|^\(.*([0-9]*,[0-9]*)\): note: "constant_condition" binds here$|\1|p' \
    "$query_log" | sort -u)
  if [ -z "$found" ] && [ "$unread" -eq 0 ]; then passed=$(( passed + 1 )); else
    [ -z "$found" ] ||
      sed 's|$|: error: conditional expression is constant (MSVC C4127 at /W4); use if constexpr|' <<<"$found"
    [ "$unread" -eq 0 ] ||
      echo "clang-cl: the constant-condition search could not read every source ($query_log)"
    failed=$(( failed + 1 ))
  fi
  tally clang-cl $passed $failed
}

mkdir -p build
for stage in "${stages[@]}"; do
  case $stage in
    native|sanitize) run_gtest_stage "$stage" ;;
    tsan) run_gtest_stage tsan ;;
    windows) run_windows_stage ;;
    main) run_main_stage ;;
    fuzz) run_fuzz_stage ;;
    lint) run_lint_stage ;;
    clang-cl) run_clang_cl_stage ;;
    *) echo "unknown stage: $stage"; tally "$stage" 0 1 ;;
  esac
done

echo
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
