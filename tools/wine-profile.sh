#!/bin/sh
# Runs a Windows test program of one architecture (x86 or x64) in the Wine
# prefix of one test profile:  wine-profile.sh ARCH PROFILE PROGRAM [ARGS]
#   en      English user interface (the default prefix)
#   de      German user interface
#   xp      Windows XP as the reported Windows version
#   win10   Windows 10 as the reported Windows version
#   dpi120, dpi144, dpi168, dpi192  a screen of that many dots per inch
# Prefixes live below $WIZARD_TEST_ROOT (made by tools/test.sh, or here when
# missing); each profile copies a base prefix made once per run. Each run gets
# a private Xvfb display.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
arch=$1
profile=$2
shift 2
case "$arch" in
    x86) WINE="$ROOT/tools/wine32.sh" ;;
    x64) WINE=/usr/lib/wine/wine64 ;;
    *) echo "unknown architecture: $arch" >&2; exit 2 ;;
esac
# Serves both: the native server is also the one the 32-bit Wine is pointed at.
WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -z "${WIZARD_TEST_ROOT:-}" ]; then
    WIZARD_TEST_ROOT=$(mktemp -d)
    trap 'for p in "$WIZARD_TEST_ROOT"/*/; do WINEPREFIX=$p $WINESERVER -k 2>/dev/null || true; done; rm -rf "$WIZARD_TEST_ROOT"' EXIT
fi

case "$profile" in
    de) export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ;;
    fr) export LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8 ;;
    *) unset LC_ALL LANGUAGE || true; export LANG=C ;;
esac

base="$WIZARD_TEST_ROOT/base-$arch"
(
    flock 9
    if [ ! -f "$base/.ready" ]; then
        rm -rf "$base"
        "$ROOT/tools/new-prefix.sh" "$arch" "$base"
        # The test display has no window manager; Wine would wait seconds for
        # one on every hidden or destroyed window.
        WINEPREFIX="$base" $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        WINEPREFIX="$base" $WINESERVER -w
        touch "$base/.ready"
    fi
) 9>"$base.lock"

prefix="$WIZARD_TEST_ROOT/$arch-$profile"
(
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
        rm -rf "$prefix"
        cp -a "$base" "$prefix"
        rm -f "$prefix/.ready"
        reg() { WINEPREFIX="$prefix" $WINE reg add "$@" /f >/dev/null 2>&1; }
        case "$profile" in
            xp) reg 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp ;;
            win10) reg 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 ;;
            dpi*) reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${profile#dpi}" ;;
        esac
        if [ -n "${WIZARD_URL_RECORDER:-}" ]; then
            # Web addresses handed to the shell land in C:\opened-urls.txt.
            cp "$WIZARD_URL_RECORDER" "$prefix/drive_c/url-recorder.exe"
            for scheme in http https; do
                reg "HKCR\\$scheme\\shell\\open\\command" /ve /t REG_SZ /d '"C:\url-recorder.exe" "%1"'
            done
        fi
        # The language is fixed when the prefix's server starts: start afresh.
        WINEPREFIX="$prefix" $WINESERVER -k 2>/dev/null || true
        WINEPREFIX="$prefix" $WINESERVER -w 2>/dev/null || true
        touch "$prefix/.ready"
    fi
) 9>"$prefix.lock"

# A display of its own: windows of parallel profiles must not take each
# other's keyboard focus.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$displayfile")"
rm -f "$displayfile"
export DISPLAY WINEPREFIX="$prefix" WIZARD_TEST_PROFILE="$profile"
status=0
$WINE "$@" || status=$?
$WINESERVER -k 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true
exit $status
