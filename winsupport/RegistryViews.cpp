#include "winsupport/RegistryViews.h"

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <memory>

#include "winsupport/BackgroundCall.h"
#include "winsupport/DllSearch.h"

namespace {

constexpr bool kProcess64 = sizeof(void*) == 8;

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
    return !folder.empty() && path.size() > folder.size() && (path[folder.size()] == L'\\') &&
           Lower(path.substr(0, folder.size())) == Lower(folder);
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return length != 0 && length < MAX_PATH ? WithoutTrailingSeparator(std::wstring(folder, length)) : std::wstring();
}

std::wstring NativeSystemFolder() {
    const std::wstring windows = WindowsFolder();
    return windows.empty() ? std::wstring() : windows + L"\\system32";
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length != 0 && length < MAX_PATH ? WithoutTrailingSeparator(std::wstring(value, length)) : std::wstring();
}

// The view's own program folders, as its half of the registry names them.
std::wstring ProgramFolderOf(RegistryView view, bool common) {
    std::wstring folder;
    const ViewKey current(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", view);
    if (current.Text(common ? L"CommonFilesDir" : L"ProgramFilesDir", folder) && !folder.empty())
        return WithoutTrailingSeparator(folder);
    if (!IsWindows64()) return Environment(common ? L"CommonProgramFiles" : L"ProgramFiles");
    if (view == RegistryView::Bits64) return Environment(common ? L"CommonProgramW6432" : L"ProgramW6432");
    return Environment(common ? L"CommonProgramFiles(x86)" : L"ProgramFiles(x86)");
}

std::wstring ReplacedVariable(std::wstring text, const std::wstring& variable, const std::wstring& value) {
    const std::wstring token = L"%" + Lower(variable) + L"%";
    for (size_t at = Lower(text).find(token); at != std::wstring::npos && !value.empty();
         at = Lower(text).find(token, at + value.size()))
        text.replace(at, token.size(), value);
    return text;
}

std::wstring Expanded(const std::wstring& text, RegistryView view) {
    std::wstring result = text;
    const std::wstring programs = ProgramFolderOf(view, false);
    const std::wstring common = ProgramFolderOf(view, true);
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)"})
        result = ReplacedVariable(result, name, programs);
    for (const wchar_t* name : {L"CommonProgramFiles", L"CommonProgramW6432", L"CommonProgramFiles(x86)"})
        result = ReplacedVariable(result, name, common);
    if (result.find(L'%') == std::wstring::npos) return result;
    const DWORD needed = ::ExpandEnvironmentStringsW(result.c_str(), nullptr, 0);
    std::wstring expanded(needed, L'\0');
    if (needed == 0 || ::ExpandEnvironmentStringsW(result.c_str(), expanded.data(), needed) != needed) return result;
    expanded.resize(needed - 1);
    return expanded;
}

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && std::iswspace(text.back())) text.pop_back();
    size_t first = 0;
    while (first < text.size() && std::iswspace(text[first])) ++first;
    text.erase(0, first);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

bool IsWindows64() {
    if (kProcess64) return true;
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const bool wow64 = [] {
        const auto query = LoadedSystemFunction<IsWow64>(L"kernel32.dll", "IsWow64Process");
        BOOL answer = FALSE;
        return query != nullptr && query(::GetCurrentProcess(), &answer) && answer;
    }();
    return wow64;
}

RegistryView OwnView() {
    return kProcess64 ? RegistryView::Bits64 : RegistryView::Bits32;
}

std::vector<RegistryView> WindowsViews() {
    if (!IsWindows64()) return {RegistryView::Bits32};
    return {RegistryView::Bits32, RegistryView::Bits64};
}

const wchar_t* ViewBits(RegistryView view) {
    return view == RegistryView::Bits64 ? L"64" : L"32";
}

ViewKey::ViewKey(HKEY root, const std::wstring& path, RegistryView view) : view_(view) {
    Open(root, path);
}

ViewKey::ViewKey(const ViewKey& parent, const std::wstring& path) : view_(parent.view_) {
    if (parent) Open(parent.key_.get(), path);
}

REGSAM ViewKey::Access() const {
    // Windows without WoW64 knows no views and takes the flags as errors on
    // its oldest releases.
    const REGSAM flag = !IsWindows64() ? 0 : view_ == RegistryView::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    return KEY_READ | flag;
}

void ViewKey::Open(HKEY parent, const std::wstring& path) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, Access(), &opened) == ERROR_SUCCESS) key_.reset(opened);
}

std::vector<std::wstring> ViewKey::SubkeyNames() const {
    std::vector<std::wstring> names;
    if (!key_) return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LONG result = ::RegEnumKeyExW(key_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;  // longer than any key name may be
        if (result != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> ViewKey::SubkeysHaving(const std::wstring& child) const {
    std::vector<std::wstring> found;
    DWORD count = 0;
    if (!key_ || ::RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return found;
    // Each asker takes every n-th index; a key added or removed meanwhile may
    // be missed or seen twice, as by one asker.
    constexpr DWORD kKeysPerAsker = 256;
    constexpr DWORD kMostAskers = 8;
    const DWORD askers = std::min(kMostAskers, count / kKeysPerAsker + 1);
    std::vector<std::vector<std::pair<DWORD, std::wstring>>> hits(askers);
    const std::wstring below = L"\\" + child;
    const auto ask = [&](DWORD first) {
        wchar_t name[256];
        for (DWORD index = first; index < count; index += askers) {
            DWORD length = static_cast<DWORD>(std::size(name));
            if (::RegEnumKeyExW(key_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                continue;
            const std::wstring subkey(name, length);
            HKEY opened = nullptr;
            if (::RegOpenKeyExW(key_.get(), (subkey + below).c_str(), 0, Access(), &opened) != ERROR_SUCCESS) continue;
            const UniqueHkey probe(opened);
            hits[first].emplace_back(index, subkey);
        }
    };
    {
        std::vector<std::unique_ptr<BackgroundCall>> others;
        for (DWORD first = 1; first < askers; ++first)
            others.push_back(std::make_unique<BackgroundCall>([&ask, first] { ask(first); }));
        ask(0);
        for (const auto& other : others) other->Wait();
    }
    std::vector<std::pair<DWORD, std::wstring>> all;
    for (auto& part : hits) all.insert(all.end(), part.begin(), part.end());
    std::sort(all.begin(), all.end());
    for (auto& hit : all) found.push_back(std::move(hit.second));
    return found;
}

std::vector<std::wstring> ViewKey::ValueNames() const {
    std::vector<std::wstring> names;
    if (!key_) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result =
            ::RegEnumValueW(key_.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

namespace {

// Data as read into a buffer of `size` bytes, without its terminators.
std::wstring TextOf(const std::vector<wchar_t>& data, DWORD size) {
    std::wstring text(data.data(), std::min<size_t>(size / sizeof(wchar_t), data.size()));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> ViewKey::TextValues() const {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    if (!key_) return values;
    std::vector<wchar_t> name(16384);
    std::vector<wchar_t> data(256);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        LONG result = ::RegEnumValueW(key_.get(), index, name.data(), &length, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_MORE_DATA && size / sizeof(wchar_t) + 1 > data.size()) {
            data.resize(size / sizeof(wchar_t) + 1);
            length = static_cast<DWORD>(name.size());
            size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            result = ::RegEnumValueW(key_.get(), index, name.data(), &length, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
        }
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        values.emplace_back(std::wstring(name.data(), length), IsText(type) ? TextOf(data, size) : std::wstring());
    }
    return values;
}

bool ViewKey::Text(const std::wstring& name, std::wstring& text) const {
    if (!key_) return false;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    // Most values fit the first buffer, and then one call reads them.
    std::vector<wchar_t> data(256);
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG result =
            ::RegQueryValueExW(key_.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_MORE_DATA) {
            data.resize(size / sizeof(wchar_t) + 1);
            continue;
        }
        if (result != ERROR_SUCCESS || !IsText(type)) return false;
        text = TextOf(data, size);
        return true;
    }
    return false;
}

std::wstring SystemFolderOf(RegistryView view) {
    if (view == RegistryView::Bits64 || !IsWindows64()) return NativeSystemFolder();
    using Wow64Directory = UINT(WINAPI*)(LPWSTR, UINT);
    const auto query = LoadedSystemFunction<Wow64Directory>(L"kernel32.dll", "GetSystemWow64DirectoryW");
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = query != nullptr ? query(folder, MAX_PATH) : 0;
    if (length != 0 && length < MAX_PATH) return WithoutTrailingSeparator(std::wstring(folder, length));
    const std::wstring windows = WindowsFolder();
    return windows.empty() ? std::wstring() : windows + L"\\SysWOW64";
}

ResolvedFile ResolveRegisteredFile(const std::wstring& registered, RegistryView view) {
    ResolvedFile file;
    std::wstring path = Expanded(Trimmed(registered), view);
    if (path.empty()) return file;
    const std::wstring systemFolder = SystemFolderOf(view);
    // The loader looks for a bare name in the process's system folder.
    if (path.find_first_of(L"\\/:") == std::wstring::npos) path = systemFolder + L"\\" + path;
    // "system32" in a registration is the system folder of the process that reads it.
    const std::wstring native = NativeSystemFolder();
    if (StartsWithFolder(path, native)) path = systemFolder + path.substr(native.size());
    file.shown = path;
    file.access = path;
    if (!kProcess64 && view == RegistryView::Bits64 && StartsWithFolder(path, native)) {
        // This process's system32 is the 32-bit one: the real one has an alias.
        const std::wstring alias = WindowsFolder() + L"\\Sysnative";
        if (::GetFileAttributesW(alias.c_str()) != INVALID_FILE_ATTRIBUTES)
            file.access = alias + path.substr(native.size());
        else
            file.withoutRedirection = true;
    }
    return file;
}

namespace {
using DisableRedirection = BOOL(WINAPI*)(PVOID*);
using RevertRedirection = BOOL(WINAPI*)(PVOID);
}  // namespace

RedirectionOff::RedirectionOff(bool wanted) {
    if (!wanted) return;
    const auto disable = LoadedSystemFunction<DisableRedirection>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
    off_ = disable != nullptr && disable(&previous_);
}

RedirectionOff::~RedirectionOff() {
    const auto revert = LoadedSystemFunction<RevertRedirection>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
    if (off_ && revert != nullptr) revert(previous_);
}

bool FileExists(const ResolvedFile& file) {
    if (file.access.empty()) return false;
    const RedirectionOff redirection(file.withoutRedirection);
    return ::GetFileAttributesW(file.access.c_str()) != INVALID_FILE_ATTRIBUTES;
}
