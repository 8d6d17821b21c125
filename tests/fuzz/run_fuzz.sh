#!/usr/bin/env bash
# run_fuzz.sh FUZZER CORPUS ARTIFACTS SECONDS
# Runs one fuzz target for SECONDS over a scratch copy of its committed seed
# corpus (new inputs go to the copy, never back into the tree). Exits non-zero
# on any crash, failed check, leak, timeout or sanitizer report; the input
# that caused it is left in ARTIFACTS.
set -euo pipefail
fuzzer=$1 corpus=$2 artifacts=$3 seconds=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/gallows-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R "$corpus"/. "$work"/
rm -rf "$artifacts"
mkdir -p "$artifacts"

echo "fuzzing $(basename "$fuzzer") for ${seconds}s over $(ls "$work" | wc -l) seed inputs"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" || status=$?
if ((status != 0)); then
  echo "$(basename "$fuzzer") failed (exit $status); inputs kept in $artifacts:" >&2
  ls -l "$artifacts" >&2
  echo "replay one with: $fuzzer <file>" >&2
fi
exit "$status"
