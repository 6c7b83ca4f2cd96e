#!/usr/bin/env bash
# Builds small executables with and without the expected properties and checks
# that check_exe.sh accepts the good ones and names the failing check otherwise.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
check="$here/check_exe.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >main.cpp <<'EOF'
#include <windows.h>
#include <string>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmd, int) {
    return static_cast<int>(std::wstring(cmd).size());
}
EOF

# resources NAME ICON MANIFEST: compile the application .rc against the given files.
resources() {
    local name=$1 icon=$2 manifest=$3 arch
    sed -e "s|@TAVIX_ICON_FILE@|$icon|" -e "s|@TAVIX_MANIFEST_FILE@|$manifest|" \
        "$root/res/app.rc.in" >"$name.rc"
    for arch in x86_64 i686; do
        "$arch-w64-mingw32-windres" -O coff "$name.rc" -o "$name-$arch.res"
    done
}

# build NAME ARCH FLAGS...: link main.cpp with the given flags into NAME.exe.
build() {
    local name=$1 arch=$2
    shift 2
    "$arch-w64-mingw32-g++" -municode -o "$name.exe" main.cpp "$@"
}

python3 "$root/tools/make_icon.py" app.ico
python3 - "$root/tools" only8bpp.ico <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
import make_icon
make_icon.DEPTHS = (8,)
open(sys.argv[2], "wb").write(make_icon.icon_file())
EOF
sed 's/asInvoker/requireAdministrator/' "$root/res/app.manifest" >admin.manifest

resources good app.ico "$root/res/app.manifest"
resources fewicons only8bpp.ico "$root/res/app.manifest"
resources admin app.ico admin.manifest

build good64 x86_64 good-x86_64.res -mwindows -static
build good32 i686 good-i686.res -mwindows -static
build console x86_64 good-x86_64.res -mconsole -static
build dynamic x86_64 good-x86_64.res -mwindows
build bare x86_64 -mwindows -static
build fewicons x86_64 fewicons-x86_64.res -mwindows -static
build admin x86_64 admin-x86_64.res -mwindows -static

# exe, arch, check expected to fail ("-" when all checks should pass)
cases=(
    "good64   x64 -"
    "good32   x86 -"
    "good64   x86 machine"
    "good32   x64 machine"
    "console  x64 subsystem"
    "dynamic  x64 imports"
    "bare     x64 icon"
    "bare     x64 manifest"
    "bare     x64 version"
    "fewicons x64 icon"
    "admin    x64 manifest"
)

failed=0
for case in "${cases[@]}"; do
    read -r exe arch expected <<<"$case"
    status=0
    output=$("$check" "$exe.exe" "$arch") || status=$?
    if [[ $expected == - ]]; then
        verdict=$([[ $status -eq 0 && $output != *FAIL* ]] && echo pass || echo fail)
    else
        verdict=$([[ $status -eq 1 && $output =~ FAIL\ +$expected\  ]] && echo pass || echo fail)
    fi
    if [[ $verdict == pass ]]; then
        echo "pass  $case"
    else
        echo "FAIL  $case (exit $status)"
        echo "$output" | sed 's/^/      /'
        failed=1
    fi
done
exit "$failed"
