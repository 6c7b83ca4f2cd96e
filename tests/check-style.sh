#!/usr/bin/env bash
# Style checks over the sources.
#   check-style.sh format            clang-format, every C++ file
#   check-style.sh tidy BUILD_DIR    clang-tidy over src/, with BUILD_DIR's
#                                    compile commands (the Windows-only files
#                                    are left to the compiler's warnings)
set -euo pipefail
cd "$(dirname "$0")/.."
case "$1" in
  format)
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run --Werror "${files[@]}"
    echo "clang-format: ${#files[@]} files clean"
    ;;
  tidy)
    mapfile -t files < <(git ls-files 'src/*.cpp' | grep -v -E '_win\.cpp$|win32_platform\.cpp$')
    clang-tidy -p "$2" --quiet "${files[@]}"
    echo "clang-tidy: ${#files[@]} files clean"
    ;;
  *) echo "usage: $0 format | tidy BUILD_DIR" >&2; exit 2 ;;
esac
