// Prepares a test prefix for end-to-end walks: stand-in component files with
// chosen versions, and registry values. Runs a list of commands given as
// arguments, in order:
//   install PATH a.b.c.d     the stand-in component with that file version
//   unversioned PATH         the stand-in without any version information
//   remove PATH              deletes the file
//   sz ROOT\KEY NAME VALUE   a text value (ROOT: HKLM, HKCU or HKCR)
//   dword ROOT\KEY NAME N    a number value
//   native NAME              makes Wine load the file NAME, not its built-in
//   register PATH            calls the file's DllRegisterServer, as its installer would
//   delete ROOT\KEY          deletes the key with everything below it
// In paths, %common% stands for the common program files folder and %system%
// for the system directory. Stops at the first command that fails.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/FixtureFiles.h"
#include "winsupport/Handles.h"

namespace {

std::wstring Replaced(std::wstring text, const std::wstring& token, const std::wstring& value) {
    for (size_t at = text.find(token); at != std::wstring::npos; at = text.find(token, at + value.size()))
        text.replace(at, token.size(), value);
    return text;
}

std::wstring ExpandPath(const std::wstring& path) {
    return Replaced(Replaced(path, L"%common%", fixtures::CommonFilesDirectory()), L"%system%",
                    fixtures::SystemDirectory());
}

bool ParseVersion(const std::wstring& text, WORD (&parts)[4]) {
    size_t position = 0;
    for (int index = 0; index < 4; ++index) {
        size_t end = 0;
        unsigned long value = 0;
        try {
            value = std::stoul(text.substr(position), &end);
        } catch (const std::exception&) {
            return false;
        }
        if (end == 0 || value > 0xFFFF) return false;
        parts[index] = static_cast<WORD>(value);
        position += end;
        if (index < 3) {
            if (position >= text.size() || text[position] != L'.') return false;
            ++position;
        }
    }
    return position == text.size();
}

bool SetValue(const std::wstring& keyPath, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    const size_t separator = keyPath.find(L'\\');
    const std::wstring rootName = keyPath.substr(0, separator);
    HKEY root = rootName == L"HKLM"   ? HKEY_LOCAL_MACHINE
                : rootName == L"HKCU" ? HKEY_CURRENT_USER
                : rootName == L"HKCR" ? HKEY_CLASSES_ROOT
                                      : nullptr;
    if (root == nullptr || separator == std::wstring::npos) return false;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, keyPath.substr(separator + 1).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    UniqueHkey owned(key);
    return ::RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data),
                            size) == ERROR_SUCCESS;
}

bool SetText(const std::wstring& keyPath, const std::wstring& name, const std::wstring& value) {
    return SetValue(keyPath, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetNumber(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text) {
    wchar_t* end = nullptr;
    const DWORD value = std::wcstoul(text.c_str(), &end, 10);
    return !text.empty() && *end == L'\0' && SetValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int index = 1;
    const auto next = [&](std::wstring& value) {
        if (index >= argc) return false;
        value = argv[index++];
        return true;
    };
    while (index < argc) {
        const std::wstring command = argv[index++];
        std::wstring first, second, third;
        bool done = false;
        if (command == L"install" && next(first) && next(second)) {
            WORD v[4] = {};
            done = ParseVersion(second, v) && fixtures::InstallStandIn(ExpandPath(first), v[0], v[1], v[2], v[3]);
        } else if (command == L"unversioned" && next(first)) {
            done = fixtures::InstallUnversionedStandIn(ExpandPath(first));
        } else if (command == L"remove" && next(first)) {
            fixtures::RemoveFile(ExpandPath(first));
            done = ::GetFileAttributesW(ExpandPath(first).c_str()) == INVALID_FILE_ATTRIBUTES;
        } else if (command == L"sz" && next(first) && next(second) && next(third)) {
            done = SetText(first, second, third);
        } else if (command == L"dword" && next(first) && next(second) && next(third)) {
            done = SetNumber(first, second, third);
        } else if (command == L"register" && next(first)) {
            using EntryPoint = HRESULT(WINAPI*)();
            const UniqueModule module(
                ::LoadLibraryExW(ExpandPath(first).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
            const auto entry = reinterpret_cast<EntryPoint>(
                reinterpret_cast<void*>(module ? ::GetProcAddress(module.get(), "DllRegisterServer") : nullptr));
            done = entry != nullptr && SUCCEEDED(entry());
        } else if (command == L"delete" && next(first)) {
            const size_t separator = first.find(L'\\');
            HKEY root = first.compare(0, separator, L"HKLM") == 0   ? HKEY_LOCAL_MACHINE
                        : first.compare(0, separator, L"HKCU") == 0 ? HKEY_CURRENT_USER
                                                                    : HKEY_CLASSES_ROOT;
            const LSTATUS status = ::RegDeleteTreeW(root, first.substr(separator + 1).c_str());
            done = separator != std::wstring::npos && (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
        } else if (command == L"native" && next(first)) {
            // The loader looks the name up without its extension, in lower case.
            std::wstring name = first.substr(0, first.find_last_of(L'.'));
            ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
            done = SetText(L"HKCU\\Software\\Wine\\DllOverrides", name, L"native,builtin");
        }
        if (!done) {
            static_cast<void>(std::fwprintf(stderr, L"fixture_tool: %ls %ls failed\n", command.c_str(), first.c_str()));
            return 1;
        }
    }
    return 0;
}
