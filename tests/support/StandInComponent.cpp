// Stands in for a component DLL: each DllRegisterServer call appends this
// module's full path as one line to the file named by WIZARD_REGISTRATION_LOG,
// so tests see which copies were registered and in what order.
// Built as variants: STAND_IN_NO_EXPORT leaves the entry point out of the
// export table; STAND_IN_RETURNS_FAILURE records the call and reports E_FAIL;
// STAND_IN_DLLMAIN_FAILS refuses to be loaded, noting "<path> DllMain failed"
// in the log so that tests see the attempt; STAND_IN_CRASHES writes through a
// null pointer and STAND_IN_HANGS never returns, each after recording the call;
// STAND_IN_USES_HELPER imports the helper DLL (STAND_IN_HELPER), which records
// "<its own path> helper" for each call; STAND_IN_CHANGES_LOCALE switches the
// C library of its process to German numbers; STAND_IN_RECORDS_LOAD notes
// "<path> loaded" whenever a process loads it (for copies planted under the
// names of system DLLs).

// No C++ library code and no exceptions: on 32-bit Windows, GCC's runtime
// registers a DLL's unwind tables under a lock it creates at every load and
// never frees at unload, so each load of a DLL built with it would leave
// kernel objects in the loading process (an event and a thread handle, or a
// semaphore) that the tests would count as the program's. Components built by
// other compilers do not; nor does this one.

#include <windows.h>

#include <clocale>
#include <cstring>

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

// The longest path Windows knows, plus the note and the line end.
constexpr DWORD kLongestPath = 32768;
wchar_t logPath[kLongestPath];
char line[kLongestPath + 64];

#if defined(STAND_IN_RETURNS_FAILURE)
constexpr HRESULT kResult = E_FAIL;
#else
constexpr HRESULT kResult = S_OK;
#endif

void AppendToLog(const char* note) {
    const DWORD pathLength = ::GetEnvironmentVariableW(L"WIZARD_REGISTRATION_LOG", logPath, kLongestPath);
    if (pathLength == 0 || pathLength >= kLongestPath) return;
    const DWORD ownLength = ::GetModuleFileNameA(self, line, kLongestPath);
    if (ownLength == 0 || ownLength >= kLongestPath) return;
    const size_t noteLength = std::strlen(note);
    std::memcpy(line + ownLength, note, noteLength + 1);
    std::memcpy(line + ownLength + noteLength, "\r\n", 3);
    const auto length = static_cast<DWORD>(ownLength + noteLength + 2);
    const FileHandle log(::CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log.get() == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(log.get(), line, length, &written, nullptr);
}

#if defined(STAND_IN_USES_HELPER)
extern "C" __declspec(dllimport) void StandInHelperRecord();
#endif

HRESULT RecordCall() {
    AppendToLog("");
#if defined(STAND_IN_USES_HELPER)
    StandInHelperRecord();
#endif
#if defined(STAND_IN_CHANGES_LOCALE)
    std::setlocale(LC_ALL, "German_Germany.1252");
#endif
#if defined(STAND_IN_CRASHES)
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
#endif
#if defined(STAND_IN_HANGS)
    for (;;) ::Sleep(INFINITE);
#endif
    return kResult;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
#if defined(STAND_IN_RECORDS_LOAD)
    if (reason == DLL_PROCESS_ATTACH) AppendToLog(" loaded");
#endif
#if defined(STAND_IN_DLLMAIN_FAILS)
    if (reason == DLL_PROCESS_ATTACH) {
        AppendToLog(" DllMain failed");
        return FALSE;
    }
#endif
    return TRUE;
}

#if defined(STAND_IN_HELPER)
extern "C" __declspec(dllexport) void StandInHelperRecord() {
    AppendToLog(" helper");
}
#endif

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
