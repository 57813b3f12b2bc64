#!/bin/sh
# Builds both architectures and runs every test: the Windows suites under Wine
# in fresh temporary prefixes on a private Xvfb display, and the build checks.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64 x86
"$ROOT/tools/check-imports.sh" "$ROOT/dist/x64/MdacRepair.exe" "$ROOT/dist/x86/MdacRepair.exe"

WIZARD_TEST_ROOT=$(mktemp -d)
export WIZARD_TEST_ROOT
xvfb_pid=""
cleanup() {
    for prefix in "$WIZARD_TEST_ROOT"/*/; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$WIZARD_TEST_ROOT"
}
trap cleanup EXIT INT TERM

display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
sleep 1

cd "$ROOT/build/x64"
ctest --output-on-failure --parallel 2 "$@"
