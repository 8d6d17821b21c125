#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then builds
# it all again with AddressSanitizer and UndefinedBehaviorSanitizer (plus the
# fuzz targets) and runs the whole suite once more under them.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

cmake --preset default
cmake --build --preset default
ctest --preset default

# Sanitizer reports go to files as well as failing their test, so a report
# from a program a test starts (whose exit code the test may not look at)
# still fails the run.
reports=$PWD/build-asan/sanitizer-reports
cmake --preset asan
cmake --build --preset asan
rm -rf "$reports"
mkdir -p "$reports"
status=0
GALLOWS_ASAN_LOG="log_path=$reports/asan" GALLOWS_UBSAN_LOG="log_path=$reports/ubsan" \
  ctest --preset asan || status=$?
if compgen -G "$reports/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  for report in "$reports"/*; do
    echo "==== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit "$status"
