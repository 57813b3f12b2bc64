#include "winsupport/DllSearch.h"

#include <cstring>

namespace {

// Not in every kernel32 the program runs on (XP, Vista and 7 without their
// loader update), so looked up at run time.
template <typename Function>
Function KernelFunction(const char* name) {
    return LoadedSystemFunction<Function>(L"kernel32.dll", name);
}

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

void RestrictDllSearch() {
    if (const auto setDefault = KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories")) {
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    }
    // An empty DLL directory takes the current directory out of the search.
    if (const auto setDirectory = KernelFunction<SetDllDirectoryFunction>("SetDllDirectoryW")) setDirectory(L"");
}

ComponentSearch AvailableComponentSearch() {
    // The search flags came with the same loader update as this function.
    return KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories") != nullptr
               ? ComponentSearch::Flags
               : ComponentSearch::AlteredSearchPath;
}

UniqueModule LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t path[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(fileName);
    if (length == 0 || length + 1 + nameLength > MAX_PATH) return UniqueModule();
    path[length] = L'\\';
    std::memcpy(path + length + 1, fileName, (nameLength + 1) * sizeof(wchar_t));
    // A full path: the altered order then looks for the library's own imports
    // in the system directory too.
    return UniqueModule(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

bool IsAbsolutePath(const std::string& path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && separator(path[2]);
    const bool share = path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
    return drive || share;
}

UniqueModule LoadComponentLibrary(const std::string& path, ComponentSearch search) {
    if (!IsAbsolutePath(path)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return UniqueModule();
    }
    // The altered order looks in the component's folder first, then, with
    // the empty DLL directory set at start-up, in the system folders.
    const DWORD flags = search == ComponentSearch::Flags
                            ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
    return UniqueModule(::LoadLibraryExA(path.c_str(), nullptr, flags));
}
