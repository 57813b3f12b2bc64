#!/bin/sh
# Runs a 32-bit Windows program under 32-bit Wine, emulated by QEMU:
#   ./tools/wine32.sh PROGRAM.exe [ARGS]      (also Wine's own: wineboot, reg, cmd ...)
# Sets up on first use (tools/setup-wine32.sh). The prefix is $WINEPREFIX when
# set, else ~/.wine32: a 32-bit prefix cannot share ~/.wine with 64-bit Wine,
# which stays untouched.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARGS]" >&2; exit 2; }

[ -x /usr/lib/wine/wine ] && [ -f /proc/sys/fs/binfmt_misc/qemu-i386 ] || "$ROOT/tools/setup-wine32.sh" >&2

WINEPREFIX=${WINEPREFIX:-$HOME/.wine32}
export WINEPREFIX
[ -f "$WINEPREFIX/system.reg" ] || "$ROOT/tools/new-prefix.sh" x86 "$WINEPREFIX"
# The native server serves the emulated 32-bit Wine of the same version, much faster.
export WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
exec /usr/lib/wine/wine "$@"
