#pragma once
// What a program or DLL file is, from its headers alone: which machine it was
// built for and, for a .NET program, how its flags let it run. Reading the
// headers is a read of the file; nothing is loaded or started.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct PeImage {
    std::uint16_t machine = 0;  // IMAGE_FILE_MACHINE_...
    bool pe32Plus = false;      // the 64-bit optional header
    bool isDll = false;
    bool hasClrHeader = false;   // a .NET image
    std::uint32_t clrFlags = 0;  // COMIMAGE_FLAGS_...
};

// Reads `size` bytes at `offset`; false when the file has fewer.
using ImageReader = std::function<bool(std::uint64_t offset, void* buffer, std::size_t size)>;

// False for anything that is not a PE image with sane headers.
bool ParsePeImage(const ImageReader& read, PeImage& image);

// The file's headers; false when it is missing, unreadable or no PE image.
// withoutRedirection: a 32-bit process on 64-bit Windows reads the real
// system folder for this one read (where it has no Sysnative alias).
bool ReadPeImage(const std::wstring& path, PeImage& image, bool withoutRedirection = false);

// Whether the image runs as a 64-bit process on a Windows of that bitness:
// PE32+ does; a .NET image that is IL only and does not require 32 bits does
// on 64-bit Windows ("Any CPU"); everything else as 32-bit.
bool RunsAs64Bit(const PeImage& image, bool windows64);
