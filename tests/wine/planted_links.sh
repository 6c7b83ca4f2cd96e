#!/usr/bin/env bash
# Links made from Linux, which Wine cannot make: a symbolic link at the log's
# name (the typical run ends as usual and the file behind it keeps its bytes);
# then, for the log's own tests, a folder link, a dangling link at the name
# and a drive letter mapped to a folder.
#   planted_links.sh WINE_PREFIX|x86|wow64 WINE_TESTS_EXE --exe=EXE
# (x86, wow64: the 32-bit and the 64-bit prefix of scripts/x86-wine.sh)
set -euo pipefail
scripts=$(dirname "$0")/../../scripts
run=("$scripts/wine64.sh" "$1") prefix=$1
[ "$1" != x86 ] || run=("$scripts/x86-wine.sh" run) prefix=$("$scripts/x86-wine.sh" prefix)
[ "$1" != wow64 ] || run=("$scripts/x86-wine.sh" run64) prefix=$("$scripts/x86-wine.sh" prefix64)
tavix=$prefix/drive_c/tavix drive=$prefix/dosdevices/t:
logs=$tavix/logs
shift
trap 'rm -rf "$tavix" "$drive"' EXIT  # for the tests that share the prefix
# Relative, so that the links also hold inside the 32-bit Wine's root.
rm -rf "$tavix" && mkdir -p "$tavix/temp" && printf kept >"$tavix/kept.txt"
ln -s ../kept.txt "$tavix/temp/VelmoranTavix_TransformsCleanUp.log"
"${run[@]}" "$@" --planted-link --gtest_filter='Table/*/LogIsASymbolicLink' |
  tee /dev/stderr | grep -q '^\[  PASSED  \] 1 test\.'
mkdir -p "$logs/the real folder" "$logs/dangling" "$logs/mapped"
ln -s "the real folder" "$logs/linked"
ln -s ../absent.txt "$logs/dangling/VelmoranTavix_TransformsCleanUp.log"
ln -sfn ../drive_c/tavix/logs/mapped "$drive"
"${run[@]}" "$@" --gtest_filter='*LogFile*' | tee /dev/stderr | { ! grep -q '^\[  SKIPPED \]'; }
