#pragma once
// Calls a component DLL's self-registration entry point.

#include <string>

// Loads the DLL, calls the named entry point if it is exported and unloads the
// DLL again. Reports nothing: a failed registration must not stop a repair run.
void RegisterDll(const std::string& path, const std::string& entryName, const std::wstring& fileName);

// The system's text for a Windows error code, or "Error text not found.".
std::wstring SystemErrorText(unsigned long errorCode);
