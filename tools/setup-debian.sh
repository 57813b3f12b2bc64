#!/bin/sh
# Installs what building and testing need on Debian 12, skipping what is there,
# and 32-bit Wine for the 32-bit program (tools/setup-wine32.sh).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/tools/apt-update.sh"
PACKAGES="cmake make python3 googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 fonts-wine fonts-liberation
          xvfb xauth xdotool imagemagick clang-14 libclang-rt-14-dev clang-tidy clang-format git"
missing=""
for package in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    apt_update $SUDO apt-get
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi
exec "$ROOT/tools/setup-wine32.sh"
