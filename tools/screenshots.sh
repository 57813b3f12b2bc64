#!/bin/sh
# Writes a PNG of every page of the wizard, in English and German, to
# docs/screenshots/<language>/, taken on a private Xvfb display from fresh
# temporary Wine prefixes.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64
DRIVER="$ROOT/build/x64/tests/screenshot_driver.exe"
WORK=$(mktemp -d)
xvfb=""
cleanup() {
    for prefix in "$WORK"/prefix-*; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$WORK/display")" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

for language in en de; do
    case $language in
        de) locale=de_DE.UTF-8 ;;
        *) locale=C ;;
    esac
    prefix="$WORK/prefix-$language"
    out="$ROOT/docs/screenshots/$language"
    mkdir -p "$out"
    export WINEPREFIX="$prefix"
    LC_ALL=$locale /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    # No window manager here: Wine draws the window frames itself.
    LC_ALL=$locale /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    rm -f "$WORK/request" "$WORK/answer"
    mkfifo "$WORK/request" "$WORK/answer"
    LC_ALL=$locale LANG=$locale /usr/lib/wine/wine64 "$DRIVER" "Z:$(echo "$ROOT/dist/x64/MdacRepair.exe" | tr / '\\')" \
        >"$WORK/request" <"$WORK/answer" &
    driver=$!
    exec 3<"$WORK/request" 4>"$WORK/answer"
    while read -r name left top width height <&3; do
        name=$(printf '%s' "$name" | tr -d '\r')
        height=$(printf '%s' "$height" | tr -d '\r')
        import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$name.png"
        echo "$out/$name.png"
        echo ok >&4
    done
    exec 3<&- 4>&-
    wait "$driver"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
done
