#!/bin/sh
# Measures the wizard against a program that only shows an empty window, under
# Wine on a private Xvfb display, and writes the table to docs/benchmark.md:
#   ./tools/benchmark.sh [RUNS]      (default 7 runs; each figure is a median)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-7}
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64 x86
# The yardstick and the launcher, built like the shipped program.
OUT="$ROOT/build/bench"
mkdir -p "$OUT"
CXX=x86_64-w64-mingw32-g++-win32
FLAGS="-std=c++17 -Os -Wall -Wextra -Werror -DWIN32_LEAN_AND_MEAN -DNOMINMAX -static -static-libgcc -static-libstdc++ -s"
# shellcheck disable=SC2086
$CXX $FLAGS -mwindows "$ROOT/tools/bench/EmptyWindow.cpp" -o "$OUT/empty_window.exe"
x86_64-w64-mingw32-windres -I"$ROOT/build/x64/generated" "$ROOT/tools/bench/EmptyWindow.rc" -O coff \
    -o "$OUT/empty_window_manifest.o"
# shellcheck disable=SC2086
$CXX $FLAGS -mwindows -DWITH_WIZARD_LIBRARIES "$ROOT/tools/bench/EmptyWindow.cpp" "$OUT/empty_window_manifest.o" \
    -o "$OUT/empty_window_libraries.exe" -lcomctl32 -lshfolder -lversion -lole32 -loleaut32 -lshell32 -ladvapi32
# shellcheck disable=SC2086
$CXX $FLAGS -I"$ROOT" -I"$ROOT/resources" "$ROOT/tools/bench/Launcher.cpp" -o "$OUT/launcher.exe" -lpsapi -lcomctl32 -lole32
BUILT="$ROOT/build/x64/tests"
export WIZARD_PROGRAM="$ROOT/dist/x64/MdacRepair.exe" WIZARD_PROGRAM_X86="$ROOT/dist/x86/MdacRepair.exe" \
    WIZARD_WINDOW_INSPECTOR="$BUILT/window_inspector.exe" WIZARD_FIXTURE_TOOL="$BUILT/fixture_tool.exe" \
    WIZARD_STAND_IN="$BUILT/stand_in_component.dll"
exec python3 "$ROOT/tools/bench/benchmark.py" "$ROOT/docs/benchmark.md" --runs "$RUNS" \
    --launcher "$OUT/launcher.exe" --empty "$OUT/empty_window.exe" \
    --empty-libraries "$OUT/empty_window_libraries.exe"
