#!/usr/bin/env bash
# A hard link and a symbolic link, made from Linux at the log's name under
# Wine: the typical run ends as usual and the file behind the link keeps
# every byte.
#   planted_links.sh WINE_PREFIX WINE_TESTS_EXE --exe=EXE
set -euo pipefail
prefix=$1 tavix=$1/drive_c/tavix
shift
trap 'rm -rf "$tavix/temp" "$tavix/kept.txt"' EXIT  # for the tests that share the prefix
for kind in Hard Symbolic; do
  rm -rf "$tavix/temp" && mkdir -p "$tavix/temp" && printf kept >"$tavix/kept.txt"
  ln $([ $kind = Symbolic ] && echo -s) "$tavix/kept.txt" \
    "$tavix/temp/VelmoranTavix_TransformsCleanUp.log"
  "$(dirname "$0")/wine.sh" "$prefix" "$@" --gtest_filter="Table/*/LogIsA${kind}Link" |
    tee /dev/stderr | grep -q '^\[  PASSED  \] 1 test'
  [ "$(cat "$tavix/kept.txt")" = kept ] && [ ! -L "$tavix/kept.txt" ]
  echo "$kind link at the log's name: the file behind it is unchanged"
done
