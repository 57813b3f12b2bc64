#!/bin/sh
# Runs a 32-bit Windows program under 32-bit Wine, emulated by QEMU:
#   ./tools/wine32.sh PROGRAM.exe [ARGS]      (also Wine's own: wineboot, reg, cmd ...)
# Sets up on first use (tools/setup-wine32.sh). The prefix is $WINEPREFIX when
# set, else ~/.wine32: ~/.wine stays untouched. A new prefix is a 32-bit one;
# an existing 64-bit prefix runs the program through 64-bit Wine's WoW64.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARGS]" >&2; exit 2; }

. "$ROOT/tools/wine-env.sh"
if ! { [ -x /usr/lib/wine/wine ] || wine32_root >/dev/null; } || [ ! -f /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    "$ROOT/tools/setup-wine32.sh" >&2
fi

WINEPREFIX=${WINEPREFIX:-$HOME/.wine32}
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
if grep -qs '^#arch=win64' "$WINEPREFIX/system.reg"; then
    # A 64-bit prefix runs 32-bit programs as 64-bit Windows does (WoW64).
    wine_environment x64
else
    [ -f "$WINEPREFIX/system.reg" ] || "$ROOT/tools/new-prefix.sh" x86 "$WINEPREFIX"
    wine_environment x86
fi
exec "$WINE" "$@"
