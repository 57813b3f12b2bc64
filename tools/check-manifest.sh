#!/bin/sh
# Checks the manifest compiled into each program: common controls 6 for the
# program's own architecture, the user's own rights (the repair asks for an
# administrator's when it starts) and DPI awareness: per monitor, with the
# main monitor's as the fallback before Windows 10 1607.
set -eu
status=0
for exe in "$@"; do
    case "$(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')" in
        pei-x86-64) arch=amd64 ;;
        pei-i386) arch=x86 ;;
        *) echo "$exe: unknown image format" >&2; status=1; continue ;;
    esac
    manifest=$(tr -d '\0' <"$exe" | tr '\n' ' ' | sed -n 's/.*\(<assembly .*<\/assembly>\).*/\1/p')
    for expected in "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" \
                    "processorArchitecture=\"$arch\" publicKeyToken=\"6595b64144ccf1df\"" \
                    "level=\"asInvoker\"" "<dpiAware" ">true</dpiAware>" \
                    ">PerMonitorV2, PerMonitor</dpiAwareness>"; do
        printf '%s' "$manifest" | tr -s ' ' | grep -qF "$expected" ||
            { echo "$exe: manifest lacks $expected" >&2; status=1; }
    done
    [ $status -eq 0 ] && echo "$exe: manifest for $arch ok"
done
exit $status
