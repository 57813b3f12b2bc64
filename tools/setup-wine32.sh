#!/bin/sh
# Makes 32-bit Windows programs runnable on a 64-bit-only Debian 12 kernel:
# QEMU's user-mode i386 emulator from bookworm-backports, registered for i386
# ELF programs with binfmt_misc (Wine starts its 32-bit loader again for every
# new Windows process), and Debian's 32-bit Wine beside the 64-bit one.
# Skips what is already in place; needs root (or sudo) only for what is not.
set -eu
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
BINFMT=/proc/sys/fs/binfmt_misc
QEMU=/usr/bin/qemu-i386

qemu_is_current() {
    # Bookworm's own QEMU 7.2 costs tens of seconds per Wine process and has crashed.
    [ -x "$QEMU" ] || return 1
    major=$("$QEMU" --version | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
    [ "${major:-0}" -ge 10 ]
}

binfmt_is_registered() {
    [ -f "$BINFMT/qemu-i386" ] && grep -q '^enabled' "$BINFMT/qemu-i386" &&
        grep -q "interpreter $QEMU\$" "$BINFMT/qemu-i386" && grep -q '^flags:.*F' "$BINFMT/qemu-i386"
}

wine32_is_installed() {
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}

qemu_is_current && binfmt_is_registered && wine32_is_installed && exit 0

if ! qemu_is_current; then
    # The backports suite lives in the same archive as the machine's own bookworm suite.
    archive=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1)
    [ -n "$archive" ] || archive=$(sed -n 's/^deb[[:space:]]\{1,\}\([^[:space:]]*\)[[:space:]]\{1,\}bookworm[[:space:]].*/\1/p' \
        /etc/apt/sources.list 2>/dev/null | head -n 1)
    [ -n "$archive" ] || { echo "No Debian archive for bookworm found in the apt sources." >&2; exit 1; }
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "Adding the bookworm-backports suite from $archive"
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$archive" | $SUDO tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
    fi
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user
    qemu_is_current || { echo "$QEMU is not QEMU 10 or later." >&2; exit 1; }
fi

if ! binfmt_is_registered; then
    [ -f "$BINFMT/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT"
    # Another registration for i386 (an older QEMU, another path) would win.
    [ -f "$BINFMT/qemu-i386" ] && echo -1 | $SUDO tee "$BINFMT/qemu-i386" >/dev/null
    # F: the kernel opens the emulator now, so it works for every process after.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':F' |
        $SUDO tee "$BINFMT/register" >/dev/null
    binfmt_is_registered || { echo "Could not register $QEMU for i386 programs." >&2; exit 1; }
fi

if ! wine32_is_installed; then
    # Packages of the i386 architecture run their own programs while they install:
    # the emulator must be registered first.
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends wine32:i386
fi
