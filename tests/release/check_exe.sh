#!/usr/bin/env bash
# Release checks for a built executable.
#   usage: check_exe.sh EXE x64|x86
# Prints one "ok"/"FAIL" line per check and exits non-zero if any check fails.
set -euo pipefail

OBJDUMP=${OBJDUMP:-x86_64-w64-mingw32-objdump}
EXPECTED_ICONS="16x16@4 16x16@8 32x32@4 32x32@8"
PRODUCT_NAME="Velmoran Tavix"

usage() {
    echo "usage: $0 EXE x64|x86" >&2
    exit 2
}

[[ $# -eq 2 ]] || usage
exe=$1
case $2 in
    x64) expected_format=pei-x86-64 ;;
    x86) expected_format=pei-i386 ;;
    *) usage ;;
esac
[[ -f $exe ]] || { echo "$exe: no such file" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

ok() { printf 'ok    %-9s %s\n' "$1" "$2"; }
fail() { printf 'FAIL  %-9s %s\n' "$1" "$2"; failures=$((failures + 1)); }

is_system_dll() {
    case ${1,,} in
        kernel32.dll | advapi32.dll | msvcrt.dll | user32.dll | api-ms-win-crt-*.dll) return 0 ;;
        *) return 1 ;;
    esac
}

check_machine() {
    local format
    format=$("$OBJDUMP" -f "$exe" 2>/dev/null | sed -n 's/.*file format //p' || true)
    if [[ $format == "$expected_format" ]]; then
        ok machine "$format"
    else
        fail machine "expected $expected_format, found '${format:-unreadable}'"
    fi
}

check_subsystem() {
    local line
    line=$(grep -E '^Subsystem[[:space:]]' "$work/headers" || true)
    if [[ $line =~ [[:space:]]00000002([[:space:]]|$) ]]; then
        ok subsystem "Windows GUI"
    else
        fail subsystem "expected 00000002 (Windows GUI), found '${line:-none}'"
    fi
}

check_imports() {
    local dlls dll foreign=()
    mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers")
    if [[ ${#dlls[@]} -eq 0 ]]; then
        fail imports "no import table found"
        return
    fi
    for dll in "${dlls[@]}"; do
        is_system_dll "$dll" || foreign+=("$dll")
    done
    if [[ ${#foreign[@]} -eq 0 ]]; then
        ok imports "${dlls[*]}"
    else
        fail imports "non-system DLLs: ${foreign[*]}"
    fi
}

check_icon() {
    local found
    wrestool -x --type=14 --name=101 -o "$work/app.ico" "$exe" 2>/dev/null || true
    if [[ ! -s $work/app.ico ]]; then
        fail icon "no icon group 101"
        return
    fi
    found=$(icotool -l "$work/app.ico" 2>/dev/null |
        sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\) --bit-depth=\([0-9]*\).*/\1x\2@\3/p' |
        sort | tr '\n' ' ' || true)
    found=${found% }
    if [[ $found == "$EXPECTED_ICONS" ]]; then
        ok icon "group 101: $found"
    else
        fail icon "group 101 expected '$EXPECTED_ICONS', found '$found'"
    fi
}

check_manifest() {
    local manifest missing=()
    manifest=$(wrestool -x --raw --type=24 "$exe" 2>/dev/null || true)
    if [[ -z $manifest ]]; then
        fail manifest "no manifest resource"
        return
    fi
    [[ $manifest == *'level="asInvoker"'* ]] || missing+=('level="asInvoker"')
    [[ $manifest == *'uiAccess="false"'* ]] || missing+=('uiAccess="false"')
    if [[ ${#missing[@]} -eq 0 ]]; then
        ok manifest 'level="asInvoker" uiAccess="false"'
    else
        fail manifest "missing ${missing[*]}"
    fi
}

check_version() {
    wrestool -x --raw --type=16 -o "$work/version.bin" "$exe" 2>/dev/null || true
    if [[ ! -s $work/version.bin ]]; then
        fail version "no version resource"
        return
    fi
    # Version strings are UTF-16LE; every field starts on a 16-bit boundary.
    if python3 - "$work/version.bin" "$PRODUCT_NAME" <<'EOF'; then
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16-le", "replace")
sys.exit(sys.argv[2] not in text)
EOF
        ok version "mentions '$PRODUCT_NAME'"
    else
        fail version "strings do not mention '$PRODUCT_NAME'"
    fi
}

"$OBJDUMP" -p "$exe" >"$work/headers" 2>/dev/null || true
check_machine
check_subsystem
check_imports
check_icon
check_manifest
check_version

if [[ $failures -gt 0 ]]; then
    echo "$exe: $failures check(s) failed"
    exit 1
fi
echo "$exe: all checks passed"
