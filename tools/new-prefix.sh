#!/bin/sh
# Creates a fresh Wine prefix for one architecture: new-prefix.sh x86|x64 DIR
# Creation has failed once under load (wineboot status 53): it is tried once
# more after a failure, and the retry is said on stderr.
set -eu
. "$(dirname "$0")/wine-env.sh"
arch=$1
WINEPREFIX=$2
export WINEPREFIX
wine_environment "$arch"
export WINEDEBUG=${WINEDEBUG:--all}
# A prefix's language is fixed by the first server that serves it: a new one is made in English.
boot() { LC_ALL=C LANG=C $WINE wineboot -i >/dev/null 2>&1; }
mkdir -p "$WINEPREFIX"
status=0
boot || status=$?
if [ $status -ne 0 ]; then
    echo "new-prefix: creating the $arch prefix $WINEPREFIX failed (status $status); trying once more" >&2
    $WINESERVER -k 2>/dev/null || true
    $WINESERVER -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    status=0
    boot || status=$?
    [ $status -eq 0 ] || { echo "new-prefix: the second try failed too (status $status)" >&2; exit $status; }
    echo "new-prefix: the second try worked" >&2
fi
$WINESERVER -w
if [ "$arch" = x86 ]; then
    # The emulated Wine does not find its own fonts in its data folder (buttons
    # showed garbage glyphs), only in the prefix.
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    for font in /usr/share/wine/fonts/*; do
        [ -f "$font" ] && cp -n "$font" "$fonts/"
    done
fi
exit 0
