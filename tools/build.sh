#!/bin/sh
# Builds the wizard and its tests for the given architectures (default: x86 x64)
# into dist/<arch>/ and build/<arch>/; with --program-only, just the wizard.
# Both architectures build the program the same way, whether tests are built or not.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
target=""
if [ "${1:-}" = "--program-only" ]; then
    target="--target MdacRepair"
    shift
fi
ARCHES=${*:-"x86 x64"}
for arch in $ARCHES; do
    case "$arch" in
        x86) toolchain="$ROOT/cmake/mingw-i686.cmake" ;;
        x64) toolchain="$ROOT/cmake/mingw-x86_64.cmake" ;;
        *) echo "unknown architecture: $arch" >&2; exit 2 ;;
    esac
    cmake -S "$ROOT" -B "$ROOT/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DWIZARD_BUILD_TESTS=ON >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$ROOT/build/$arch" --parallel "$(nproc)" $target
done
