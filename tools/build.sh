#!/bin/sh
# Builds the wizard for the given architectures (default: x64 x86) into dist/<arch>/.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARCHES=${*:-"x64 x86"}
for arch in $ARCHES; do
    case "$arch" in
        x64) toolchain="$ROOT/cmake/mingw-x86_64.cmake"; tests=ON ;;
        # The x86 build is the shipping target; Wine here runs 64-bit programs only.
        x86) toolchain="$ROOT/cmake/mingw-i686.cmake"; tests=OFF ;;
        *) echo "unknown architecture: $arch" >&2; exit 2 ;;
    esac
    cmake -S "$ROOT" -B "$ROOT/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DWIZARD_BUILD_TESTS="$tests" >/dev/null
    cmake --build "$ROOT/build/$arch" --parallel "$(nproc)"
done
