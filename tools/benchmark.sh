#!/bin/sh
# Measures the wizard against a program that only shows an empty window, under
# Wine on a private Xvfb display, and writes the table to docs/benchmark.md:
#   ./tools/benchmark.sh [RUNS]      (default 7 runs; each figure is a median)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-7}
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64 x86
# The yardstick and the launcher are built with the x64 tests.
OUT="$ROOT/build/x64/tools/bench"
BUILT="$ROOT/build/x64/tests"
export WIZARD_PROGRAM="$ROOT/dist/x64/MdacRepair.exe" WIZARD_PROGRAM_X86="$ROOT/dist/x86/MdacRepair.exe" \
    WIZARD_WINDOW_INSPECTOR="$BUILT/window_inspector.exe" WIZARD_FIXTURE_TOOL="$BUILT/fixture_tool.exe" \
    WIZARD_STAND_IN="$BUILT/stand_in_component.dll" WIZARD_STAND_IN_FAILING="$BUILT/stand_in_failing.dll" \
    WIZARD_STAND_IN_CRASHES="$BUILT/stand_in_crashes.dll"
exec python3 "$ROOT/tools/bench/benchmark.py" "$ROOT/docs/benchmark.md" --runs "$RUNS" \
    --launcher "$OUT/launcher.exe" --empty "$OUT/empty_window.exe" \
    --empty-libraries "$OUT/empty_window_libraries.exe"
