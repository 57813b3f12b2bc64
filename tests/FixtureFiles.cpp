#include "tests/FixtureFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <utility>

#include "winsupport/Handles.h"

namespace fixtures {

namespace {

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
using UniqueFind = UniqueHandle<FindHandleTraits>;

// Pending resource changes to a file whose old resources are all dropped;
// thrown away unless committed.
class ResourceUpdate {
public:
    explicit ResourceUpdate(const std::wstring& file) noexcept : handle_(::BeginUpdateResourceW(file.c_str(), TRUE)) {}
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;
    ~ResourceUpdate() {
        if (handle_ != nullptr) ::EndUpdateResourceW(handle_, TRUE);
    }
    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    bool Commit() noexcept { return ::EndUpdateResourceW(std::exchange(handle_, nullptr), FALSE) != FALSE; }

private:
    HANDLE handle_;
};

constexpr WORD NeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD VersionType = 16;  // RT_VERSION, whose macro follows the UNICODE setting

void AppendWide(std::vector<BYTE>& bytes, const std::wstring& text) {
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
    }
    bytes.push_back(0);
    bytes.push_back(0);
}

void AlignTo32Bits(std::vector<BYTE>& bytes) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
}

void PutWord(std::vector<BYTE>& bytes, size_t offset, size_t value) {
    bytes[offset] = static_cast<BYTE>(value & 0xFF);
    bytes[offset + 1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

// One node of the version tree: header, key, value, then the children, each
// on a 32-bit boundary. The length counts no padding after the end.
std::vector<BYTE> Node(const std::wstring& key, WORD type, WORD valueLength, const std::vector<BYTE>& value,
                       const std::vector<std::vector<BYTE>>& children = {}) {
    std::vector<BYTE> bytes(6, 0);
    AppendWide(bytes, key);
    if (!value.empty()) {
        AlignTo32Bits(bytes);
        bytes.insert(bytes.end(), value.begin(), value.end());
    }
    for (const std::vector<BYTE>& child : children) {
        AlignTo32Bits(bytes);
        bytes.insert(bytes.end(), child.begin(), child.end());
    }
    PutWord(bytes, 0, bytes.size());
    PutWord(bytes, 2, valueLength);
    PutWord(bytes, 4, type);
    return bytes;
}

std::vector<BYTE> TextNode(const std::wstring& key, const std::wstring& text) {
    std::vector<BYTE> value;
    AppendWide(value, text);
    return Node(key, 1, static_cast<WORD>(text.size() + 1), value);  // text lengths count characters
}

// A resource type or name: a number or a string.
class ResourceId {
public:
    explicit ResourceId(LPCWSTR id)
        : text_(IS_INTRESOURCE(id) ? L"" : id),
          number_(IS_INTRESOURCE(id) ? static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)) : 0) {}
    LPCWSTR get() const { return text_.empty() ? MAKEINTRESOURCEW(number_) : text_.c_str(); }
    bool IsVersion() const { return text_.empty() && number_ == VersionType; }

private:
    std::wstring text_;
    WORD number_;
};

struct KeptResource {
    ResourceId type, name;
    WORD language;
    std::vector<BYTE> data;
};

struct ResourceCollection {
    std::vector<KeptResource> kept;
    bool complete = true;
};

BOOL CALLBACK KeepLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
    auto& collection = *reinterpret_cast<ResourceCollection*>(context);
    const HRSRC found = ::FindResourceExW(module, type, name, language);
    const HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        collection.complete = false;
        return FALSE;
    }
    collection.kept.push_back({ResourceId(type), ResourceId(name), language,
                               std::vector<BYTE>(bytes, bytes + ::SizeofResource(module, found))});
    return TRUE;
}

BOOL CALLBACK KeepName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    ::EnumResourceLanguagesW(module, type, name, &KeepLanguage, context);
    return TRUE;
}

BOOL CALLBACK KeepType(HMODULE module, LPWSTR type, LONG_PTR context) {
    if (!ResourceId(type).IsVersion()) ::EnumResourceNamesW(module, type, &KeepName, context);
    return TRUE;
}

// Every resource of the file except its version information; false when the
// file is no executable or a resource cannot be read.
bool ResourcesOtherThanVersion(const std::wstring& file, std::vector<KeptResource>& kept) {
    UniqueModule module(::LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return false;
    ResourceCollection collection;
    // A file without any resources makes this fail, leaving the list empty.
    ::EnumResourceTypesW(module.get(), &KeepType, reinterpret_cast<LONG_PTR>(&collection));
    kept = std::move(collection.kept);
    return collection.complete;
}

bool InstallCopy(const char* builtVariable, const std::wstring& target) {
    const std::wstring source = BuiltFile(builtVariable);
    if (source.empty()) return false;
    const size_t separator = target.find_last_of(L'\\');
    if (separator != std::wstring::npos && separator > 2 && !CreateDirectories(target.substr(0, separator)))
        return false;
    return ::CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

}  // namespace

std::wstring BuiltFile(const char* environmentVariable) {
    const std::wstring name(environmentVariable, environmentVariable + std::strlen(environmentVariable));
    const DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed <= 1) return {};
    std::wstring unixPath(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), unixPath.data(), needed);
    if (length == 0 || length >= needed) return {};
    unixPath.resize(length);
    // Wine shows the Unix root as drive Z:.
    std::wstring path = L"Z:" + unixPath;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

bool InstallStandIn(const std::wstring& target, WORD major, WORD minor, WORD build, WORD revision) {
    return InstallCopy("WIZARD_STAND_IN", target) && StampVersion(target, major, minor, build, revision);
}

bool InstallUnversionedStandIn(const std::wstring& target) {
    return InstallCopy("WIZARD_STAND_IN_UNVERSIONED", target);
}

bool StampVersion(const std::wstring& file, WORD major, WORD minor, WORD build, WORD revision) {
    return StampRawVersionResource(file, VersionResource(major, minor, build, revision));
}

void RemoveFile(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

std::vector<BYTE> VersionResource(WORD major, WORD minor, WORD build, WORD revision) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = MAKELONG(minor, major);
    fixed.dwFileVersionLS = MAKELONG(revision, build);
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_DLL;
    std::vector<BYTE> fixedBytes(sizeof(fixed));
    std::memcpy(fixedBytes.data(), &fixed, sizeof(fixed));

    const std::wstring version = std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." +
                                 std::to_wstring(build) + L"." + std::to_wstring(revision);
    const std::vector<BYTE> strings =
        Node(L"StringFileInfo", 1, 0, {},
             {Node(L"000004B0", 1, 0, {},
                   {TextNode(L"FileDescription", L"Stand-in component"), TextNode(L"FileVersion", version),
                    TextNode(L"ProductVersion", version)})});
    const std::vector<BYTE> translation{0x00, 0x00, 0xB0, 0x04};  // neutral language, Unicode
    const std::vector<BYTE> variables = Node(L"VarFileInfo", 1, 0, {}, {Node(L"Translation", 0, 4, translation)});
    return Node(L"VS_VERSION_INFO", 0, sizeof(fixed), fixedBytes, {strings, variables});
}

bool StampRawVersionResource(const std::wstring& file, const std::vector<BYTE>& blob) {
    // Wine cannot delete a resource that is already in the file (it reads the
    // file's resources back in when committing), so the update starts empty
    // and every other resource is written again.
    std::vector<KeptResource> kept;
    if (!ResourcesOtherThanVersion(file, kept)) return false;
    ResourceUpdate update(file);
    if (!update) return false;
    for (KeptResource& resource : kept) {
        if (!::UpdateResourceW(update.get(), resource.type.get(), resource.name.get(), resource.language,
                               resource.data.data(), static_cast<DWORD>(resource.data.size())))
            return false;
    }
    if (!blob.empty()) {
        std::vector<BYTE> data = blob;  // the platform takes a non-const pointer
        if (!::UpdateResourceW(update.get(), MAKEINTRESOURCEW(VersionType), MAKEINTRESOURCEW(1), NeutralLanguage,
                               data.data(), static_cast<DWORD>(data.size())))
            return false;
    }
    return update.Commit();
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string content;
    std::vector<char> chunk(4096);
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) && read > 0)
        content.append(chunk.data(), read);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool CreateDirectories(const std::wstring& path) {
    // Each parent in turn, after the drive's root ("C:\").
    for (size_t separator = path.find(L'\\', 3); separator != std::wstring::npos;
         separator = path.find(L'\\', separator + 1)) {
        ::CreateDirectoryW(path.substr(0, separator).c_str(), nullptr);
    }
    ::CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        RemoveFile(path);
        return;
    }
    WIN32_FIND_DATAW found{};
    {
        UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &found));
        if (find) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
            } while (::FindNextFileW(find.get(), &found));
        }
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // clears read-only
    ::RemoveDirectoryW(path.c_str());
}

bool InstallVariant(const char* builtVariable, const std::wstring& target) {
    return InstallCopy(builtVariable, target);
}

std::wstring NewScratchDirectory() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring path =
            base + L"\\wizard-scratch-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
    }
    return {};
}

std::wstring LongPath(const std::wstring& path) {
    const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::wstring result(needed, L'\0');
    const DWORD length = ::GetLongPathNameW(path.c_str(), result.data(), needed);
    if (length == 0 || length >= needed) return path;
    result.resize(length);
    return result;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

PrefixChanges::PrefixChanges() = default;

PrefixChanges::~PrefixChanges() {
    Restore();
}

bool PrefixChanges::Remember(const std::wstring& target) {
    for (const Changed& changed : changed_)
        if (SamePath(changed.target, target)) return true;
    Changed changed{target, {}};
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (backupDirectory_.empty()) backupDirectory_ = NewScratchDirectory();
        if (backupDirectory_.empty()) return false;
        changed.backup = backupDirectory_ + L"\\" + std::to_wstring(changed_.size());
        if (!::CopyFileW(target.c_str(), changed.backup.c_str(), FALSE)) return false;
    }
    changed_.push_back(std::move(changed));
    return true;
}

bool PrefixChanges::MakeParents(const std::wstring& target) {
    const size_t last = target.find_last_of(L'\\');
    if (last == std::wstring::npos || last < 3) return true;
    // Each missing directory from the drive's root down, noted for removal.
    for (size_t separator = target.find(L'\\', 3); separator != std::wstring::npos && separator <= last;
         separator = target.find(L'\\', separator + 1)) {
        const std::wstring directory = target.substr(0, separator);
        if (::GetFileAttributesW(directory.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        if (!::CreateDirectoryW(directory.c_str(), nullptr)) return false;
        madeDirectories_.push_back(directory);
    }
    return true;
}

bool PrefixChanges::Place(const std::wstring& source, const std::wstring& target) {
    if (!Remember(target) || !MakeParents(target)) return false;
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool PrefixChanges::Remove(const std::wstring& target) {
    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (!Remember(target)) return false;
    RemoveFile(target);
    return ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool PrefixChanges::Restore() {
    bool complete = true;
    for (auto changed = changed_.rbegin(); changed != changed_.rend(); ++changed) {
        if (changed->backup.empty()) {
            RemoveFile(changed->target);
            complete = complete && ::GetFileAttributesW(changed->target.c_str()) == INVALID_FILE_ATTRIBUTES;
        } else {
            ::SetFileAttributesW(changed->target.c_str(), FILE_ATTRIBUTE_NORMAL);
            complete = ::CopyFileW(changed->backup.c_str(), changed->target.c_str(), FALSE) && complete;
        }
    }
    for (auto directory = madeDirectories_.rbegin(); directory != madeDirectories_.rend(); ++directory)
        complete = ::RemoveDirectoryW(directory->c_str()) && complete;
    if (!backupDirectory_.empty()) RemoveTree(backupDirectory_);
    changed_.clear();
    madeDirectories_.clear();
    backupDirectory_.clear();
    return complete;
}

namespace {
constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
// The class ids the stand-in registers, the last two hex digits 01 to 0C.
constexpr wchar_t kStandInClassPrefix[] = L"CLSID\\{5AE1C0DE-0000-4000-8000-0000000000";
constexpr int kStandInClasses = 12;

void DeleteClassesTree(const std::wstring& keyName) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"", 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return;
    const UniqueHkey root(opened);
    ::RegDeleteTreeW(root.get(), keyName.c_str());
}
}  // namespace

ClassRegistrations::ClassRegistrations(const std::vector<std::wstring>& progIds) {
    for (const std::wstring& progId : progIds) {
        Earlier earlier{progId, false, {}};
        wchar_t value[64] = {};
        LONG size = sizeof(value) - sizeof(wchar_t);
        earlier.existed =
            ::RegQueryValueW(HKEY_CLASSES_ROOT, (progId + L"\\CLSID").c_str(), value, &size) == ERROR_SUCCESS;
        earlier.clsid = value;
        earlier_.push_back(earlier);
    }
}

ClassRegistrations::~ClassRegistrations() {
    for (const Earlier& earlier : earlier_) {
        if (!earlier.existed) {
            DeleteClassesTree(earlier.progId);
        } else {
            ::RegSetValueW(HKEY_CLASSES_ROOT, (earlier.progId + L"\\CLSID").c_str(), REG_SZ, earlier.clsid.c_str(),
                           static_cast<DWORD>(earlier.clsid.size() * sizeof(wchar_t)));
        }
    }
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (int index = 1; index <= kStandInClasses; ++index)
        DeleteClassesTree(std::wstring(kStandInClassPrefix) + kHex[index / 16] + kHex[index % 16] + L"}");
}

NativeDllOverrides::NativeDllOverrides(const std::vector<std::wstring>& fileNames) {
    HKEY existing = nullptr;
    keyExisted_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_READ, &existing) == ERROR_SUCCESS;
    UniqueHkey ownedExisting(existing);
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return;
    UniqueHkey owned(key);
    applied_ = true;
    static const wchar_t kNative[] = L"native,builtin";
    for (std::wstring name : fileNames) {
        // The loader looks the name up without its extension, in lower case.
        const size_t dot = name.find_last_of(L'.');
        if (dot != std::wstring::npos) name.resize(dot);
        ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        Earlier earlier{name, false, {}};
        wchar_t value[256] = {};
        DWORD bytes = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            earlier.existed = true;
            earlier.value = value;
        }
        earlier_.push_back(earlier);
        applied_ = ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kNative),
                                    sizeof(kNative)) == ERROR_SUCCESS &&
                   applied_;
    }
}

NativeDllOverrides::~NativeDllOverrides() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    {
        UniqueHkey owned(key);
        for (auto earlier = earlier_.rbegin(); earlier != earlier_.rend(); ++earlier) {
            if (earlier->existed) {
                ::RegSetValueExW(key, earlier->name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(earlier->value.c_str()),
                                 static_cast<DWORD>((earlier->value.size() + 1) * sizeof(wchar_t)));
            } else {
                ::RegDeleteValueW(key, earlier->name.c_str());
            }
        }
    }
    if (!keyExisted_) ::RegDeleteKeyW(HKEY_CURRENT_USER, kOverridesKey);
}

const std::vector<CatalogueFile>& ExpectedCatalogue() {
    static const std::vector<CatalogueFile> files = {
        {false, L"\\System\\ado\\MSADO15.DLL", false, false},
        {false, L"\\System\\ado\\MSADER15.DLL", true, false},
        {false, L"\\System\\ado\\MSADOR15.DLL", false, false},
        {false, L"\\System\\ado\\MSADRH15.DLL", false, false},
        {false, L"\\System\\ado\\MSADOX.DLL", false, false},
        {false, L"\\System\\ado\\MSADOMD.dll", false, false},
        {false, L"\\System\\ado\\MSJRO.DLL", false, false},
        {false, L"\\System\\MSADC\\MSADCE.DLL", false, false},
        {false, L"\\System\\MSADC\\MSADCER.DLL", true, false},
        {false, L"\\System\\MSADC\\MSADCF.DLL", false, false},
        {false, L"\\System\\MSADC\\MSADCFR.DLL", true, false},
        {false, L"\\System\\MSADC\\MSADCO.DLL", false, false},
        {false, L"\\System\\MSADC\\MSADCOR.DLL", true, false},
        {false, L"\\System\\MSADC\\MSADCS.DLL", true, false},
        {false, L"\\System\\MSADC\\MSADDS.DLL", false, false},
        {false, L"\\System\\MSADC\\MSADDSR.DLL", true, false},
        {false, L"\\System\\MSADC\\MSDAPRST.DLL", false, false},
        {false, L"\\System\\Ole DB\\OLEDB32.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSXACTPS.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAENUM.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAURL.DLL", false, true},
        {false, L"\\System\\Ole DB\\MSDATT.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDASQL.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAOSP.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAORA.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAPS.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDADC.DLL", false, false},
        {false, L"\\System\\Ole DB\\MSDAER.DLL", true, false},
        {true, L"\\msjet40.dll", false, true},
        {true, L"\\msjtes40.dll", false, true},
        {true, L"\\msjetoledb40.dll", false, true},
    };
    return files;
}

std::wstring CommonFilesDirectory() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

std::wstring SystemDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring CataloguePath(const CatalogueFile& file) {
    return (file.inSystemDirectory ? SystemDirectory() : CommonFilesDirectory()) + file.relative;
}

std::vector<std::wstring> CatalogueFileNames() {
    std::vector<std::wstring> names;
    for (const CatalogueFile& file : ExpectedCatalogue()) {
        const std::wstring relative = file.relative;
        names.push_back(relative.substr(relative.find_last_of(L'\\') + 1));
    }
    return names;
}

ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments) {
    ProgramRun run;
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH, temp) == 0) return run;
    const std::wstring outputPath = std::wstring(temp) + L"program-output-" + std::to_wstring(::GetCurrentProcessId()) +
                                    L"-" + std::to_wstring(++counter) + L".txt";
    {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueFile output(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) return run;
        std::wstring command = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return run;
        const UniqueKernelHandle thread(process.hThread);
        const UniqueKernelHandle ended(process.hProcess);
        DWORD exitCode = 0;
        if (::WaitForSingleObject(ended.get(), 60000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(ended.get(), &exitCode))
            run.exitCode = exitCode;
    }
    for (const std::string& line : ReadLines(outputPath)) run.output += line + "\n";
    RemoveFile(outputPath);
    return run;
}

LockedFile::LockedFile(const std::wstring& path) {
    static int counter = 0;
    const std::wstring locker = BuiltFile("WIZARD_FILE_LOCKER");
    if (locker.empty()) return;
    const std::wstring suffix = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const std::wstring readyName = L"Local\\WizardLockReady-" + suffix;
    const std::wstring releaseName = L"Local\\WizardLockRelease-" + suffix;
    ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.reset(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!ready_ || !release_) return;
    std::wstring command = L"\"" + locker + L"\" \"" + path + L"\" " + readyName + L" " + releaseName;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    UniqueKernelHandle thread(process.hThread);
    process_.reset(process.hProcess);
    const HANDLE waits[] = {ready_.get(), process_.get()};
    held_ = ::WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
}

LockedFile::~LockedFile() {
    if (release_) ::SetEvent(release_.get());
    if (process_) ::WaitForSingleObject(process_.get(), 20000);
}

}  // namespace fixtures
