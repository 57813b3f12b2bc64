#include "winsupport/PeImage.h"

#include <windows.h>

#include <vector>

#include "winsupport/Handles.h"
#include "winsupport/RegistryViews.h"

namespace {

// The fields read, at their offsets in the headers (winnt.h's layouts, which
// a reader of foreign files must not take from the build's own bitness).
constexpr std::uint32_t kDosLfanew = 0x3C;
constexpr std::uint16_t kOptionalMagic32 = 0x10B;
constexpr std::uint16_t kOptionalMagic64 = 0x20B;
constexpr std::uint32_t kClrDirectory = 14;  // IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR
constexpr std::uint16_t kMaxSections = 96;   // the loader's own limit
constexpr std::uint32_t kClrFlagsOffset = 16;

template <typename T>
bool ReadAt(const ImageReader& read, std::uint64_t offset, T& value) {
    return read(offset, &value, sizeof(value));
}

// The file offset of an address in the image, through the section that holds it.
bool FileOffsetOf(const ImageReader& read, std::uint64_t sections, std::uint16_t count, std::uint32_t rva,
                  std::uint64_t& offset) {
    for (std::uint16_t index = 0; index < count; ++index) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(read, sections + std::uint64_t{index} * sizeof(section), section)) return false;
        const std::uint32_t size =
            section.Misc.VirtualSize > section.SizeOfRawData ? section.Misc.VirtualSize : section.SizeOfRawData;
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) {
            offset = std::uint64_t{section.PointerToRawData} + (rva - section.VirtualAddress);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParsePeImage(const ImageReader& read, PeImage& image) {
    std::uint16_t mz = 0;
    std::uint32_t lfanew = 0;
    if (!ReadAt(read, 0, mz) || mz != IMAGE_DOS_SIGNATURE || !ReadAt(read, kDosLfanew, lfanew)) return false;
    std::uint32_t signature = 0;
    IMAGE_FILE_HEADER file{};
    if (!ReadAt(read, lfanew, signature) || signature != IMAGE_NT_SIGNATURE || !ReadAt(read, lfanew + 4ull, file))
        return false;
    const std::uint64_t optional = lfanew + 4ull + sizeof(IMAGE_FILE_HEADER);
    std::uint16_t magic = 0;
    if (!ReadAt(read, optional, magic) || (magic != kOptionalMagic32 && magic != kOptionalMagic64)) return false;
    PeImage found;
    found.machine = file.Machine;
    found.pe32Plus = magic == kOptionalMagic64;
    found.isDll = (file.Characteristics & IMAGE_FILE_DLL) != 0;
    // The data directories follow the fixed part, which differs in size.
    const std::uint64_t directories = optional + (found.pe32Plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                                                 : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    const std::uint64_t countAt = directories - sizeof(DWORD);  // NumberOfRvaAndSizes
    std::uint32_t directoryCount = 0;
    if (!ReadAt(read, countAt, directoryCount)) return false;
    IMAGE_DATA_DIRECTORY clr{};
    if (directoryCount > kClrDirectory &&
        file.SizeOfOptionalHeader >= (directories - optional) + (kClrDirectory + 1) * sizeof(clr)) {
        if (!ReadAt(read, directories + kClrDirectory * sizeof(clr), clr)) return false;
    }
    if (clr.VirtualAddress != 0 && clr.Size >= kClrFlagsOffset + sizeof(std::uint32_t) &&
        file.NumberOfSections <= kMaxSections) {
        std::uint64_t at = 0;
        std::uint32_t flags = 0;
        const std::uint64_t sections = optional + file.SizeOfOptionalHeader;
        if (FileOffsetOf(read, sections, file.NumberOfSections, clr.VirtualAddress, at) &&
            ReadAt(read, at + kClrFlagsOffset, flags)) {
            found.hasClrHeader = true;
            found.clrFlags = flags;
        }
    }
    image = found;
    return true;
}

bool ReadPeImage(const std::wstring& path, PeImage& image, bool withoutRedirection) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    {
        // Only the open goes through the real folder; the rest reads the handle.
        const RedirectionOff redirection(withoutRedirection);
        opened = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE) return false;
    const UniqueKernelHandle file(opened);
    const ImageReader read = [&file](std::uint64_t offset, void* buffer, std::size_t size) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        DWORD got = 0;
        return ::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) &&
               ::ReadFile(file.get(), buffer, static_cast<DWORD>(size), &got, nullptr) && got == size;
    };
    return ParsePeImage(read, image);
}

bool RunsAs64Bit(const PeImage& image, bool windows64) {
    if (!windows64) return false;
    if (image.pe32Plus) return true;
    if (!image.hasClrHeader) return false;
    const bool ilOnly = (image.clrFlags & COMIMAGE_FLAGS_ILONLY) != 0;
    const bool requires32 = (image.clrFlags & COMIMAGE_FLAGS_32BITREQUIRED) != 0;
    return ilOnly && !requires32 && image.machine == IMAGE_FILE_MACHINE_I386;
}
