#!/bin/sh
# Usage: run_fuzzers.sh BUILD_DIR SECONDS
#
# For every fuzz target: runs the kept regression inputs and the seed corpus
# once each, then fuzzes for SECONDS seconds on a scratch copy of the corpus
# under BUILD_DIR (the source tree is never written). Prints the executions
# per target; exits non-zero if any target crashed or disagreed. Inputs that
# fail are left in BUILD_DIR/fuzz-work/TARGET/artifacts, to be copied into
# tests/fuzz/regressions/TARGET.
set -u

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd) || exit 2
seconds=$2
source_dir=$(cd "$(dirname "$0")" && pwd)
timeout=10
targets="split_fuzz replace_all_fuzz wide_to_utf8_fuzz registry_read_fuzz"

status=0
for target in $targets; do
  binary=$build_dir/tests/fuzz/$target
  [ -x "$binary" ] || binary=$build_dir/$target
  if [ ! -x "$binary" ]; then
    echo "$target: not built in $build_dir" >&2
    status=1
    continue
  fi
  work=$build_dir/fuzz-work/$target
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"

  # Single runs of the kept inputs; .gitkeep only holds an empty folder. An
  # input that takes longer than $timeout seconds counts as a failure.
  inputs=$(find "$source_dir/regressions/$target" "$source_dir/corpus/$target" \
             -type f ! -name .gitkeep 2>/dev/null | sort)
  if [ -n "$inputs" ]; then
    # shellcheck disable=SC2086  # the paths hold no blanks
    if ! "$binary" -timeout="$timeout" -artifact_prefix="$work/artifacts/" $inputs \
           >"$work/replay.log" 2>&1; then
      echo "$target: FAILED on a kept input (log: $work/replay.log)"
      tail -n 30 "$work/replay.log"
      status=1
      continue
    fi
    # shellcheck disable=SC2086
    cp $inputs "$work/corpus/"
  fi

  "$binary" -max_total_time="$seconds" -timeout="$timeout" -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/fuzz.log" 2>&1
  result=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log")
  if [ $result -ne 0 ]; then
    echo "$target: FAILED after ${executions:-?} executions (log: $work/fuzz.log)"
    grep -E 'check failed|ERROR|SUMMARY|Test unit written' "$work/fuzz.log"
    status=1
  else
    echo "$target: ${executions:-?} executions, no failure"
  fi
done
exit $status
