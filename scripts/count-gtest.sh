#!/usr/bin/env bash
# Prints "<passed> <failed>" for one CTest run of GoogleTest executables.
# Usage: count-gtest.sh <results-dir> <ctest-log>
# Cases come from each executable's XML; an executable that failed without leaving
# XML that shows a failure (a crash, a hang, a sanitizer abort) counts as one failure.
set -uo pipefail
results=$1
log=$2
passed=0
failed=0
for xml in "$results"/*.xml; do
  [ -e "$xml" ] || continue
  header=$(grep -m1 '<testsuites' "$xml")
  tests=$(sed -n 's/.*<testsuites tests="\([0-9]*\)".*/\1/p' <<<"$header")
  fails=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$header")
  errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$header")
  disabled=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$header")
  bad=$(( ${fails:-0} + ${errors:-0} ))
  passed=$(( passed + ${tests:-0} - ${disabled:-0} - bad ))
  failed=$(( failed + bad ))
done
# "  12 - name (Failed)" lines after "The following tests FAILED:".
while read -r name; do
  xml="$results/$name.xml"
  bad=0
  if [ -e "$xml" ]; then
    header=$(grep -m1 '<testsuites' "$xml")
    bad=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$header")
  fi
  [ "${bad:-0}" -eq 0 ] && failed=$(( failed + 1 ))
done < <(sed -n '/The following tests FAILED:/,$p' "$log" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p')
echo "$passed $failed"
