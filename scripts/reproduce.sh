#!/usr/bin/env bash
# Builds both exes again from this checkout's tracked files in another folder,
# build/reproduce/src, and compares their SHA-256 with the given exes: one
# commit built with the same packages must give the same bytes in any folder
# on any day. A signed exe is compared without its signature.
#   reproduce.sh [X64_EXE X86_EXE]    default: the exes in dist/x64 and dist/x86
# The tracked files are copied as the working tree holds them (git ls-files),
# not as committed (git archive): on a clean checkout, as in CI or for a
# shipped exe, that is the commit, and before a commit it is what dist/ was
# built from. A file left untracked is missing from the copy, as from a clone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe=VelmoranTavix_TransformsCleanUp.exe
x64=$(realpath -e "${1:-$top/dist/x64/$exe}")
x86=$(realpath -e "${2:-$top/dist/x86/$exe}")
copy=$top/build/reproduce/src
rm -rf "$copy"
mkdir -p "$copy"
# New modification times (--touch), as a clone on another day has them: a build that embeds a
# source file's time then differs.
git -C "$top" ls-files -z | tar -C "$top" --null -T - -c | tar -C "$copy" -x --touch
cd "$copy"

differs=0
compare() { # ARCH PRESET GIVEN
  cmake --preset "$2" >/dev/null
  cmake --build --preset "$2" --target VelmoranTavix_TransformsCleanUp -j "$(nproc)" >/dev/null
  local given=$copy/given-$1.exe
  local headers
  headers=$(x86_64-w64-mingw32-objdump -p "$3")
  # Entry 4 of the data directories is the certificate table, 0 when unsigned.
  if grep -q '^Entry 4 0*[1-9a-f]' <<<"$headers"; then
    osslsigncode remove-signature -in "$3" -out "$given" >/dev/null
  else
    cp "$3" "$given"
  fi
  local rebuilt expected
  rebuilt=$(sha256sum "dist/$1/$exe" | cut -c1-64)
  expected=$(sha256sum "$given" | cut -c1-64)
  if [ "$rebuilt" = "$expected" ]; then
    echo "reproduced $1: $rebuilt $3"
  else
    echo "DIFFERS $1: rebuilt $rebuilt, given $expected $3"
    differs=1
  fi
}
compare x64 win64 "$x64"
compare x86 win32 "$x86"
exit $differs
