#pragma once
// Where this process takes DLLs from. It runs elevated and is started from
// download folders, where anyone may have left a DLL named like a system one:
// system DLLs come from the system directory only, and a component's own
// dependencies from its folder or the system directory, never from the
// program's folder or the current directory.

#include <windows.h>

#include <cstring>
#include <string>

#include "winsupport/Handles.h"

// A function the module exports, typed; null when it is not there.
template <typename Function>
Function ExportedFunction(HMODULE module, const char* name) {
    const FARPROC address = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(address), "function pointers of one size");
    std::memcpy(&function, &address, sizeof(function));
    return function;
}

// A function of a system DLL every process of the program has loaded
// (kernel32, user32, ntdll...), for those that older Windows lack; nothing is
// loaded to look.
template <typename Function>
Function LoadedSystemFunction(const wchar_t* module, const char* name) {
    return ExportedFunction<Function>(::GetModuleHandleW(module), name);
}

// Called first thing at start-up: later loads by name look in the system
// directory only where Windows can be told so, and never in the current
// directory elsewhere.
void RestrictDllSearch();

// A system DLL by its full path in the system directory.
UniqueModule LoadSystemLibrary(const wchar_t* fileName);

// "C:\..." or "\\server\share\...": a path that names one file whatever the
// current directory is.
bool IsAbsolutePath(const std::string& path);

// How a component is loaded: with the search flags of newer systems, or with
// the altered search order that older ones have instead.
enum class ComponentSearch { Flags, AlteredSearchPath };
// What this system offers.
ComponentSearch AvailableComponentSearch();

// Loads a component by its absolute path so that the DLLs it imports are found
// beside it or in the system directory. A path that is not absolute is refused
// with ERROR_BAD_PATHNAME as the last error.
UniqueModule LoadComponentLibrary(const std::string& path, ComponentSearch search = AvailableComponentSearch());
