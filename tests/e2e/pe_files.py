"""Program files with real PE headers and nothing behind them, for the checks
that read a program's headers and never start it: a 32-bit or 64-bit image,
and .NET images with the flags their compilers write."""

import struct

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664


def pe_image(machine, pe32_plus, clr_flags=None):
    """One section at 0x1000; with clr_flags, a CLR header at its start."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    optional_size = 240 if pe32_plus else 224
    characteristics = 0x0002 | (0x0020 if pe32_plus else 0x0100)  # executable; large addresses or 32-bit words
    file_header = struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, optional_size, characteristics)
    optional = bytearray(optional_size)
    struct.pack_into("<H", optional, 0, 0x20B if pe32_plus else 0x10B)
    struct.pack_into("<II", optional, 32, 0x1000, 0x200)  # section and file alignment
    struct.pack_into("<H", optional, 68, 2)  # Windows GUI subsystem
    directories = 112 if pe32_plus else 96
    struct.pack_into("<I", optional, directories - 4, 16)
    if clr_flags is not None:
        struct.pack_into("<II", optional, directories + 14 * 8, 0x1000, 72)
    section = struct.pack("<8sIIIIIIHHI", b".text", 0x200, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
    headers = bytes(dos) + b"PE\0\0" + file_header + bytes(optional) + section
    body = bytearray(0x200)
    if clr_flags is not None:
        struct.pack_into("<IHH", body, 0, 72, 2, 5)
        struct.pack_into("<I", body, 16, clr_flags)
    return headers.ljust(0x200, b"\0") + bytes(body)


def write(path, machine, pe32_plus, clr_flags=None):
    with open(path, "wb") as file:
        file.write(pe_image(machine, pe32_plus, clr_flags))
