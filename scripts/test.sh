#!/usr/bin/env bash
# Builds everything and runs every test: the lint (scripts/lint.sh), both exes built again in
# another folder and compared (scripts/reproduce.sh), then CTest: the Windows test program
# against the real exes under 64-bit and 32-bit Wine, the abnormal end's exit code, the release
# checks of both exes, signing, and a few seconds of fuzzing of the Transforms edit under the
# sanitizers. TAVIX_SKIP_X86=1 leaves the 32-bit Wine out (its tests then show as skipped).
# A failed lint or rebuild is told before CTest runs, and fails the command after it.
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
# The rebuild runs while the 32-bit Wine root may still be in the making. CTest runs last, so
# that its summary ends the output; a failed lint or rebuild is told before it, and fails the
# command after it.
scripts/reproduce.sh >build/reproduce.log 2>&1 &
reproduce=$!
failed=()
if ! scripts/lint.sh; then failed+=(lint); fi
if ! wait $reproduce; then failed+=(reproduce); fi
cat build/reproduce.log
status=0
wait $x86 || status=$?
cat build/x86-setup.log
if [ $status != 0 ] && [ $status != 77 ]; then
  echo "test.sh: the 32-bit Wine setup failed" >&2
  exit 1
fi
if [ ${#failed[@]} -gt 0 ]; then echo "test.sh: failed: ${failed[*]}; the tests run all the same" >&2; fi
ctest --preset host -j "$jobs"
[ ${#failed[@]} = 0 ]
