#!/usr/bin/env bash
# Usage: run_fuzzers.sh BUILD_DIR SECONDS
# Fuzzes every target for SECONDS seconds, starting with the kept inputs
# (regressions and seeds, copied to BUILD_DIR/fuzz-work/TARGET so that the
# source tree is never written). An input that fails is left there in
# artifacts/, to be kept in tests/fuzz/regressions/TARGET.
set -uo pipefail
build=$(cd "$1" && pwd) here=$(cd "$(dirname "$0")" && pwd) status=0
for target in replace_all_fuzz wide_to_utf8_fuzz; do
  work=$build/fuzz-work/$target
  rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
  cp "$here"/corpus/$target/* "$here"/regressions/$target/* "$work/corpus/" 2>/dev/null
  if "$build/tests/fuzz/$target" -max_total_time="$2" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/fuzz.log" 2>&1; then
    echo "$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log") runs"
  else
    echo "$target: FAILED, see $work/fuzz.log" && grep -E 'check failed|SUMMARY' "$work/fuzz.log"
    status=1
  fi
done
exit $status
