#!/bin/sh
# Writes a PNG of every page state of the wizard, in English and German, to
# docs/screenshots/<language>/, taken on a private Xvfb display from fresh
# temporary Wine prefixes by walking the built program from outside.
#   ./tools/screenshots.sh                     96 dpi, into docs/screenshots
#   ./tools/screenshots.sh --dpi 120 OUTDIR    another screen resolution, elsewhere
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/docs/screenshots"
DPI=""
while [ $# -gt 0 ]; do
    case "$1" in
        --dpi) DPI="--dpi $2"; shift 2 ;;
        *) OUT=$1; shift ;;
    esac
done
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64
BUILT="$ROOT/build/x64/tests"
export WIZARD_PROGRAM="$ROOT/dist/x64/MdacRepair.exe" \
    WIZARD_WINDOW_INSPECTOR="$BUILT/window_inspector.exe" \
    WIZARD_FIXTURE_TOOL="$BUILT/fixture_tool.exe" \
    WIZARD_STAND_IN="$BUILT/stand_in_component.dll" \
    WIZARD_URL_RECORDER="$BUILT/url_recorder.exe"
# shellcheck disable=SC2086
exec python3 "$ROOT/tests/e2e/take_screenshots.py" "$OUT" $DPI
