#!/usr/bin/env bash
# Reports the shipped exes' sizes and the x64 exe's run time under Wine as a
# ratio to a GUI exe that only opens the product's key and reads one value,
# started the same way. Needs the win64 and win32
# builds. Measurements only: nothing here passes or fails.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-101}
for arch in x64 x86; do
  exe=dist/$arch/VelmoranTavix_TransformsCleanUp.exe
  [ -f "$exe" ] && stat -c %s "$exe" |
    awk -v arch="$arch" '{ printf "%s exe: %d bytes (%.1f KiB), stripped\n", arch, $1, $1 / 1024 }'
done

# The main job's prefix, with the product's values seeded again after its run: each run then
# goes the whole way (the cached file is gone after the first).
scripts/main-job.sh x64 >/dev/null
prefix=$PWD/build/main-job/wineprefix
wine="scripts/wine64.sh $prefix"
product='HKLM\Software\Velmoran\Velmoran Tavix\R1.0\ProductSpecific'
$wine reg add "$product" /reg:32 /v BuildVersion /d 1.0.43.27 /f >/dev/null 2>&1
$wine reg add "$product" /reg:32 /v upiMasterID /d '{6D2E47B1-0000-1033-0002-5A9C20F3E184}' /f >/dev/null 2>&1
exe=$PWD/dist/x64/VelmoranTavix_TransformsCleanUp.exe
baseline=build/win64/tools/timing/one_value.exe
to_windows() { local path; path=$(realpath "$1"); echo "Z:${path//\//\\}"; }

# Started from Linux, one wine64 process per run, as the tests start it.
median_ms() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1e6 }'; }
baseline_times=() exe_times=()
for _ in $(seq "$runs"); do
  for which in baseline exe; do
    start=$(date +%s%N)
    $wine "${!which}" >/dev/null
    elapsed=$(($(date +%s%N) - start))
    if [ "$which" = baseline ]; then baseline_times+=("$elapsed"); else exe_times+=("$elapsed"); fi
  done
done
e=$(printf '%s\n' "${baseline_times[@]}" | median_ms)
x=$(printf '%s\n' "${exe_times[@]}" | median_ms)
awk -v e="$e" -v x="$x" -v n="$runs" 'BEGIN {
  printf "started from Linux: one-value exe %s ms, clean-up exe %s ms (medians of %d), ratio %.3f\n",
    e, x, n, x / e }'

# Started inside Wine by CreateProcess, which leaves out Wine's own start-up.
echo "started inside Wine:"
$wine build/win64/tools/timing/run_timer.exe "$runs" "$(to_windows "$baseline")" "$(to_windows "$exe")"
$wine stop
