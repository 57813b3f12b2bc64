#!/bin/sh
# Runs a Windows test program in the Wine prefix of one test profile:
#   en      English user interface (the default prefix)
#   de      German user interface
#   xp      Windows XP as the reported Windows version
#   dpi120  a screen of 120 dots per inch
# Prefixes live below $WIZARD_TEST_ROOT (made by tools/test.sh, or here when
# missing); each profile copies a base prefix made once per run.
set -eu
profile=$1
shift
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -z "${WIZARD_TEST_ROOT:-}" ]; then
    WIZARD_TEST_ROOT=$(mktemp -d)
    trap 'for p in "$WIZARD_TEST_ROOT"/*/; do WINEPREFIX=$p $WINESERVER -k 2>/dev/null || true; done; rm -rf "$WIZARD_TEST_ROOT"' EXIT
fi
[ -n "${DISPLAY:-}" ] || { echo "no X display: run through tools/test.sh" >&2; exit 2; }

case "$profile" in
    de) export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ;;
    *) unset LC_ALL LANGUAGE || true; export LANG=C ;;
esac

base="$WIZARD_TEST_ROOT/base"
(
    flock 9
    if [ ! -f "$base/.ready" ]; then
        rm -rf "$base"
        WINEPREFIX="$base" LC_ALL=C LANG=C $WINE wineboot -i >/dev/null 2>&1
        WINEPREFIX="$base" $WINESERVER -w
        touch "$base/.ready"
    fi
) 9>"$WIZARD_TEST_ROOT/base.lock"

prefix="$WIZARD_TEST_ROOT/$profile"
(
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
        rm -rf "$prefix"
        cp -a "$base" "$prefix"
        rm -f "$prefix/.ready"
        reg() { WINEPREFIX="$prefix" $WINE reg add "$@" /f >/dev/null 2>&1; }
        case "$profile" in
            xp) reg 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp ;;
            dpi120) reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 ;;
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

export WINEPREFIX="$prefix" WIZARD_TEST_PROFILE="$profile"
exec $WINE "$@"
