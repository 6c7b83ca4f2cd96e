#!/usr/bin/env bash
# Usage: run_fuzzers.sh BUILD_DIR SECONDS: fuzzes from the kept inputs (seeds,
# regressions) in BUILD_DIR/fuzz-work; a failing input is left in its artifacts/,
# to be kept in tests/fuzz/regressions/replace_all_fuzz.
set -euo pipefail
build=$(cd "$1" && pwd) here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz-work
rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
cp "$here"/corpus/replace_all_fuzz/* "$here"/regressions/replace_all_fuzz/* "$work/corpus/" 2>/dev/null || true
"$build/tests/replace_all_fuzz" -max_total_time="$2" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" 2>&1 | tee "$work/fuzz.log" |
  grep -E 'number_of_executed_units|check failed|SUMMARY'
