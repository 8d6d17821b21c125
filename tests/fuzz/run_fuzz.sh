#!/usr/bin/env bash
# run_fuzz.sh FUZZER CORPUS ARTIFACTS SECONDS: runs FUZZER for SECONDS over a
# scratch copy of its seed corpus (new inputs never go back into the tree);
# fails on any crash, failed check, leak, timeout or sanitizer report, and
# leaves the input that caused it in ARTIFACTS.
set -euo pipefail
fuzzer=$1 corpus=$2 artifacts=$3 seconds=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/gallows-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R "$corpus"/. "$work"/
rm -rf "$artifacts" && mkdir -p "$artifacts"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$work"
