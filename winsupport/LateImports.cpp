#include "winsupport/LateImports.h"

#include <shlobj.h>

#include "winsupport/DllSearch.h"

namespace {

enum class Library { Ole, Automation, Shell, ShellLight, Dialogs, Accessibility };

// Kept to the end of the process, as an imported DLL is: OLE must not unload
// while it is initialised, nor the shell under threads it started.
UniqueModule Pinned(const wchar_t* fileName) {
    UniqueModule module = LoadSystemLibrary(fileName);
    HMODULE same = nullptr;
    if (module) {
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(module.get()), &same);
    }
    return module;
}

// Loaded on the first call into it.
HMODULE Loaded(Library library) {
    switch (library) {
        case Library::Ole: {
            static const UniqueModule ole = Pinned(L"ole32.dll");
            return ole.get();
        }
        case Library::Automation: {
            static const UniqueModule automation = Pinned(L"oleaut32.dll");
            return automation.get();
        }
        case Library::Shell: {
            static const UniqueModule shell = Pinned(L"shell32.dll");
            return shell.get();
        }
        case Library::ShellLight: {
            static const UniqueModule light = Pinned(L"shlwapi.dll");
            return light.get();
        }
        case Library::Dialogs: {
            static const UniqueModule dialogs = Pinned(L"comdlg32.dll");
            return dialogs.get();
        }
        case Library::Accessibility: {
            // Asked for by a screen reader only; no KnownDLL, so its full path.
            static const UniqueModule accessibility = Pinned(L"oleacc.dll");
            return accessibility.get();
        }
    }
    return nullptr;
}

template <typename Function>
Function Find(Library library, const char* name) {
    return ExportedFunction<Function>(Loaded(library), name);
}

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

}  // namespace

std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine) {
    std::vector<std::wstring> arguments;
    if (commandLine == nullptr) return arguments;
    // The name ends where the shell ends it: at the closing quote, or at the
    // first blank. Anything but blanks after it is left to the shell.
    const wchar_t* rest = commandLine;
    if (*rest == L'"') {
        ++rest;
        while (*rest != L'\0' && *rest != L'"') ++rest;
        if (*rest == L'"') ++rest;
    } else {
        while (*rest != L'\0' && *rest != L' ' && *rest != L'\t') ++rest;
    }
    while (*rest == L' ' || *rest == L'\t') ++rest;
    if (*rest == L'\0') return arguments;
    int count = 0;
    const UniqueArgumentList argv(late::CommandLineToArgvW(commandLine, &count));
    if (!argv) return arguments;
    for (int index = 1; index < count; ++index) arguments.emplace_back(argv.get()[index]);
    return arguments;
}

namespace late {

HRESULT OleInitialize(LPVOID reserved) {
    const auto function = Find<decltype(&::OleInitialize)>(Library::Ole, "OleInitialize");
    return function ? function(reserved) : kNotFound;
}

void OleUninitialize() {
    const auto function = Find<decltype(&::OleUninitialize)>(Library::Ole, "OleUninitialize");
    if (function) function();
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
    const auto function = Find<decltype(&::CLSIDFromProgID)>(Library::Ole, "CLSIDFromProgID");
    return function ? function(progId, clsid) : kNotFound;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    const auto function = Find<decltype(&::CoCreateInstance)>(Library::Ole, "CoCreateInstance");
    if (function) return function(clsid, outer, context, iid, object);
    if (object != nullptr) *object = nullptr;
    return kNotFound;
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
    const auto function = Find<decltype(&::StringFromGUID2)>(Library::Ole, "StringFromGUID2");
    return function ? function(guid, text, size) : 0;
}

void VariantInit(VARIANTARG* variant) {
    const auto function = Find<decltype(&::VariantInit)>(Library::Automation, "VariantInit");
    if (function) {
        function(variant);
    } else {
        variant->vt = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANTARG* variant) {
    const auto function = Find<decltype(&::VariantClear)>(Library::Automation, "VariantClear");
    return function ? function(variant) : kNotFound;
}

HRESULT VariantChangeType(VARIANTARG* destination, VARIANTARG* source, USHORT flags, VARTYPE type) {
    const auto function = Find<decltype(&::VariantChangeType)>(Library::Automation, "VariantChangeType");
    return function ? function(destination, source, flags, type) : kNotFound;
}

HRESULT VarFormat(LPVARIANT value, LPOLESTR format, int firstDay, int firstWeek, ULONG flags, BSTR* out) {
    const auto function = Find<decltype(&::VarFormat)>(Library::Automation, "VarFormat");
    return function ? function(value, format, firstDay, firstWeek, flags, out) : kNotFound;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    const auto function = Find<decltype(&::SysAllocStringLen)>(Library::Automation, "SysAllocStringLen");
    return function ? function(text, length) : nullptr;
}

void SysFreeString(BSTR text) {
    const auto function = Find<decltype(&::SysFreeString)>(Library::Automation, "SysFreeString");
    if (function) function(text);
}

UINT SysStringLen(BSTR text) {
    const auto function = Find<decltype(&::SysStringLen)>(Library::Automation, "SysStringLen");
    return function ? function(text) : 0;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements) {
    const auto function = Find<decltype(&::SafeArrayCreateVector)>(Library::Automation, "SafeArrayCreateVector");
    return function ? function(type, lowerBound, elements) : nullptr;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    const auto function = Find<decltype(&::SafeArrayAccessData)>(Library::Automation, "SafeArrayAccessData");
    return function ? function(array, data) : kNotFound;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    const auto function = Find<decltype(&::SafeArrayUnaccessData)>(Library::Automation, "SafeArrayUnaccessData");
    return function ? function(array) : kNotFound;
}

LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count) {
    const auto function = Find<decltype(&::CommandLineToArgvW)>(Library::Shell, "CommandLineToArgvW");
    if (function) return function(commandLine, count);
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path) {
    const auto function = Find<decltype(&::SHGetFolderPathA)>(Library::Shell, "SHGetFolderPathA");
    return function ? function(owner, folder, token, flags, path) : kNotFound;
}

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    const auto function = Find<decltype(&::ShellExecuteA)>(Library::Shell, "ShellExecuteA");
    if (function) return function(owner, verb, file, parameters, directory, show);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    const auto function = Find<decltype(&::ShellExecuteExW)>(Library::Shell, "ShellExecuteExW");
    if (function) return function(info);
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

// shlwapi
HRESULT AssocQueryStringW(ASSOCF flags, ASSOCSTR what, LPCWSTR association, LPCWSTR extra, LPWSTR out, DWORD* size) {
    const auto function = Find<decltype(&::AssocQueryStringW)>(Library::ShellLight, "AssocQueryStringW");
    return function ? function(flags, what, association, extra, out, size) : kNotFound;
}

// comdlg32
BOOL GetOpenFileNameW(OPENFILENAMEW* request) {
    const auto function = Find<decltype(&::GetOpenFileNameW)>(Library::Dialogs, "GetOpenFileNameW");
    if (function) return function(request);
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

// oleacc
HRESULT CreateStdAccessibleObject(HWND window, LONG object, REFIID iid, void** accessible) {
    const auto function =
        Find<decltype(&::CreateStdAccessibleObject)>(Library::Accessibility, "CreateStdAccessibleObject");
    if (accessible != nullptr) *accessible = nullptr;
    return function ? function(window, object, iid, accessible) : kNotFound;
}

LRESULT LresultFromObject(REFIID iid, WPARAM wParam, LPUNKNOWN object) {
    const auto function = Find<decltype(&::LresultFromObject)>(Library::Accessibility, "LresultFromObject");
    return function ? function(iid, wParam, object) : 0;
}

}  // namespace late
