#!/usr/bin/env bash
# Builds the exe and runs it under Wine on a freshly seeded sample
# installation, showing the "Transforms" value and the cached file before
# and after, the run's log and its exit code.
#   main-job.sh [x64|x86]     (x86: 32-bit Wine, see scripts/x86-wine.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:-x64}
scripts/install-deps.sh
case $arch in
  x64)
    preset=win64 prefix=$PWD/build/main-job/wineprefix
    echo "Preparing a throwaway Wine prefix in $prefix"
    scripts/wine64.sh "$prefix" init
    wine() { scripts/wine64.sh "$prefix" "$@"; }
    stop() { scripts/wine64.sh "$prefix" stop; }
    ;;
  x86)
    preset=win32
    scripts/x86-wine.sh setup
    wine() { scripts/x86-wine.sh run "$@"; }
    stop() { scripts/x86-wine.sh stop; }
    ;;
  *) echo "usage: $0 [x64|x86]" >&2; exit 2 ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
exe=$(realpath "dist/$arch/VelmoranTavix_TransformsCleanUp.exe")
exe="Z:${exe//\//\\}"

code='{6D2E47B1-0000-1033-0002-5A9C20F3E184}'
product='HKLM\Software\Velmoran\Velmoran Tavix\R1.0\ProductSpecific'
installer='HKCR\Installer\Products\1B74E2D6000033010020A5C9023F1E48'
folder="C:\\windows\\Installer\\$code"
file="$folder\\VelmoranTavix.mst"
log='%TEMP%\VelmoranTavix_TransformsCleanUp.log'
quiet() { wine "$@" >/dev/null 2>&1; }

echo "Sample installation: the 32-bit product at build 1.0.43.27"
quiet reg delete "$installer" /f || true
quiet reg add "$product" /reg:32 /v BuildVersion /d 1.0.43.27 /f
quiet reg add "$product" /reg:32 /v upiMasterID /d "$code" /f
quiet reg add "$installer" /v Transforms /d "$file;" /f
quiet cmd /c "mkdir $folder & echo transform>$file & del $log"
show() {
  echo "--- $1 the run"
  wine reg query "$installer" /v Transforms | grep Transforms || echo "Transforms: (absent)"
  wine cmd /c "if exist $file (echo $file exists) else (echo $file is gone)"
}
show Before
echo "--- The run"
wine cmd /c "start /wait $exe & echo Exit code: %errorlevel% & echo Log: & type $log"
show After
# The sample installation goes again: the 32-bit prefix is shared with the tests, which refuse
# to run where the product looks installed.
quiet reg delete "$product" /reg:32 /f || true
quiet reg delete "$installer" /f || true
stop
