#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "winsupport/DllSearch.h"
#include "winsupport/LateImports.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

// From shell32, which every supported Windows has in its system directory;
// shfolder.dll, which only older shells needed, would be looked for beside the
// program first.

std::wstring GetSpecialFolderPath(int csidl) {
    std::string buffer(261, ' ');
    if (late::SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer.data()) != S_OK) return {};
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return FromAnsi(std::string_view(buffer.data(), static_cast<size_t>(end - buffer.begin())));
}

std::int32_t ClassifyWindowsVersion(DWORD platformId, DWORD majorVersion, DWORD minorVersion) {
    if (platformId == VER_PLATFORM_WIN32_NT) {
        switch (majorVersion) {
            case 4:
                return WindowsNT4;
            case 5:
                switch (minorVersion) {
                    case 0:
                        return Windows2000;
                    case 1:
                        return WindowsXP;
                    case 2:
                        return WindowsServer2003;
                    default:
                        return WindowsUnknown;
                }
            case 6:
                return WindowsVistaOrLater6x;
            default:
                return WindowsUnknown;
        }
    }
    switch (minorVersion) {
        case 0:
            return Windows95;
        case 10:
            return Windows98;
        case 90:
            return WindowsMe;
        default:
            return WindowsUnknown;
    }
}

std::int32_t WindowsVersionCache::Get() {
    if (cached_ > WindowsUnknown) return cached_;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the record the platform expects");
    query_(&info);  // a failed query leaves zeros, which classify as unknown or Windows 95
    const std::int32_t code = ClassifyWindowsVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
    if (code > WindowsUnknown) cached_ = code;
    return code;
}

std::int32_t GetWindowsVersionKind() {
    static WindowsVersionCache cache(&::GetVersionExA);
    return cache.Get();
}

std::wstring GetSystemDirectoryText(SystemDirectoryQuery query) {
    std::string buffer(261, '\0');
    const UINT length = query(buffer.data(), 260);
    // A result of 260 or more is the size that would have been needed: nothing
    // usable was written.
    if (length == 0 || length >= 260) return {};
    return FromAnsi(std::string_view(buffer.data(), std::strlen(buffer.data())));
}

WindowsRelease RunningWindowsRelease() {
    using Query = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto query = LoadedSystemFunction<Query>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (query == nullptr || query(&info) != 0) return {};
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}
