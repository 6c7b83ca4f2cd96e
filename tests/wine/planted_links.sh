#!/usr/bin/env bash
# Hard and symbolic links made from Linux at the log's name under Wine: the
# typical run ends as usual and the file behind the link keeps every byte.
# Then the log's own tests, with a folder link, a dangling link at the name
# and a drive letter mapped to a folder.
#   planted_links.sh WINE_PREFIX|x86|wow64 WINE_TESTS_EXE --exe=EXE
# (x86, wow64: the 32-bit and the 64-bit prefix of scripts/x86-wine.sh)
set -euo pipefail
scripts=$(dirname "$0")/../../scripts
run=("$scripts/wine64.sh" "$1") prefix=$1
[ "$1" != x86 ] || run=("$scripts/x86-wine.sh" run) prefix=$("$scripts/x86-wine.sh" prefix)
[ "$1" != wow64 ] || run=("$scripts/x86-wine.sh" run64) prefix=$("$scripts/x86-wine.sh" prefix64)
tavix=$prefix/drive_c/tavix
shift
logs=$tavix/logs drive=$prefix/dosdevices/t:
trap 'rm -rf "$tavix/temp" "$tavix/kept.txt" "$logs" "$drive"' EXIT  # for the tests that share the prefix
for kind in Hard Symbolic; do
  rm -rf "$tavix/temp" && mkdir -p "$tavix/temp" && printf kept >"$tavix/kept.txt"
  # Relative, so that the link also holds inside the 32-bit Wine's root.
  (cd "$tavix/temp" && ln $([ $kind = Symbolic ] && echo -s) ../kept.txt \
    VelmoranTavix_TransformsCleanUp.log)
  # The case reads the file behind the link: it must still say "kept".
  "${run[@]}" "$@" --planted-link --gtest_filter="Table/*/LogIsA${kind}Link" |
    tee /dev/stderr | grep -q '^\[  PASSED  \] 1 test\.'
done
rm -rf "$logs" && mkdir -p "$logs/the real folder" "$logs/dangling" "$logs/mapped"
ln -s "the real folder" "$logs/linked"
ln -s ../absent.txt "$logs/dangling/VelmoranTavix_TransformsCleanUp.log"
ln -sfn ../drive_c/tavix/logs/mapped "$drive"
"${run[@]}" "$@" --gtest_filter='*LogFile*' | tee /dev/stderr | { ! grep -q '^\[  SKIPPED \]'; }
