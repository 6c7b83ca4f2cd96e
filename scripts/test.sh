#!/usr/bin/env bash
# Builds everything and runs every test: the Windows test program against the real exes
# under 64-bit and 32-bit Wine, the release checks of both exes, and a few seconds of fuzzing
# of the Transforms edit under the sanitizers. TAVIX_SKIP_X86=1 leaves the 32-bit Wine out
# (its tests then show as skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The 32-bit Wine root is prepared (once per machine) while the builds run.
mkdir -p build
scripts/x86-wine.sh setup >build/x86-setup.log 2>&1 &
x86=$!
jobs=$(nproc)
for preset in win64 win32 fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# Configured last: it adds the tests of the trees built above.
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
status=0
wait $x86 || status=$?
cat build/x86-setup.log
[ $status = 0 ] || [ $status = 77 ] || exit $status
ctest --preset host -j "$jobs"
