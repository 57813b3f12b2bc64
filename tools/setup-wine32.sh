#!/bin/sh
# Makes 32-bit Windows programs runnable on a 64-bit-only Debian 12 kernel:
# QEMU's user-mode i386 emulator from bookworm-backports, registered for i386
# ELF programs with binfmt_misc (Wine starts its 32-bit loader again for every
# new Windows process), and Debian's 32-bit Wine beside the 64-bit one: the
# wine32:i386 package, or, when the archive cannot install it system-wide, the
# same packages unpacked into a private root (tools/wine-env.sh finds either).
# Skips what is already in place; needs root (or sudo) only for what is not.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/tools/apt-update.sh"
. "$ROOT/tools/wine-env.sh"
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

# The 32-bit Wine must be the 64-bit one's version: they share its server.
wine_version() {
    dpkg-query -W -f='${Version}' libwine:amd64 2>/dev/null
}

private_wine32_is_current() {
    [ "$(cat "$(wine32_private_dir).ready" 2>/dev/null)" = "$(wine_version)" ] &&
        [ "$(wine32_root)" = "$(wine32_private_dir)" ]
}

# Debian's wine32:i386 and its i386 closure, unpacked as the archive has them
# now into a private root that the emulator reads as its "/". A private apt
# state without installed packages: the host's amd64 libraries, whose i386
# twins an install would have to match, do not count.
install_private_wine32() {
    dir=$(wine32_private_dir)
    version=$(wine_version)
    work=$dir.new
    started=$(date +%s)
    echo "Unpacking Debian's wine32:i386 $version into the private root $dir"
    rm -rf "$work" "$dir.ready"
    mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial" "$work/root"
    : >"$work/apt/status"
    cat >"$work/apt.conf" <<CONF
Dir::State "$work/apt";
Dir::State::status "$work/apt/status";
Dir::Cache "$work/apt";
APT::Architectures { "amd64"; "i386"; };
APT::Sandbox::User "$(id -un)";
CONF
    # One try: the machine's own update has just tried hard enough.
    APT_CONFIG=$work/apt.conf apt-get update -q ||
        echo "apt-get update failed for some index; going on with the indexes it has" >&2
    APT_CONFIG=$work/apt.conf apt-get install -q -y --download-only --no-install-recommends \
        "wine32:i386=$version" "libwine:i386=$version"
    for deb in "$work"/apt/archives/*_i386.deb "$work"/apt/archives/*_all.deb; do
        if [ -f "$deb" ]; then dpkg-deb -x "$deb" "$work/root"; fi
    done
    root=$work/root
    # What libwine's install script does: Debian's zlib1.dll, marked as one of
    # Wine's own DLLs.
    for pair in i686:i386 x86_64:x86_64; do
        in=$root/usr/${pair%%:*}-w64-mingw32/lib/zlib1.dll
        out=$root/usr/lib/i386-linux-gnu/wine/${pair#*:}-windows
        if [ -f "$in" ] && [ -d "$out" ]; then
            {
                head -c 64 "$in"
                printf 'Wine builtin DLL'
                printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
                tail -c +97 "$in"
            } >"$out/zlib1.dll"
        fi
    done
    # Without a cache of its own the 32-bit loader reads the host's, and Wine
    # does not find FreeType.
    [ -f "$root/etc/ld.so.conf" ] || echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
    if [ "$(id -u)" -eq 0 ]; then
        ldconfig -r "$root"
    else
        unshare -r /sbin/ldconfig -r "$root"
    fi
    # A 32-bit program in a 64-bit prefix starts 64-bit ones by this name.
    ln -s /usr/lib/wine/wine64 "$root/usr/lib/wine/wine64"
    [ -x "$root/usr/lib/wine/wine" ] || { echo "The unpacked packages hold no 32-bit Wine loader." >&2; exit 1; }
    rm -rf "$dir"
    mv "$root" "$dir"
    rm -rf "$work"
    # Where 64-bit Wine looks for the 32-bit loader; a package's own loader stays.
    if [ ! -e /usr/lib/wine/wine ] || [ -L /usr/lib/wine/wine ]; then
        $SUDO ln -sfn "$dir/usr/lib/wine/wine" /usr/lib/wine/wine
    fi
    echo "$version" >"$dir.ready"
    echo "The private root took $(($(date +%s) - started)) s."
}

if qemu_is_current && binfmt_is_registered && { wine32_is_installed || private_wine32_is_current; }; then
    wine32_route
    exit 0
fi

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
    apt_update $SUDO apt-get
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

if ! wine32_is_installed && ! private_wine32_is_current; then
    # Packages of the i386 architecture run their own programs while they install:
    # the emulator must be registered first.
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    apt_update $SUDO apt-get
    # Its i386 libraries must have the versions of the amd64 ones installed;
    # an archive mid-sync may not offer them.
    if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends --no-remove wine32:i386; then
        echo "Debian's wine32:i386 cannot be installed system-wide now." >&2
        install_private_wine32
    fi
fi
wine32_route
