#!/usr/bin/env bash
# Checks an exe before it ships, signed or not: GUI subsystem, only the four system DLLs, the
# calls Wine does not show, none of the C runtime's ways out with a "Runtime Error" box (abort,
# _amsg_exit), its size, icon, manifest and version. Prints a line a check, exits 1 on a failure.
#   check-exe.sh EXE
set -uo pipefail
exe=$1
failures=0
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
icons=$(wrestool -x --type=14 --name=101 "$exe" | icotool -l - | sed -n 's/.*--width=\([0-9]*\) --height=[0-9]* --bit-depth=\([0-9]*\).*/\1@\2/p' | sort | xargs)
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' | sort | xargs)
manifest=$(wrestool -x --raw --type=24 "$exe")
check() {
  if eval "$2"; then echo "ok    $1"; else echo "FAIL  $1: $2"; failures=$((failures + 1)); fi
}
check subsystem 'grep -qE "^Subsystem\s+00000002" <<<"$headers"'
check imports '[ "$dlls" = "advapi32.dll kernel32.dll msvcrt.dll ntdll.dll" ]'
check calls 'grep -q SetErrorMode <<<"$headers" && grep -q GetSystemWindowsDirectoryW <<<"$headers"'
check no-abort '! grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+(abort|_amsg_exit)$" <<<"$headers"'
check size '[ "$(stat -c %s "$exe")" -lt 120000 ]'
check icon '[ "$icons" = "16@4 16@8 32@4 32@8" ]'
check manifest '[[ $manifest == *"level=\"asInvoker\" uiAccess=\"false\""* &&
  $manifest == *"<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true<"* ]]'
check version 'wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 | tr -d "\0" | grep -q "Velmoran Tavix"'
exit $((failures > 0))
