#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (plain and under the
# sanitizers), the registry suite on both registries, the scenarios on the
# simulated platform and on the real exe under Wine, the release checks of
# both exes, fuzzing for a few seconds per target, and the style checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in win64 win32 asan fuzz; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# Configured last: it adds the tests of the trees built above.
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"
