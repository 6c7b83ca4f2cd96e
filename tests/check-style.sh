#!/usr/bin/env bash
# Style checks over the sources.
#   check-style.sh format            clang-format, every C++ file
#   check-style.sh tidy BUILD_DIR    clang-tidy over src/ with the compile commands of the
#                                    win64 tree BUILD_DIR, for MinGW's headers (the runtime
#                                    replacements of terminate_win.cpp are left to the compiler)
set -euo pipefail
cd "$(dirname "$0")/.."
case "$1" in
  format)
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run --Werror "${files[@]}"
    echo "clang-format: ${#files[@]} files clean"
    ;;
  tidy)
    cxx=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include/c++ | tail -n 1)
    git ls-files 'src/*.cpp' | grep -v terminate_win.cpp | xargs -P "$(nproc)" -n 4 clang-tidy -p "$2" \
      --quiet --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem"$cxx" \
      --extra-arg=-isystem"$cxx/x86_64-w64-mingw32" 2>&1 | { grep -v 'warnings generated' || true; }
    echo "clang-tidy: clean"
    ;;
  *) echo "usage: $0 format | tidy BUILD_DIR" >&2; exit 2 ;;
esac
