#!/usr/bin/env bash
# Builds both release exes a second time, from the same sources copied to
# another folder, and checks that they match dist/x64 and dist/x86 byte for
# byte. Prints the SHA-256 of all four exes.
set -euo pipefail
cd "$(dirname "$0")/../.."
copy=build/repro/second-tree exe=VelmoranTavix_TransformsCleanUp.exe status=0
rm -rf "$copy" && mkdir -p "$copy"
# The working tree as the first build saw it: tracked and new files, no build output.
git ls-files -z --cached --others --exclude-standard |
  tar -c --null -T - --ignore-failed-read | tar -x -C "$copy"
for preset in win64 win32; do
  (cd "$copy" && cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$(nproc)" --target VelmoranTavix_TransformsCleanUp >/dev/null)
done
for arch in x64 x86; do
  sha256sum "dist/$arch/$exe" "$copy/dist/$arch/$exe"
  cmp "dist/$arch/$exe" "$copy/dist/$arch/$exe" || status=1
done
exit "$status"
