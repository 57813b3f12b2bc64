// Stands in for a component DLL: each DllRegisterServer call appends this
// module's full path as one line to the file named by WIZARD_REGISTRATION_LOG,
// so tests see which copies were registered and in what order.
// Built as variants: STAND_IN_NO_EXPORT leaves the entry point out of the
// export table; STAND_IN_RETURNS_FAILURE records the call and reports E_FAIL;
// STAND_IN_DLLMAIN_FAILS refuses to be loaded, noting "<path> DllMain failed"
// in the log so that tests see the attempt.

#include <windows.h>

#include <string>

#if defined(STAND_IN_NO_EXPORT)
// Nothing to export under the entry point's name.
#elif defined(__MINGW32__) && !defined(_WIN64)
// 32-bit GCC would export the stdcall name decorated (DllRegisterServer@0);
// this linker directive exports it under the plain name only.
__asm__(".section .drectve\n\t.ascii \" -export:DllRegisterServer=DllRegisterServer@0\"\n\t.text");
#define STAND_IN_EXPORT
#elif defined(_MSC_VER) && defined(_M_IX86)
#pragma comment(linker, "/EXPORT:DllRegisterServer=_DllRegisterServer@0")
#define STAND_IN_EXPORT
#else
#define STAND_IN_EXPORT __declspec(dllexport)
#endif

namespace {

HMODULE self = nullptr;

// Closes the log file on every path out.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

std::wstring LogPath() {
    const DWORD needed = ::GetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", nullptr, 0);
    if (needed == 0) return {};
    std::wstring path(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", path.data(), needed);
    path.resize(length < needed ? length : 0);
    return path;
}

std::string OwnPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // cut off: try a larger buffer
    }
}

#if defined(STAND_IN_RETURNS_FAILURE)
constexpr HRESULT kResult = E_FAIL;
#else
constexpr HRESULT kResult = S_OK;
#endif

void AppendToLog(const std::string& note) {
    const std::wstring logPath = LogPath();
    if (logPath.empty()) return;
    const std::string line = OwnPath() + note + "\r\n";
    FileHandle log(::CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log.get() == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

HRESULT RecordCall() {
    AppendToLog("");
    return kResult;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
#if defined(STAND_IN_DLLMAIN_FAILS)
    if (reason == DLL_PROCESS_ATTACH) {
        AppendToLog(" DllMain failed");
        return FALSE;
    }
#endif
    return TRUE;
}

#if defined(STAND_IN_NO_EXPORT)
// MinGW exports every global symbol of a DLL that exports nothing explicitly;
// this one explicit export keeps DllRegisterServer out of the table.
extern "C" __declspec(dllexport) HRESULT StandInRecordCall() {
    return RecordCall();
}
#else
extern "C" STAND_IN_EXPORT HRESULT WINAPI DllRegisterServer() {
    return RecordCall();
}
#endif
