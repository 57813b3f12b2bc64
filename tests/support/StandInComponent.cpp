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
// Like a real component, a successful DllRegisterServer registers the
// data-access classes of the file it is copied as (ADOX.Catalog as MSADOX.DLL,
// and so on), under classes of its own pointing at this file, and
// DllGetClassObject serves any class; STAND_IN_WRITES_NOTHING returns S_OK
// without registering, as registration under the compatibility shim of newer
// Windows does; STAND_IN_ACCESS_DENIED refuses with E_ACCESSDENIED, as Windows
// does for its protected files. The crashing and hanging variants do the same
// when a class is created.

// No C++ library code and no exceptions: on 32-bit Windows, GCC's runtime
// registers a DLL's unwind tables under a lock it creates at every load and
// never frees at unload, so each load of a DLL built with it would leave
// kernel objects in the loading process (an event and a thread handle, or a
// semaphore) that the tests would count as the program's. Components built by
// other compilers do not; nor does this one.

#include <windows.h>
#include <olectl.h>
#include <unknwn.h>

#include <clocale>
#include <cstring>

#if defined(STAND_IN_NO_EXPORT)
// Nothing to export under the entry point's name.
#elif defined(__MINGW32__) && !defined(_WIN64)
// 32-bit GCC would export the stdcall name decorated (DllRegisterServer@0);
// this linker directive exports it under the plain name only.
__asm__(".section .drectve\n\t.ascii \" -export:DllRegisterServer=DllRegisterServer@0\"\n\t.text");
__asm__(".section .drectve\n\t.ascii \" -export:DllGetClassObject=DllGetClassObject@12\"\n\t.text");
#define STAND_IN_EXPORT
#define STAND_IN_EXPORT_CLASSES
#elif defined(_MSC_VER) && defined(_M_IX86)
#pragma comment(linker, "/EXPORT:DllRegisterServer=_DllRegisterServer@0")
#pragma comment(linker, "/EXPORT:DllGetClassObject=_DllGetClassObject@12")
#define STAND_IN_EXPORT
#define STAND_IN_EXPORT_CLASSES
#else
#define STAND_IN_EXPORT __declspec(dllexport)
#define STAND_IN_EXPORT_CLASSES __declspec(dllexport)
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
#elif defined(STAND_IN_ACCESS_DENIED)
constexpr HRESULT kResult = E_ACCESSDENIED;
#else
constexpr HRESULT kResult = S_OK;
#endif

// The classes each file provides, by its ProgIDs, each with a class id of the
// stand-in's own.
struct ProvidedClass {
    const wchar_t* fileName;
    const wchar_t* progId;
    const wchar_t* clsid;
};
constexpr ProvidedClass kProvidedClasses[] = {
    {L"MSADO15.DLL", L"ADODB.Connection", L"{5AE1C0DE-0000-4000-8000-000000000001}"},
    {L"MSADO15.DLL", L"ADODB.Recordset", L"{5AE1C0DE-0000-4000-8000-000000000002}"},
    {L"MSADO15.DLL", L"ADODB.Command", L"{5AE1C0DE-0000-4000-8000-000000000003}"},
    {L"MSADO15.DLL", L"ADODB.Stream", L"{5AE1C0DE-0000-4000-8000-000000000004}"},
    {L"MSADOX.DLL", L"ADOX.Catalog", L"{5AE1C0DE-0000-4000-8000-000000000005}"},
    {L"MSJRO.DLL", L"JRO.JetEngine", L"{5AE1C0DE-0000-4000-8000-000000000006}"},
    {L"MSJETOLEDB40.DLL", L"Microsoft.Jet.OLEDB.4.0", L"{5AE1C0DE-0000-4000-8000-000000000007}"},
    {L"MSDASQL.DLL", L"MSDASQL", L"{5AE1C0DE-0000-4000-8000-000000000008}"},
    {L"MSADDS.DLL", L"MSDataShape", L"{5AE1C0DE-0000-4000-8000-000000000009}"},
    {L"MSDAOSP.DLL", L"MSDAOSP", L"{5AE1C0DE-0000-4000-8000-00000000000A}"},
    {L"OLEDB32.DLL", L"DataLinks", L"{5AE1C0DE-0000-4000-8000-00000000000B}"},
    {L"OLEDB32.DLL", L"MSDASC.MSDAINITIALIZE", L"{5AE1C0DE-0000-4000-8000-00000000000C}"},
};

bool SetDefaultText(const wchar_t* keyName, const wchar_t* value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const auto size = static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t));
    const bool written =
        ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return written;
}

wchar_t ownPath[kLongestPath];
wchar_t keyName[128];

HRESULT RegisterProvidedClasses() {
    const DWORD length = ::GetModuleFileNameW(self, logPath, kLongestPath);
    if (length == 0 || length >= kLongestPath) return E_FAIL;
    // Loaded by its short path, the module's name is the short one.
    const DWORD longLength = ::GetLongPathNameW(logPath, ownPath, kLongestPath);
    if (longLength == 0 || longLength >= kLongestPath) return E_FAIL;
    const wchar_t* fileName = ownPath;
    for (const wchar_t* c = ownPath; *c != L'\0'; ++c) {
        if (*c == L'\\') fileName = c + 1;
    }
    for (const ProvidedClass& provided : kProvidedClasses) {
        if (::lstrcmpiW(provided.fileName, fileName) != 0) continue;
        ::lstrcpyW(keyName, provided.progId);
        ::lstrcatW(keyName, L"\\CLSID");
        if (!SetDefaultText(keyName, provided.clsid)) return SELFREG_E_CLASS;
        ::lstrcpyW(keyName, L"CLSID\\");
        ::lstrcatW(keyName, provided.clsid);
        ::lstrcatW(keyName, L"\\InprocServer32");
        if (!SetDefaultText(keyName, ownPath)) return SELFREG_E_CLASS;
    }
    return S_OK;
}

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

// The crashing and hanging variants do it wherever they are called.
void MisbehaveAsBuilt() {
#if defined(STAND_IN_CRASHES)
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
#endif
#if defined(STAND_IN_HANGS)
    for (;;) ::Sleep(INFINITE);
#endif
}

HRESULT RecordCall() {
    AppendToLog("");
#if defined(STAND_IN_USES_HELPER)
    StandInHelperRecord();
#endif
#if defined(STAND_IN_CHANGES_LOCALE)
    std::setlocale(LC_ALL, "German_Germany.1252");
#endif
    MisbehaveAsBuilt();
    // Registered under the shim, nothing is written.
    constexpr bool kWritesNothing =
#if defined(STAND_IN_WRITES_NOTHING)
        true;
#else
        false;
#endif
    if (kResult == S_OK && !kWritesNothing) return RegisterProvidedClasses();
    return kResult;
}

// Named here: the build for the other architecture links no uuid library.
constexpr GUID kUnknownInterface = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kClassFactoryInterface = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// One object for every class: nothing to count, nothing to free.
class AnyObject final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, kUnknownInterface) && !IsEqualIID(iid, kClassFactoryInterface)) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
AnyObject anyObject;

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

#if !defined(STAND_IN_NO_EXPORT)
extern "C" STAND_IN_EXPORT_CLASSES HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID iid, void** object) {
    MisbehaveAsBuilt();
    return anyObject.QueryInterface(iid, object);
}
#endif

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
