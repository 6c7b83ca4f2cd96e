#!/usr/bin/env bash
# Builds the x64 exe and runs it under Wine on a freshly seeded sample
# installation, showing the "Transforms" value and the cached file before
# and after, the run's log and its exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" >/dev/null
exe=$PWD/dist/x64/VelmoranTavix_TransformsCleanUp.exe
prefix=$PWD/build/main-job/wineprefix
echo "Preparing a throwaway Wine prefix in $prefix"
tests/wine/wine.sh "$prefix" init
tests/wine/wine.sh "$prefix" build/win64/tests/wine/scenarios.exe \
  "--exe=Z:${exe//\//\\}" --sample
tests/wine/wine.sh "$prefix" stop
