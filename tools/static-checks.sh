#!/bin/sh
# The checks that read the source: clang-format's layout and clang-tidy's
# findings, against the MinGW headers of the 64-bit target (the fuzz targets,
# built for this machine, against its own).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
SOURCES=$(git ls-files '*.cpp' '*.h' | while read -r file; do [ -e "$file" ] && echo "$file"; done)
mkdir -p "$ROOT/build"

echo "clang-format: checking layout"
# shellcheck disable=SC2086
clang-format --dry-run --Werror $SOURCES

echo "clang-tidy: checking every source"
GCC_INCLUDE=/usr/lib/gcc/x86_64-w64-mingw32/12-win32/include
# The benchmark's yardstick is read in its larger build.
FLAGS="--target=x86_64-w64-mingw32 -std=c++17 -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0600 -DWINVER=0x0600
       -D_WIN32_IE=0x0600 -DWITH_WIZARD_LIBRARIES -I$ROOT -I$ROOT/resources
       -I$ROOT/tests/gtest-custom -I/usr/src/googletest/googletest/include -isystem $GCC_INCLUDE/c++ -isystem $GCC_INCLUDE/c++/x86_64-w64-mingw32"
# The fuzz targets are built for this machine, not for Windows.
HOST_FLAGS="-std=c++17 -I$ROOT"
export FLAGS HOST_FLAGS
# One clang-tidy per file, as many at a time as there are cores.
{
    git ls-files 'app/*.cpp' 'repair/*.cpp' 'ui/*.cpp' 'winsupport/*.cpp' 'tests/*.cpp' 'tools/*.cpp' |
        grep -v '^tests/fuzz/' | sed 's/^/windows /'
    git ls-files 'tests/fuzz/*.cpp' | sed 's/^/host /'
} | xargs -P "$(nproc)" -L 1 sh -c '
    if [ "$0" = host ]; then flags=$HOST_FLAGS; else flags=$FLAGS; fi
    clang-tidy --quiet "$1" -- $flags 2>&1 | grep -v "warnings generated" || true' >"$ROOT/build/clang-tidy.log"
if grep -q -E "(warning|error):" "$ROOT/build/clang-tidy.log"; then
    cat "$ROOT/build/clang-tidy.log"
    exit 1
fi
echo "static checks passed"
