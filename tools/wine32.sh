#!/bin/sh
# Runs a 32-bit Windows program under 32-bit Wine, emulated by QEMU:
#   ./tools/wine32.sh PROGRAM.exe [ARGS]      (also Wine's own: wineboot, reg, cmd ...)
# Sets up on first use (tools/setup-wine32.sh). The prefix is $WINEPREFIX when
# set, else ~/.wine32: ~/.wine stays untouched. A new prefix is a 32-bit one;
# an existing 64-bit prefix runs the program through 64-bit Wine's WoW64.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARGS]" >&2; exit 2; }

[ -x /usr/lib/wine/wine ] && [ -f /proc/sys/fs/binfmt_misc/qemu-i386 ] || "$ROOT/tools/setup-wine32.sh" >&2

WINEPREFIX=${WINEPREFIX:-$HOME/.wine32}
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
# A 64-bit prefix runs 32-bit programs as 64-bit Windows does (WoW64).
grep -qs '^#arch=win64' "$WINEPREFIX/system.reg" && exec /usr/lib/wine/wine64 "$@"
[ -f "$WINEPREFIX/system.reg" ] || "$ROOT/tools/new-prefix.sh" x86 "$WINEPREFIX"
. "$ROOT/tools/wine-env.sh"
wine_environment x86
exec "$WINE" "$@"
