# Sourced: sets and exports the Wine of one architecture, wine_environment x86|x64:
# WINE (the loader to run), WINESERVER and WINEARCH.
wine_environment() {
    case "$1" in
        # The native server serves the emulated 32-bit Wine of the same version, much faster.
        x86) WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win32 ;;
        x64) WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver WINEARCH=win64 ;;
        *) echo "unknown architecture: $1" >&2; exit 2 ;;
    esac
    export WINESERVER WINEARCH
}
