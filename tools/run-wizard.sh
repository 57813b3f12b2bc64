#!/bin/sh
# Builds the wizard and starts it under Wine on the user's display:
#   ./tools/run-wizard.sh          the 64-bit program, in the user's own prefix (~/.wine or $WINEPREFIX)
#   ./tools/run-wizard.sh --x86    the 32-bit program, under 32-bit Wine (tools/wine32.sh:
#                                  ~/.wine32 or $WINEPREFIX)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
arch=x64
if [ "${1:-}" = "--x86" ]; then
    arch=x86
    shift
fi
"$ROOT/tools/setup-debian.sh"
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: run this from a desktop session (or set DISPLAY)." >&2
    exit 2
fi
"$ROOT/tools/build.sh" --program-only $arch
if [ $arch = x86 ]; then
    exec "$ROOT/tools/wine32.sh" "$ROOT/dist/x86/MdacRepair.exe" "$@"
fi
exec /usr/lib/wine/wine64 "$ROOT/dist/x64/MdacRepair.exe" "$@"
