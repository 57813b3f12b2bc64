#pragma once
// OLE, OLE Automation, the shell (with its light API), the common dialogs
// and accessibility, called through these instead of being
// imported: the welcome page needs none of them, and each DLL then loads
// from the system directory when one of its functions is first called, and
// stays loaded. Where a function cannot be found, each answers as the
// function itself answers a failure.

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <commdlg.h>
#include <oleacc.h>

#include <string>
#include <vector>

// The arguments after the program's name, split as the system splits them.
// A start without any is told so without loading the shell.
std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine);

namespace late {

// ole32
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);

// oleaut32
void VariantInit(VARIANTARG* variant);
HRESULT VariantClear(VARIANTARG* variant);
HRESULT VariantChangeType(VARIANTARG* destination, VARIANTARG* source, USHORT flags, VARTYPE type);
HRESULT VarFormat(LPVARIANT value, LPOLESTR format, int firstDay, int firstWeek, ULONG flags, BSTR* out);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);

// shell32
LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count);
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

// shlwapi
HRESULT AssocQueryStringW(ASSOCF flags, ASSOCSTR what, LPCWSTR association, LPCWSTR extra, LPWSTR out, DWORD* size);

// comdlg32
BOOL GetOpenFileNameW(OPENFILENAMEW* request);

// oleacc
HRESULT CreateStdAccessibleObject(HWND window, LONG object, REFIID iid, void** accessible);
LRESULT LresultFromObject(REFIID iid, WPARAM wParam, LPUNKNOWN object);

}  // namespace late
