#include <windows.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "winsupport/MessageCatalogue.h"
#include "winsupport/DecimalText.h"
#include "winsupport/DllSearch.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

// The root block of version information: three words (block length, value
// length, type), the key "VS_VERSION_INFO" with its NUL, padding to 32 bits,
// then the fixed record.
constexpr wchar_t kRootKey[] = L"VS_VERSION_INFO";
constexpr size_t kRecordOffset = 40;
// The components' own blocks take one or two KiB.
constexpr size_t kUsualBlockSize = 8192;

size_t Word(const std::vector<BYTE>& block, size_t at) {
    return at + 1 < block.size() ? static_cast<size_t>(block[at] | block[at + 1] << 8) : 0;
}

// What the root block says its length is, 0 if not even that was read.
size_t BlockLength(const std::vector<BYTE>& block) {
    return Word(block, 0);
}

// The fixed record of the root block, checked against the block itself:
// VerQueryValue trusts the lengths of a malformed block and then points
// anywhere, even outside the buffer, so it is not asked.
bool RootRecord(const std::vector<BYTE>& block, VS_FIXEDFILEINFO& info) {
    constexpr size_t kRecordEnd = kRecordOffset + sizeof(VS_FIXEDFILEINFO);
    if (block.size() < kRecordEnd) return false;
    const auto word = [&block](size_t at) { return Word(block, at); };
    // The record lies inside the block, and the block inside what was read.
    if (word(0) < kRecordEnd || word(0) > block.size() || word(2) < sizeof(VS_FIXEDFILEINFO)) return false;
    for (size_t i = 0; i < std::size(kRootKey); ++i) {
        if (word(6 + 2 * i) != static_cast<size_t>(kRootKey[i])) return false;
    }
    VS_FIXEDFILEINFO record{};
    std::memcpy(&record, block.data() + kRecordOffset, sizeof(record));
    // Without its signature the record holds no version numbers.
    if (record.dwSignature != VS_FFI_SIGNATURE) return false;
    info = record;
    return true;
}

// version.dll is not one of the DLLs Windows always takes from the system
// directory, so it is not imported: a copy beside the program would be loaded
// in its place. Loaded once, by its full path, for the life of the process.
class VersionLibrary {
public:
    VersionLibrary() : module_(LoadSystemLibrary(L"version.dll")) {
        info_ = ExportedFunction<decltype(info_)>(module_.get(), "GetFileVersionInfoA");
        size_ = ExportedFunction<decltype(size_)>(module_.get(), "GetFileVersionInfoSizeA");
    }
    BOOL Info(const char* path, DWORD handle, DWORD size, void* data) const {
        return info_ != nullptr ? info_(path, handle, size, data) : FALSE;
    }
    DWORD Size(const char* path, DWORD* handle) const { return size_ != nullptr ? size_(path, handle) : 0; }

private:
    UniqueModule module_;
    BOOL(WINAPI* info_)(LPCSTR, DWORD, DWORD, LPVOID) = nullptr;
    DWORD(WINAPI* size_)(LPCSTR, LPDWORD) = nullptr;
};

const VersionLibrary& Version() {
    static const VersionLibrary library;
    return library;
}

}  // namespace

bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO& info) {
    const std::string ansiPath = ToAnsi(path);
    // One read into a buffer that holds any ordinary version resource: asking
    // for the size first would map the file twice. The read is cut to the
    // buffer, so a larger block is read again at its own size.
    std::vector<BYTE> buffer(kUsualBlockSize);
    if (!Version().Info(ansiPath.c_str(), 0, static_cast<DWORD>(buffer.size()), buffer.data())) return false;
    if (BlockLength(buffer) > buffer.size()) {
        DWORD handle = 0;
        const DWORD size = Version().Size(ansiPath.c_str(), &handle);
        if (size == 0) return false;
        buffer.assign(size, 0);
        if (!Version().Info(ansiPath.c_str(), handle, size, buffer.data())) return false;
    }
    return RootRecord(buffer, info);
}

std::wstring GetFileVersionText(const std::wstring& path, bool buildOnly) {
    VS_FIXEDFILEINFO info{};
    if (!ReadFixedFileInfo(path, info)) return LoadMessage(msg::NotAvailable);
    const unsigned major = HIWORD(info.dwFileVersionMS);
    const unsigned minor = LOWORD(info.dwFileVersionMS);
    const unsigned build = HIWORD(info.dwFileVersionLS);
    const unsigned revision = LOWORD(info.dwFileVersionLS);
    if (buildOnly) return DecimalText(revision != 0 ? revision : build);
    return DecimalText(major) + L"." + DecimalText(minor) + L"." + DecimalText(build);
}
