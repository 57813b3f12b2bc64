# shellcheck shell=sh
# Sourced: sets and exports the Wine of one architecture, wine_environment x86|x64:
# WINE (the loader to run), WINESERVER and WINEARCH, and what finds the
# 32-bit Wine.

# Where tools/setup-wine32.sh unpacks Debian's 32-bit Wine when the archive
# cannot install it system-wide: a system folder for root, else the user's cache.
WINE32_SYSTEM_ROOT=/opt/mdacrepair/wine32
WINE32_USER_ROOT=${XDG_CACHE_HOME:-${HOME:-/nonexistent}/.cache}/mdacrepair/wine32

wine32_private_dir() {
    if [ "$(id -u)" -eq 0 ]; then echo "$WINE32_SYSTEM_ROOT"; else echo "$WINE32_USER_ROOT"; fi
}

# Prints the private root of the 32-bit Wine in use; fails when Debian's
# wine32:i386 is installed, or nothing is. 64-bit Wine starts 32-bit programs
# (WoW64) only with the loader beside its own, /usr/lib/wine/wine: a private
# root has a link there, unless the package's real loader is there.
wine32_root() {
    for candidate in "$WINE32_SYSTEM_ROOT" "$WINE32_USER_ROOT"; do
        [ -f "$candidate.ready" ] || continue
        if [ ! -e /usr/lib/wine/wine ] || [ "$(readlink /usr/lib/wine/wine)" = "$candidate/usr/lib/wine/wine" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

wine32_route() {
    if private=$(wine32_root); then
        echo "32-bit Wine: Debian's wine32:i386 unpacked into the private root $private"
    elif [ -x /usr/lib/wine/wine ]; then
        echo "32-bit Wine: Debian's wine32:i386 (system-wide)"
    else
        echo "32-bit Wine: not installed"
    fi
}

wine_environment() {
    wine32=$(wine32_root) || wine32=""
    # shellcheck disable=SC2034 # WINE is for the scripts that source this
    case "$1" in
        # The native server serves the emulated 32-bit Wine of the same version, much faster.
        x86) WINE=$wine32/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win32 ;;
        x64) WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver WINEARCH=win64 ;;
        *) echo "unknown architecture: $1" >&2; exit 2 ;;
    esac
    export WINESERVER WINEARCH
    # The emulator takes the 32-bit programs' files from the root first.
    if [ -n "$wine32" ]; then
        QEMU_LD_PREFIX=$wine32
        export QEMU_LD_PREFIX
    fi
}
