#!/bin/sh
# The checks that read the source: clang-format's layout and clang-tidy's
# findings, both against the MinGW headers of the 64-bit target.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
SOURCES=$(git ls-files '*.cpp' '*.h' | while read -r file; do [ -e "$file" ] && echo "$file"; done)
mkdir -p "$ROOT/build"

echo "clang-format: checking layout"
# shellcheck disable=SC2086
clang-format --dry-run --Werror $SOURCES

echo "clang-tidy: checking the program's sources"
GCC_INCLUDE=/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include
FLAGS="--target=x86_64-w64-mingw32 -std=c++17 -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0600 -DWINVER=0x0600
       -D_WIN32_IE=0x0600 -I$ROOT -I$ROOT/resources -I/usr/src/googletest/googletest/include
       -isystem $GCC_INCLUDE/c++ -isystem $GCC_INCLUDE/c++/x86_64-w64-mingw32"
export FLAGS
# One clang-tidy per file, as many at a time as there are cores.
git ls-files 'app/*.cpp' 'repair/*.cpp' 'ui/*.cpp' 'winsupport/*.cpp' |
    xargs -P "$(nproc)" -I{} sh -c 'clang-tidy --quiet "{}" -- $FLAGS 2>&1 | grep -v "warnings generated" || true' \
    >"$ROOT/build/clang-tidy.log"
# (the test sources follow the same configuration, see tests/.clang-tidy, but
# are left out here to keep the run short)
if grep -q -E "(warning|error):" "$ROOT/build/clang-tidy.log"; then
    cat "$ROOT/build/clang-tidy.log"
    exit 1
fi
echo "static checks passed"
