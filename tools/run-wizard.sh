#!/bin/sh
# Builds the 64-bit wizard and starts it under Wine, in the user's own Wine
# prefix and on the user's display.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: run this from a desktop session (or set DISPLAY)." >&2
    exit 2
fi
exec /usr/lib/wine/wine64 "$ROOT/dist/x64/MdacRepair.exe"
